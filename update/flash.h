// One small interface to a flash partition, used by everything in the update
// tool that touches flash (boot environment, partition writers, flash_erase).
//
// flash_open() asks the device for its geometry with MEMGETINFO. A real MTD
// character device answers and is driven through the MTD ioctls. Anything
// else is taken as a file-backed development flash: a regular file holding
// the partition's bytes with a "<file>.geom" sidecar describing it (see
// docs/flash.md). Both behave like flash: erase sets 0xFF, writes can only
// clear bits.
//
// Device paths are given as on the recorder ("/dev/mtd1"); the NVR_ROOT
// prefix is applied here. A path already under the root is accepted too.
// Functions return -1 with errno set on failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// Flash types as the MTD layer numbers them.
enum { FLASH_TYPE_NOR = 3, FLASH_TYPE_NAND = 4 };

struct flash_geom {
    uint32_t type;      // FLASH_TYPE_NOR, FLASH_TYPE_NAND or another MTD type
    uint32_t size;      // bytes
    uint32_t erasesize; // bytes of one erase block
    uint32_t writesize; // bytes of one page
    uint32_t oobsize;   // spare bytes per page
};

struct flash_dev;

// flags: O_RDONLY, O_RDWR, optionally O_SYNC.
flash_dev *flash_open(const char *path, int flags);
int flash_close(flash_dev *dev);

// True when the device is driven through the MTD ioctls.
bool flash_is_mtd(const flash_dev *dev);
const flash_geom *flash_geometry(const flash_dev *dev);

// Erase [off, off+len); both must be multiples of the erase size.
int flash_erase(flash_dev *dev, uint32_t off, uint32_t len);
// 1 when the erase block holding off is marked bad, 0 when good.
int flash_is_bad(flash_dev *dev, int64_t off);
int flash_mark_bad(flash_dev *dev, int64_t off);
int flash_lock(flash_dev *dev, uint32_t off, uint32_t len);
int flash_unlock(flash_dev *dev, uint32_t off, uint32_t len);

ssize_t flash_pread(flash_dev *dev, void *buf, size_t len, int64_t off);
ssize_t flash_pwrite(flash_dev *dev, const void *buf, size_t len, int64_t off);

// The host path behind a device path (NVR_ROOT applied).
void flash_host_path(char *out, size_t size, const char *path);
