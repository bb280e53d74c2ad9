// flash_erase DEV START COUNT: erases COUNT erase blocks of a flash device
// from byte offset START (COUNT 0: up to the end of the device), skipping
// blocks marked bad on NAND. Works on real MTD devices and on file-backed
// development flash alike, through the update tool's flash layer; the update
// tool runs it as "/usr/sbin/flash_erase /dev/mtdN 0 0".
#include "flash.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

namespace {

bool parse_number(const char *s, unsigned long long *out)
{
    char *end = nullptr;
    errno = 0;
    unsigned long long v = strtoull(s, &end, 0);
    if (errno || end == s || *end || s[0] == '-')
        return false;
    *out = v;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    unsigned long long start, count;
    if (argc != 4 || !parse_number(argv[2], &start) || !parse_number(argv[3], &count)) {
        fprintf(stderr, "usage: flash_erase DEV START COUNT\n");
        return 1;
    }
    const char *dev_path = argv[1];
    flash_dev *dev = flash_open(dev_path, O_RDWR);
    if (!dev) {
        fprintf(stderr, "flash_erase: %s: %s\n", dev_path, strerror(errno));
        return 1;
    }
    const flash_geom *g = flash_geometry(dev);
    uint32_t es = g->erasesize;
    if (es == 0 || start % es || start >= g->size) {
        fprintf(stderr, "flash_erase: %s: start 0x%llx is not an erase block of the device\n",
                dev_path, start);
        flash_close(dev);
        return 1;
    }
    unsigned long long blocks = (g->size - start) / es;
    if (count == 0)
        count = blocks;
    if (count > blocks) {
        fprintf(stderr, "flash_erase: %s: %llu blocks from 0x%llx pass the end of the device\n",
                dev_path, count, start);
        flash_close(dev);
        return 1;
    }
    bool nand = g->type == FLASH_TYPE_NAND;
    int rc = 0;
    for (unsigned long long i = 0; i < count; i++) {
        uint32_t off = (uint32_t)(start + i * es);
        if (nand) {
            int bad = flash_is_bad(dev, off);
            if (bad < 0) {
                fprintf(stderr, "flash_erase: %s: bad block check at 0x%08x: %s\n", dev_path, off,
                        strerror(errno));
                rc = 1;
                break;
            }
            if (bad) {
                printf("Skipping bad block at %08x\n", off);
                continue;
            }
        }
        flash_unlock(dev, off, es); // not every part supports locking
        if (flash_erase(dev, off, es) != 0) {
            fprintf(stderr, "flash_erase: %s: erase at 0x%08x: %s\n", dev_path, off, strerror(errno));
            rc = 1;
            break;
        }
    }
    if (flash_close(dev) != 0)
        rc = 1;
    return rc;
}
