// The partition writers: NAND (page writes with read-back, bad blocks
// skipped and marked) and SPI NOR (erase, copy, compare). Both record what
// they wrote in the partition's table entry of the boot environment.
#include "upfw.h"

#include "crc32.h"
#include "env.h"
#include "flash.h"
#include "nvr_io.h"
#include "nvr_root.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum { MAX_PAGE = 2048 };

int open_image(const char *path)
{
    char host[4096];
    upfw_host_path(host, sizeof host, path);
    return open(host, O_RDONLY | O_CLOEXEC);
}

// Runs "/usr/sbin/flash_erase DEV 0 0" (under NVR_ROOT on a development
// machine). The device path is passed as an argument, never through a shell.
int erase_whole_device(const char *dev)
{
    std::string prog = nvr_path(FLASH_ERASE_PROGRAM);
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        execl(prog.c_str(), "flash_erase", dev, "0", "0", (char *)nullptr);
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : -1;
}

struct ptb_messages {
    const char *get_failed;
    const char *set_failed;
};

// Records size, version and date of what was written in the partition's
// table entry.
int record_in_table(const upfw_plan_entry *e, const ptb_messages &msg)
{
    char part[PTB_NAME_SIZE + 1];
    snprintf(part, sizeof part, "%.*s", (int)PTB_NAME_SIZE, e->part);
    int idx = ptb_part_index(part);
    if (idx < 0) {
        fprintf(stderr, "Not valid image, exit without update ptb!\n");
        return -1;
    }
    ptb_table t;
    if (get_env_mtd_table(&t) != 0) {
        fprintf(stderr, "%s", msg.get_failed);
        return -1;
    }
    ptb_entry &pe = t.part[idx];
    memset(pe.name, 0, sizeof pe.name);
    memcpy(pe.name, part, strlen(part));
    pe.size = e->size;
    pe.version = e->version;
    pe.date = e->date;
    if (set_env_partition(&pe) != 0) {
        fprintf(stderr, "%s", msg.set_failed);
        return -1;
    }
    sync();
    return 0;
}

bool normal_nand(const flash_geom *g)
{
    bool ok = (g->writesize == 512 && g->oobsize == 16) || (g->writesize == 256 && g->oobsize == 8) ||
              (g->writesize == 2048 && g->oobsize == 64);
    return ok && g->erasesize >= g->writesize && g->erasesize % g->writesize == 0;
}

int nand_write(flash_dev *d, int img, const upfw_plan_entry *e)
{
    const flash_geom *g = flash_geometry(d);
    uint32_t ws = g->writesize, es = g->erasesize;
    uint64_t pages = ((uint64_t)e->size + ws - 1) / ws * ws;
    if (pages > g->size) {
        printf("Image %d bytes, NAND page %d bytes, OOB area %u bytes, device size %u bytes\n",
               (int)e->size, (int)ws, g->oobsize, g->size);
        fflush(stdout);
        fprintf(stderr, "Input file does not fit into device\n");
        return -1;
    }
    if (erase_whole_device(e->dev) != 0) {
        fprintf(stderr, "Fail on erase mtd device!\n");
        return -1;
    }

    uint8_t page[MAX_PAGE], back[MAX_PAGE];
    uint64_t done = 0;       // payload bytes written and verified
    uint64_t off = 0;        // device offset of the next page
    int64_t blockstart = -1;
    uint32_t last_crc = 0;
    while (done < e->size && off < g->size) {
        uint64_t block = off / es * es;
        if ((int64_t)block != blockstart) {
            blockstart = (int64_t)block;
            int bad = flash_is_bad(d, (int64_t)block);
            if (bad < 0) {
                fprintf(stderr, "ioctl(MEMGETBADBLOCK): %s\n", strerror(errno));
                return -1;
            }
            if (bad) {
                printf("Bad block at %x, %u block(s) from %x will be skipped\n", (unsigned)block, 1u,
                       (unsigned)block);
                fflush(stdout);
                off = block + es;
                continue;
            }
        }
        size_t want = (size_t)std::min<uint64_t>(ws, e->size - done);
        ssize_t n = io_pread_upto(img, page, want, (off_t)(e->offset + done));
        if (n == 0) {
            fprintf(stderr, "read file return 0 size!\n");
            return -1;
        }
        if (n != (ssize_t)want) {
            fprintf(stderr, "File I/O error on input file\n");
            return -1;
        }
        memset(page + want, 0xFF, ws - want);
        if (flash_pwrite(d, page, ws, (int64_t)off) != (ssize_t)ws) {
            fprintf(stderr, "pwrite: %s\n", strerror(errno));
            return -1;
        }
        if (flash_pread(d, back, ws, (int64_t)off) != (ssize_t)ws) {
            fprintf(stderr, "pread: %s\n", strerror(errno));
            return -1;
        }
        if (memcmp(page, back, want) != 0) {
            // The block does not keep what it is given: mark it bad and
            // write its share of the payload again into the next block.
            printf("Verify failed at %x, marking block at %x bad\n", (unsigned)off, (unsigned)block);
            fflush(stdout);
            if (flash_mark_bad(d, (int64_t)block) != 0) {
                fprintf(stderr, "ioctl(MEMSETBADBLOCK): %s\n", strerror(errno));
                return -1;
            }
            done -= off - block;
            off = block + es;
            continue;
        }
        last_crc = crc32(0, page, ws);
        done += want;
        off += ws;
    }
    if (done < e->size) {
        fprintf(stderr, "Data was only partially written due to error\n");
        return -1;
    }
    printf("image_length = 0x%08x\n", e->size);
    printf("image_crc = 0x%08x\n", ~last_crc);
    fflush(stdout);
    return 0;
}

