// Set-up shared by the fuzz targets.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <sys/stat.h>

// No waiting and no retrying on the daemon channel, and a quiet standard
// output (handlers answer there).
inline void fuzz_quiet()
{
    setenv("NVR_IPC_TICK_US", "0", 1);
    setenv("NVR_IPC_SEND_ATTEMPTS", "1", 1);
    if (!freopen("/dev/null", "w", stdout))
        abort();
}

// A scratch device root for targets that need no daemon; removed when the
// fuzzer exits.
inline void fuzz_scratch_root()
{
    static char tmpl[] = "/tmp/nvrfuzz.XXXXXX";
    if (!mkdtemp(tmpl))
        abort();
    atexit([] {
        nftw(tmpl, [](const char *p, const struct stat *, int, struct FTW *) { return remove(p); }, 16,
             FTW_DEPTH | FTW_PHYS);
    });
    std::string r = tmpl;
    for (const char *d : {"/tmp", "/mnt", "/mnt/nand", "/mnt/nand/app", "/mnt/nand2", "/dev", "/dev/shm"})
        mkdir((r + d).c_str(), 0755);
    setenv("NVR_ROOT", r.c_str(), 1);
    fuzz_quiet();
}
