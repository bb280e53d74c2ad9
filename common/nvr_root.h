// Every absolute path the recorder software touches goes through nvr_path():
// on the recorder NVR_ROOT is unset and paths are used as they are; on a
// development machine, in tests and in the demo NVR_ROOT names a directory
// that stands in for the device's root.
#pragma once

#include <cstddef>
#include <string>

// The prefix in force ("" when NVR_ROOT is unset or empty).
const char *nvr_root();

// Writes NVR_ROOT + path into out; a path already under the root is kept
// as it is (cut to size-1, always NUL-terminated).
// Returns out.
char *nvr_path(char *out, size_t size, const char *path);

// Same, as a string.
std::string nvr_path(const char *path);

// For a path under the root, the device path it stands for ("/tmp/x" for
// "$NVR_ROOT/tmp/x"); other paths are returned unchanged.
const char *nvr_unroot(const char *path);
