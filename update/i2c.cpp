#include "i2c.h"

#include "nvr_root.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct standin {
    std::string bus;  // host path of the bus file
    int addr = -1;    // device chosen with a slave request, -1 none
    off_t pointer = 0;
};

std::map<int, standin> &standins()
{
    static std::map<int, standin> m;
    return m;
}

standin *find_standin(int fd)
{
    auto it = standins().find(fd);
    return it == standins().end() ? nullptr : &it->second;
}

std::string device_file(const standin &s)
{
    char suffix[8];
    snprintf(suffix, sizeof suffix, ".%02x", (unsigned)s.addr & 0x3FF);
    return s.bus + suffix;
}

} // namespace

int i2c_open(const char *path)
{
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    std::string host = nvr_path(path);
    int fd = open(host.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        standin s;
        s.bus = host;
        standins()[fd] = s;
    }
    return fd;
}

int i2c_close(int fd)
{
    standins().erase(fd);
    return close(fd);
}

int i2c_request(int fd, unsigned long request, unsigned long value)
{
    standin *s = find_standin(fd);
    if (!s)
        return ioctl(fd, request, value) < 0 ? -1 : 0;
    switch (request) {
    case I2C_REQ_SLAVE:
    case I2C_REQ_SLAVE_FORCE:
        s->addr = (int)value;
        s->pointer = 0;
        return 0;
    case I2C_REQ_REG_WIDTH:
    case I2C_REQ_DATA_WIDTH:
        return 0;
    default:
        errno = ENOTTY;
        return -1;
    }
}

ssize_t i2c_read(int fd, void *buf, size_t len)
{
    standin *s = find_standin(fd);
    if (!s)
        return read(fd, buf, len);
    int dev = s->addr < 0 ? -1 : open(device_file(*s).c_str(), O_RDONLY | O_CLOEXEC);
    if (dev < 0) {
        errno = EIO;
        return -1;
    }
    ssize_t n = pread(dev, buf, len, s->pointer);
    close(dev);
    if (n != (ssize_t)len) {
        errno = EIO;
        return -1;
    }
    s->pointer += (off_t)len;
    return n;
}

ssize_t i2c_write(int fd, const void *buf, size_t len)
{
    standin *s = find_standin(fd);
    if (!s)
        return write(fd, buf, len);
    int dev = s->addr < 0 ? -1 : open(device_file(*s).c_str(), O_RDWR | O_CLOEXEC);
    if (dev < 0 || len == 0) {
        if (dev >= 0)
            close(dev);
        errno = EIO;
        return -1;
    }
    const uint8_t *p = static_cast<const uint8_t *>(buf);
    s->pointer = p[0];
    ssize_t rc = (ssize_t)len;
    if (len > 1) {
        if (pwrite(dev, p + 1, len - 1, s->pointer) != (ssize_t)(len - 1)) {
            errno = EIO;
            rc = -1;
        } else {
            s->pointer += (off_t)(len - 1);
        }
    }
    close(dev);
    return rc;
}
