// Shared pieces of the update tool's tests: a temporary NVR_ROOT, file-backed
// flash devices inside it, output capture and running programs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ut {

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &data);
bool exists(const std::string &path);

// A fresh NVR_ROOT for one test, removed afterwards.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    const std::string &dir() const { return dir_; }
    // Host path of a recorder path ("/dev/mtd1" -> "<root>/dev/mtd1").
    std::string path(const std::string &p) const { return dir_ + p; }
    void write(const std::string &p, const std::string &data) const;
    std::string read(const std::string &p) const { return read_file(path(p)); }
    // A file-backed flash device of size bytes (erased), with its sidecar.
    void make_flash(const std::string &dev, uint32_t size, const std::string &geom) const;
    // Puts our flash_erase where the tool runs it: "/usr/sbin/flash_erase".
    void install_flash_erase() const;

private:
    std::string dir_;
};

// Captures what this process writes to stdout and stderr.
class Capture {
public:
    Capture();
    ~Capture();
    void stop();
    std::string out, err;

private:
    int saved_[2];
    std::string files_[2];
    bool active_;
};

struct RunResult {
    int status; // exit status, or -1 when the program did not exit normally
    std::string out, err;
};

// Runs argv[0] with the given arguments; the environment is inherited.
RunResult run(const std::vector<std::string> &argv);

// Runs the reference script with arguments; returns its stdout (fails the
// test on a non-zero exit).
std::string ref(const std::vector<std::string> &args);

std::string python();
std::string update_bin();
std::string flash_erase_bin();
bool have_program(const char *name);

} // namespace ut
