#include "nvr_root.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char *nvr_root()
{
    const char *r = getenv("NVR_ROOT");
    return r ? r : "";
}

// A path that already lies under the root is taken as it is, so a path can
// be passed through nvr_path() twice without harm.
static const char *prefix_for(const char *path)
{
    return nvr_unroot(path) != path ? "" : nvr_root();
}

char *nvr_path(char *out, size_t size, const char *path)
{
    if (!out || size == 0)
        return out;
    snprintf(out, size, "%s%s", prefix_for(path), path ? path : "");
    return out;
}

std::string nvr_path(const char *path)
{
    return std::string(prefix_for(path)) + (path ? path : "");
}

const char *nvr_unroot(const char *path)
{
    if (!path)
        return path;
    const char *r = nvr_root();
    size_t n = strlen(r);
    if (n && strncmp(path, r, n) == 0 && path[n] == '/')
        return path + n;
    return path;
}
