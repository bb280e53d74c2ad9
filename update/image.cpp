#include "image.h"
#include "nvr_io.h"

#include "crc32.h"
#include "nvr_root.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct build_slot {
    const char *img_name;
    const char *img_file;
    uint32_t ver_hex;
    uint32_t load_flag;
    uint32_t load_addr;
};

const build_slot build_table[UPFW_SLOTS] = {
    {"bld", "/share/qxhn/targets/hi3536c/firmware/uboot_512M", 0x4901000A, 0, 0},
    {"ker", "/share/qxhn/targets/hi3536c/firmware/uImage", 0x49010005, 0, 0},
    {"fs", "/share/qxhn/targets/hi3536c/firmware/ubifs", 0x49090010, 1, 0},
    {"cmd", "/share/qxhn/src/boards/hi3536c/firmware/update", 0x00010001, 1, 0},
    {"jpg", "/share/qxhn/targets/hi3536c/firmware/boot.jpg", 0x49010002, 1, 0},
    {"bld2", "/share/qxhn/targets/hi3536c/firmware/uboot_1024M", 0x4901010A, 0, 0},
    {"tool", "", 0x00000100, 1, 0},
};

void print_version(uint32_t v)
{
    printf("version = %d.%d.%d.%d\n", (int)(v >> 24), (int)((v >> 16) & 0xFF),
           (int)((v >> 8) & 0xFF), (int)(v & 0xFF));
}

void print_fields(const upfw_part *p, bool hex_size)
{
    printf("offset  = 0x%08X\n", p->offset);
    if (hex_size)
        printf("size    = 0x%08X (%d K)\n", p->size, (int)(p->size / 1024));
    else
        printf("size    = %d K\n", (int)(p->size / 1024));
    printf("addr    = 0x%08X\n", p->addr);
    printf("flag    = 0x%08X\n", p->flag);
    printf("date    = %d/%d/%d\n", (int)(p->date >> 16), (int)((p->date >> 8) & 0xFF),
           (int)(p->date & 0xFF));
    printf("crc32   = 0x%08X\n", p->crc32);
}

// Pads a payload source file with 0xFF up to a multiple of 2048 bytes (in
// place), then returns its padded size and CRC-32.
int pad_and_sum(const char *file, uint32_t *size, uint32_t *crc)
{
    int fd = open(file, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        fprintf(stderr, "open %s: %s\n", file, strerror(errno));
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size > 0xFFFFF800LL) {
        fprintf(stderr, "%s: too large for an image\n", file);
        close(fd);
        return -1;
    }
    uint64_t len = (uint64_t)st.st_size;
    size_t pad = (size_t)((UPFW_ALIGN - len % UPFW_ALIGN) % UPFW_ALIGN);
    if (pad) {
        uint8_t ff[UPFW_ALIGN];
        memset(ff, 0xFF, sizeof ff);
        if (lseek(fd, 0, SEEK_END) < 0 || !io_write_full(fd, ff, pad)) {
            fprintf(stderr, "pad %s: %s\n", file, strerror(errno));
            close(fd);
            return -1;
        }
        len += pad;
    }
    uint32_t c = 0;
    uint8_t buf[UPFW_PIECE];
    if (lseek(fd, 0, SEEK_SET) < 0) {
        close(fd);
        return -1;
    }
    for (uint64_t done = 0; done < len;) {
        ssize_t n = io_read_upto(fd, buf, sizeof buf);
        if (n <= 0) {
            fprintf(stderr, "read %s failed\n", file);
            close(fd);
            return -1;
        }
        c = crc32(c, buf, (size_t)n);
        done += (uint64_t)n;
    }
    close(fd);
    *size = (uint32_t)len;
    *crc = c;
    return 0;
}

// Appends exactly size bytes of file to out and flushes them to storage.
int copy_payload(int out, const char *file, uint32_t size)
{
    int fd = open(file, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    uint8_t buf[UPFW_PIECE];
    uint32_t left = size;
    while (left) {
        size_t want = left < sizeof buf ? left : sizeof buf;
        ssize_t n = io_read_upto(fd, buf, want);
        if (n != (ssize_t)want || !io_write_full(out, buf, want)) {
            close(fd);
            return -1;
        }
        left -= (uint32_t)want;
    }
    close(fd);
    return fsync(out);
}

} // namespace

