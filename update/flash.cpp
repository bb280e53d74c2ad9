#include "flash.h"
#include "nvr_io.h"

#include "nvr_root.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mtd/mtd-user.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

struct flash_dev {
    int fd;
    bool mtd;
    flash_geom geom;
    // File-backed devices only.
    std::string host;            // the partition file
    std::vector<uint32_t> bad;   // bad erase-block numbers
    std::vector<uint32_t> failverify;
    bool has_cut;
    uint64_t cutafter;
};

namespace {

// Bytes written or erased so far in this process, per file-backed device,
// so that a simulated power cut holds across the several opens of one run.
std::map<std::string, uint64_t> &traffic()
{
    static std::map<std::string, uint64_t> t;
    return t;
}

bool contains(const std::vector<uint32_t> &v, uint32_t x)
{
    for (uint32_t y : v)
        if (y == x)
            return true;
    return false;
}

bool parse_u32(const char *s, uint32_t *out)
{
    char *end = nullptr;
    errno = 0;
    unsigned long long v = strtoull(s, &end, 0);
    if (errno || end == s || v > 0xFFFFFFFFull)
        return false;
    while (*end == ' ' || *end == '\t' || *end == '\r')
        end++;
    if (*end)
        return false;
    *out = (uint32_t)v;
    return true;
}

bool parse_list(const char *s, std::vector<uint32_t> *out)
{
    std::string item;
    for (const char *p = s;; p++) {
        if (*p == ',' || *p == 0) {
            size_t b = item.find_first_not_of(" \t");
            if (b != std::string::npos) {
                uint32_t v;
                if (!parse_u32(item.c_str() + b, &v))
                    return false;
                out->push_back(v);
            }
            item.clear();
            if (*p == 0)
                break;
        } else {
            item += *p;
        }
    }
    return true;
}

std::string geom_path(const std::string &host) { return host + ".geom"; }

// Reads the sidecar of a file-backed device. Unknown keys are ignored so
// that the file can carry notes for people.
bool load_geom(flash_dev *d, off_t file_size)
{
    FILE *f = fopen(geom_path(d->host).c_str(), "r");
    if (!f)
        return false;
    bool have_type = false, ok = true;
    uint32_t wsize = 0, oob = 0;
    bool have_wsize = false, have_oob = false;
    char line[4096];
    while (ok && fgets(line, sizeof line, f)) {
        line[strcspn(line, "\r\n")] = 0;
        if (line[0] == '#' || line[0] == 0)
            continue;
        char *eq = strchr(line, '=');
        if (!eq)
            continue;
        *eq = 0;
        const char *key = line, *val = eq + 1;
        if (!strcmp(key, "type")) {
            if (!strcmp(val, "nand"))
                d->geom.type = FLASH_TYPE_NAND;
            else if (!strcmp(val, "nor"))
                d->geom.type = FLASH_TYPE_NOR;
            else
                ok = parse_u32(val, &d->geom.type);
            have_type = true;
        } else if (!strcmp(key, "erasesize")) {
            ok = parse_u32(val, &d->geom.erasesize);
        } else if (!strcmp(key, "writesize")) {
            ok = parse_u32(val, &wsize);
            have_wsize = true;
        } else if (!strcmp(key, "oobsize")) {
            ok = parse_u32(val, &oob);
            have_oob = true;
        } else if (!strcmp(key, "bad")) {
            ok = parse_list(val, &d->bad);
        } else if (!strcmp(key, "failverify")) {
            ok = parse_list(val, &d->failverify);
        } else if (!strcmp(key, "cutafter")) {
            uint32_t c = 0;
            ok = parse_u32(val, &c);
            d->has_cut = true;
            d->cutafter = c;
        }
    }
    fclose(f);
    if (!ok || !have_type || d->geom.erasesize == 0)
        return false;
    bool nand = d->geom.type == FLASH_TYPE_NAND;
    d->geom.writesize = have_wsize ? wsize : (nand ? 2048 : 1);
    d->geom.oobsize = have_oob ? oob : (nand ? 64 : 0);
    if (file_size < 0 || (uint64_t)file_size > 0xFFFFFFFFull)
        return false;
    d->geom.size = (uint32_t)file_size;
    return true;
}

// Rewrites the sidecar with the current bad-block list, keeping every other
// line as it was.
int save_bad_list(flash_dev *d)
{
    std::string gp = geom_path(d->host), out;
    FILE *f = fopen(gp.c_str(), "r");
    if (!f)
        return -1;
    char line[4096];
    bool done = false;
    std::string list;
    for (size_t i = 0; i < d->bad.size(); i++) {
        if (i)
            list += ',';
        list += std::to_string(d->bad[i]);
    }
    while (fgets(line, sizeof line, f)) {
        if (!strncmp(line, "bad=", 4)) {
            if (!done)
                out += "bad=" + list + "\n";
            done = true;
            continue;
        }
        out += line;
        if (!out.empty() && out.back() != '\n')
            out += '\n';
    }
    fclose(f);
    if (!done)
        out += "bad=" + list + "\n";
    std::string tmp = gp + ".tmp";
    FILE *w = fopen(tmp.c_str(), "w");
    if (!w)
        return -1;
    bool ok = fwrite(out.data(), 1, out.size(), w) == out.size();
    ok = (fclose(w) == 0) && ok;
    if (!ok || rename(tmp.c_str(), gp.c_str()) != 0) {
        unlink(tmp.c_str());
        return -1;
    }
    return 0;
}

// How many of len bytes starting now may still reach the file before the
// simulated power cut; counts them as done.
uint64_t allow_bytes(flash_dev *d, uint64_t len)
{
    uint64_t &t = traffic()[d->host];
    uint64_t allowed = len;
    if (d->has_cut)
        allowed = t >= d->cutafter ? 0 : std::min<uint64_t>(len, d->cutafter - t);
    t += len;
    return allowed;
}

bool in_range(const flash_dev *d, int64_t off, uint64_t len)
{
    return off >= 0 && (uint64_t)off <= d->geom.size && len <= d->geom.size - (uint64_t)off;
}

bool range_has_bad(const flash_dev *d, uint32_t off, uint32_t len)
{
    for (uint32_t b = off / d->geom.erasesize; len && b <= (off + len - 1) / d->geom.erasesize; b++)
        if (contains(d->bad, b))
            return true;
    return false;
}

ssize_t full_pwrite(int fd, const void *buf, size_t len, off_t off)
{
    const uint8_t *p = static_cast<const uint8_t *>(buf);
    size_t done = 0;
    while (done < len) {
        ssize_t n = ::pwrite(fd, p + done, len - done, off + (off_t)done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        done += (size_t)n;
    }
    return (ssize_t)done;
}

int file_erase(flash_dev *d, uint32_t off, uint32_t len)
{
    uint32_t es = d->geom.erasesize;
    if (off % es || len % es || !in_range(d, off, len)) {
        errno = EINVAL;
        return -1;
    }
    // Erasing a block marked bad fails, as it does on NAND.
    if (range_has_bad(d, off, len)) {
        errno = EIO;
        return -1;
    }
    uint64_t allowed = allow_bytes(d, len);
    std::vector<uint8_t> ff(es, 0xFF);
    for (uint64_t done = 0; done < allowed; done += es) {
        size_t n = (size_t)std::min<uint64_t>(es, allowed - done);
        if (full_pwrite(d->fd, ff.data(), n, (off_t)(off + done)) < 0)
            return -1;
    }
    return 0;
}

ssize_t file_pwrite(flash_dev *d, const void *buf, size_t len, int64_t off)
{
    if (!in_range(d, off, len)) {
        errno = ENOSPC;
        return -1;
    }
    size_t allowed = (size_t)allow_bytes(d, len);
    if (allowed) {
        // Flash can only clear bits: the new content is old AND data.
        std::vector<uint8_t> cur(allowed);
        if (io_pread_upto(d->fd, cur.data(), allowed, (off_t)off) != (ssize_t)allowed) {
            errno = EIO;
            return -1;
        }
        const uint8_t *p = static_cast<const uint8_t *>(buf);
        for (size_t i = 0; i < allowed; i++)
            cur[i] &= p[i];
        if (full_pwrite(d->fd, cur.data(), allowed, (off_t)off) < 0)
            return -1;
    }
    return (ssize_t)len;
}

ssize_t file_pread(flash_dev *d, void *buf, size_t len, int64_t off)
{
    if (off < 0 || (uint64_t)off > d->geom.size) {
        errno = EINVAL;
        return -1;
    }
    ssize_t n = io_pread_upto(d->fd, buf, len, (off_t)off);
    if (n <= 0 || d->failverify.empty())
        return n;
    // A block listed in failverify does not hold what was written to it.
    uint8_t *p = static_cast<uint8_t *>(buf);
    for (ssize_t i = 0; i < n; i++)
        if (contains(d->failverify, (uint32_t)((off + i) / d->geom.erasesize)))
            p[i] ^= 0x01;
    return n;
}

} // namespace

void flash_host_path(char *out, size_t size, const char *path)
{
    nvr_path(out, size, nvr_unroot(path));
}

flash_dev *flash_open(const char *path, int flags)
{
    if (!path) {
        errno = EINVAL;
        return nullptr;
    }
    char host[4096];
    flash_host_path(host, sizeof host, path);
    int fd = open(host, flags | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    flash_dev *d = new flash_dev();
    d->fd = fd;
    d->host = host;
    mtd_info_user mi;
    memset(&mi, 0, sizeof mi);
    if (ioctl(fd, MEMGETINFO, &mi) == 0) {
        d->mtd = true;
        d->geom.type = mi.type;
        d->geom.size = mi.size;
        d->geom.erasesize = mi.erasesize;
        d->geom.writesize = mi.writesize;
        d->geom.oobsize = mi.oobsize;
        return d;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && load_geom(d, st.st_size))
        return d;
    delete d;
    close(fd);
    errno = ENOTTY;
    return nullptr;
}

int flash_close(flash_dev *dev)
{
    if (!dev)
        return 0;
    int r = close(dev->fd);
    delete dev;
    return r;
}

bool flash_is_mtd(const flash_dev *dev) { return dev && dev->mtd; }

const flash_geom *flash_geometry(const flash_dev *dev) { return &dev->geom; }

int flash_erase(flash_dev *dev, uint32_t off, uint32_t len)
{
    if (!dev->mtd)
        return file_erase(dev, off, len);
    erase_info_user ei;
    ei.start = off;
    ei.length = len;
    return ioctl(dev->fd, MEMERASE, &ei);
}

int flash_is_bad(flash_dev *dev, int64_t off)
{
    if (off < 0 || (uint64_t)off >= dev->geom.size) {
        errno = EINVAL;
        return -1;
    }
    if (!dev->mtd)
        return contains(dev->bad, (uint32_t)(off / dev->geom.erasesize)) ? 1 : 0;
    if (dev->geom.type != MTD_NANDFLASH && dev->geom.type != MTD_MLCNANDFLASH)
        return 0; // NOR has no bad blocks
    loff_t o = off;
    int r = ioctl(dev->fd, MEMGETBADBLOCK, &o);
    if (r < 0)
        return -1;
    return r > 0 ? 1 : 0;
}

int flash_mark_bad(flash_dev *dev, int64_t off)
{
    if (off < 0 || (uint64_t)off >= dev->geom.size) {
        errno = EINVAL;
        return -1;
    }
    if (dev->mtd) {
        loff_t o = off;
        return ioctl(dev->fd, MEMSETBADBLOCK, &o);
    }
    uint32_t b = (uint32_t)(off / dev->geom.erasesize);
    if (contains(dev->bad, b))
        return 0;
    dev->bad.push_back(b);
    return save_bad_list(dev);
}

int flash_lock(flash_dev *dev, uint32_t off, uint32_t len)
{
    if (!dev->mtd)
        return in_range(dev, off, len) ? 0 : (errno = EINVAL, -1);
    erase_info_user ei;
    ei.start = off;
    ei.length = len;
    return ioctl(dev->fd, MEMLOCK, &ei);
}

int flash_unlock(flash_dev *dev, uint32_t off, uint32_t len)
{
    if (!dev->mtd)
        return in_range(dev, off, len) ? 0 : (errno = EINVAL, -1);
    erase_info_user ei;
    ei.start = off;
    ei.length = len;
    return ioctl(dev->fd, MEMUNLOCK, &ei);
}

ssize_t flash_pread(flash_dev *dev, void *buf, size_t len, int64_t off)
{
    if (!dev->mtd)
        return file_pread(dev, buf, len, off);
    return io_pread_upto(dev->fd, buf, len, (off_t)off);
}

ssize_t flash_pwrite(flash_dev *dev, const void *buf, size_t len, int64_t off)
{
    if (!dev->mtd)
        return file_pwrite(dev, buf, len, off);
    return full_pwrite(dev->fd, buf, len, (off_t)off);
}
