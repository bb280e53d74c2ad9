// The boot environment reader on arbitrary flash contents: the input fills
// both copies of the environment partition (file-backed flash).
#include <cstdint>
#include <cstdio>
#include <string>

#include "env.h"
#include "fuzz_common.h"
#include "nvr_root.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = [] {
        fuzz_scratch_root();
        mkdir(nvr_path("/proc").c_str(), 0755);
        FILE *m = fopen(nvr_path("/proc/mtd").c_str(), "w");
        fputs("dev:    size   erasesize  name\nmtd1: 00020000 00010000 \"env\"\n", m);
        fclose(m);
        FILE *g = fopen(nvr_path("/dev/mtd1.geom").c_str(), "w");
        fputs("type=nor\nerasesize=65536\n", g);
        fclose(g);
        return true;
    }();
    (void)ready;
    // Copy 1 gets the input from its start, copy 2 the input backwards, so
    // that both CRCs, both flag bytes and both data areas vary.
    std::string part(2 * 65536, '\xff');
    for (size_t i = 0; i < size && i < 65536; i++) {
        part[i] = static_cast<char>(data[i]);
        part[2 * 65536 - 1 - i] = static_cast<char>(data[i]);
    }
    FILE *f = fopen(nvr_path("/dev/mtd1").c_str(), "wb");
    if (!f)
        return 0;
    fwrite(part.data(), 1, part.size(), f);
    fclose(f);
    if (env_init() == 0) {
        hs_getenv("bootargs");
        hs_getenv("bootcmd");
        hs_printenv();
    }
    env_deinit();
    return 0;
}