void upfw_host_path(char *out, size_t size, const char *path)
{
    if (path[0] == '/')
        nvr_path(out, size, nvr_unroot(path));
    else
        snprintf(out, size, "%s", path);
}

void upfw_part_name(const upfw_part *p, char *out, size_t size)
{
    if (!size)
        return;
    size_t n = strnlen(p->name, sizeof p->name);
    if (n >= size)
        n = size - 1;
    memcpy(out, p->name, n);
    out[n] = 0;
}

bool upfw_part_present(const upfw_part *p) { return p->offset != 0 && p->size != 0; }

int upfw_read_header(const char *path, upfw_header *hdr)
{
    char host[4096];
    upfw_host_path(host, sizeof host, path);
    int fd = open(host, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fprintf(stderr, "open output imager\n");
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size < UPFW_HEADER_SIZE) {
        fprintf(stderr, "Bad size: \"%s\" is no valid image\n", path);
        close(fd);
        return -1;
    }
    if (io_read_upto(fd, hdr, sizeof *hdr) != (ssize_t)sizeof *hdr) {
        fprintf(stderr, "read output imager\n");
        close(fd);
        return -1;
    }
    return fd;
}

int UPFW_creat_img()
{
    upfw_header hdr;
    memset(&hdr, 0, sizeof hdr);
    uint64_t offset = UPFW_HEADER_SIZE;
    char files[UPFW_SLOTS][4096];
    for (int i = 0; i < UPFW_SLOTS && build_table[i].img_name[0]; i++) {
        const build_slot &s = build_table[i];
        files[i][0] = 0;
        if (!s.img_file[0])
            continue;
        nvr_path(files[i], sizeof files[i], s.img_file);
        uint32_t size, crc;
        if (pad_and_sum(files[i], &size, &crc) != 0)
            return -1;
        // Offsets are 32-bit: an image that would pass 4 GiB cannot be described.
        if (offset + size > 0xFFFFFFFFull) {
            fprintf(stderr, "image too large\n");
            return -1;
        }
        upfw_part &p = hdr.part[i];
        p.offset = (uint32_t)offset;
        p.size = size;
        p.flag = s.load_flag;
        p.addr = s.load_addr;
        p.version = s.ver_hex;
        snprintf(p.name, sizeof p.name, "%s", s.img_name);
        p.date = UPFW_BUILD_DATE;
        p.crc32 = crc;
        offset += size;
    }
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    strftime(hdr.build_time, sizeof hdr.build_time, "%Y-%m-%d %H:%M:%S", &tmv);
    memcpy(hdr.builder_ver, UPFW_BUILDER_VERSION, sizeof hdr.builder_ver);

    char out_path[4096];
    nvr_path(out_path, sizeof out_path, UPFW_CREATE_OUTPUT);
    int out = open(out_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        fprintf(stderr, "open output imager\n");
        return -1;
    }
    if (!io_write_full(out, &hdr, sizeof hdr)) {
        fprintf(stderr, "write output imager\n");
        close(out);
        return -1;
    }
    printf("Copy data to image!!!\n");
    fflush(stdout);
    for (int i = 0; i < UPFW_SLOTS; i++) {
        if (!upfw_part_present(&hdr.part[i]))
            continue;
        if (copy_payload(out, files[i], hdr.part[i].size) != 0) {
            fprintf(stderr, "   Copy %s: %s failed!\n", build_table[i].img_name,
                    build_table[i].img_file);
            fprintf(stderr, "image_copy_data faild.\n");
            close(out);
            return -1;
        }
    }
    if (close(out) != 0) {
        fprintf(stderr, "close output imager\n");
        return -1;
    }
    return 0;
}

int UPFW_list_intfo(const char *path)
{
    if (!path) {
        fprintf(stderr, "Please input datafile\n");
        return -1;
    }
    upfw_header hdr;
    int fd = upfw_read_header(path, &hdr);
    if (fd < 0)
        return -1;
    close(fd);
    printf("Image info: ");
    for (int i = 0; i < UPFW_SLOTS; i++) {
        const upfw_part *p = &hdr.part[i];
        char name[sizeof p->name + 1];
        upfw_part_name(p, name, sizeof name);
        if (!name[0])
            continue;
        printf("%s: \n", name);
        if (upfw_part_present(p))
            print_fields(p, false);
        print_version(p->version);
    }
    fflush(stdout);
    return 0;
}

