// The update tool's image header reader and checker on arbitrary files.
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_common.h"
#include "image.h"
#include "nvr_root.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = (fuzz_scratch_root(), true);
    (void)ready;
    const std::string file = nvr_path("/dev/shm/updateFM.bin");
    FILE *f = fopen(file.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    UPFW_list_intfo("/dev/shm/updateFM.bin");
    UPFW_verify("/dev/shm/updateFM.bin", nullptr);
    return 0;
}