int spi_write(flash_dev *d, int img, const upfw_plan_entry *e)
{
    const flash_geom *g = flash_geometry(d);
    if (e->size > g->size) {
        fprintf(stderr, "The image length > mtd size ! \n");
        return -1;
    }
    uint32_t es = g->erasesize;
    uint64_t erase_len = ((uint64_t)e->size + es - 1) / es * es;
    for (uint64_t b = 0; b < erase_len; b += es) {
        flash_unlock(d, (uint32_t)b, es); // not every part supports locking
        if (flash_erase(d, (uint32_t)b, es) != 0) {
            fprintf(stderr, "Fail erasing blocks from 0x%.8x-0x%.8x on %s \n", 0u, (unsigned)erase_len,
                    e->dev);
            return -1;
        }
    }
    static uint8_t buf[SPI_PIECE], back[SPI_PIECE];
    uint32_t written = 0;
    while (written < e->size) {
        size_t want = std::min<uint32_t>(SPI_PIECE, e->size - written);
        ssize_t n = io_pread_upto(img, buf, want, (off_t)(e->offset + written));
        if (n != (ssize_t)want) {
            fprintf(stderr, "Read image count error, result = [0x%x] ! \n", (unsigned)n);
            break;
        }
        n = flash_pwrite(d, buf, want, written);
        if (n != (ssize_t)want) {
            fprintf(stderr, "Write image count error, reault = [0x%x] ! \n", (unsigned)n);
            break;
        }
        written += (uint32_t)want;
    }
    uint32_t checked = 0;
    while (written == e->size && checked < e->size) {
        size_t want = std::min<uint32_t>(SPI_PIECE, e->size - checked);
        ssize_t n = io_pread_upto(img, buf, want, (off_t)(e->offset + checked));
        if (n != (ssize_t)want) {
            fprintf(stderr, " Verify that flash, read image count error, result = [0x%x] ! \n", (unsigned)n);
            break;
        }
        n = flash_pread(d, back, want, checked);
        if (n != (ssize_t)want) {
            fprintf(stderr, " Verify that flash, write image count error, result = [0x%x] ! \n", (unsigned)n);
            break;
        }
        if (memcmp(buf, back, want) != 0) {
            fprintf(stderr, "File does not seem to match flash data. \n");
            break;
        }
        checked += (uint32_t)want;
    }
    if (written != e->size || checked != e->size) {
        fprintf(stderr, "Data was only partially written due to error\n");
        return -1;
    }
    return 0;
}

} // namespace

int nand_flash_write_file(const char *path, const upfw_plan_entry *e)
{
    if (!path || !e)
        return -1;
    flash_dev *d = flash_open(e->dev, O_RDWR);
    if (!d) {
        fprintf(stderr, "open flash: %s: %s\n", e->dev, strerror(errno));
        return -1;
    }
    if (!normal_nand(flash_geometry(d))) {
        fprintf(stderr, "Unknown flash (not normal NAND)\n");
        flash_close(d);
        return -1;
    }
    int img = open_image(path);
    if (img < 0) {
        fprintf(stderr, "open input file: %s\n", strerror(errno));
        flash_close(d);
        return -1;
    }
    int rc = nand_write(d, img, e);
    close(img);
    if (flash_close(d) != 0)
        rc = -1;
    if (rc == 0)
        rc = record_in_table(e, {"get_env_mtd_table faild!\n", "set_env_partition faild!\n"});
    return rc;
}

int spi_flash_write_file(const char *path, const upfw_plan_entry *e)
{
    if (!path || !e)
        return -1;
    flash_dev *d = flash_open(e->dev, O_RDWR | O_SYNC);
    if (!d) {
        fprintf(stderr, "This doesn't seem to be a valid MTD flash device! \n");
        return -1;
    }
    int img = open_image(path);
    if (img < 0) {
        fprintf(stderr, "Open image failed ! \n");
        flash_close(d);
        return -1;
    }
    int rc = spi_write(d, img, e);
    close(img);
    if (flash_close(d) != 0)
        rc = -1;
    if (rc == 0)
        rc = record_in_table(e, {"flprog_get_part_table faild!\n", "flprog_set_part_table faild!\n"});
    return rc;
}