int UPFW_verify(const char *path, void *ptb)
{
    (void)ptb;
    if (!path) {
        fprintf(stderr, "Please input datafile\n");
        return -1;
    }
    upfw_header hdr;
    int fd = upfw_read_header(path, &hdr);
    if (fd < 0)
        return -1;
    for (int i = 0; i < UPFW_SLOTS; i++) {
        const upfw_part *p = &hdr.part[i];
        char name[sizeof p->name + 1];
        upfw_part_name(p, name, sizeof name);
        if (!name[0] || !upfw_part_present(p))
            continue;
        printf("%s: \n", name);
        print_fields(p, true);
        print_version(p->version);
        fflush(stdout);
        if (lseek(fd, (off_t)p->offset, SEEK_SET) < 0) {
            fprintf(stderr, "lseek output imager\n");
            close(fd);
            return -1;
        }
        uint8_t buf[UPFW_PIECE];
        uint32_t c = 0, left = p->size;
        while (left) {
            size_t want = left < sizeof buf ? left : sizeof buf;
            if (io_read_upto(fd, buf, want) != (ssize_t)want) {
                fprintf(stderr, "read output imager\n");
                close(fd);
                return -1;
            }
            c = crc32(c, buf, want);
            left -= (uint32_t)want;
        }
        if (c != p->crc32) {
            fprintf(stderr, "check_img_crc %s failed\n", name);
            close(fd);
            return -1;
        }
    }
    close(fd);
    return 0;
}

int UPFW_analysis_img(const char *path, int mode)
{
    (void)mode;
    if (!path) {
        fprintf(stderr, "Please input datafile\n");
        return -1;
    }
    printf("==============name %s=\n", path);
    fflush(stdout);
    upfw_header hdr;
    int fd = upfw_read_header(path, &hdr);
    if (fd < 0)
        return -1;
    int result = 0;
    for (int i = 0; i < UPFW_SLOTS && result == 0; i++) {
        const upfw_part *p = &hdr.part[i];
        if (!upfw_part_present(p) || strncmp(p->name, "cmd", sizeof p->name) != 0)
            continue;
        char out_path[4096], tmp_path[4096 + 8];
        nvr_path(out_path, sizeof out_path, UPFW_EXTRACT_PATH);
        snprintf(tmp_path, sizeof tmp_path, "%s.XXXXXX", out_path);
        printf("Create file: %s \n", UPFW_EXTRACT_PATH);
        fflush(stdout);
        // The program is copied to a fresh file of our own (/dev/shm is
        // writable by everyone: never follow a link planted there), checked
        // against its record's CRC, and only then renamed into place, so
        // that no cut-off or corrupted program is ever found under its name.
        int out = mkstemp(tmp_path);
        if (out < 0) {
            fprintf(stderr, "write output imager\n");
            fprintf(stderr, "write %s faild\n", UPFW_EXTRACT_PATH);
            unlink(out_path);
            result = -1;
            break;
        }
        if (lseek(fd, (off_t)p->offset, SEEK_SET) < 0) {
            fprintf(stderr, "lseek input imager\n");
            result = -1;
        }
        uint8_t buf[UPFW_PIECE];
        uint32_t left = result == 0 ? p->size : 0, sum = 0;
        while (left) {
            size_t want = left < sizeof buf ? left : sizeof buf;
            if (io_read_upto(fd, buf, want) != (ssize_t)want) {
                fprintf(stderr, "read input imager\n");
                result = -1;
                break;
            }
            sum = crc32(sum, buf, want);
            if (!io_write_full(out, buf, want)) {
                fprintf(stderr, "write output imager\n");
                result = -1;
                break;
            }
            left -= (uint32_t)want;
        }
        if (result == 0 && sum != p->crc32) {
            fprintf(stderr, "check_img_crc cmd failed\n");
            result = -1;
        }
        if (result == 0 && fchmod(out, 0777) != 0)
            result = -1;
        if (close(out) != 0 && result == 0) {
            fprintf(stderr, "write output imager\n");
            result = -1;
        }
        if (result == 0 && rename(tmp_path, out_path) != 0) {
            fprintf(stderr, "write output imager\n");
            result = -1;
        }
        if (result != 0) {
            // Neither a cut-off program nor an older one may be left behind
            // for someone to run as this image's.
            unlink(tmp_path);
            unlink(out_path);
            fprintf(stderr, "write %s faild\n", UPFW_EXTRACT_PATH);
            break;
        }
    }
    close(fd);
    return result;
}
