#include "file_utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "nvr_root.h"

char *qx_get_file_data(const char *path, int *size)
{
    if (size)
        *size = 0;
    if (!path)
        return nullptr;
    FILE *f = fopen(nvr_path(path).c_str(), "rb");
    if (!f)
        return nullptr;
    struct stat st;
    char *buf = nullptr;
    if (fstat(fileno(f), &st) == 0 && st.st_size >= 0 && st.st_size < 0x7fffffff) {
        size_t len = static_cast<size_t>(st.st_size);
        buf = static_cast<char *>(malloc(len ? len : 1));
        if (buf && fread(buf, 1, len, f) != len) {
            free(buf);
            buf = nullptr;
        } else if (buf && size) {
            *size = static_cast<int>(len);
        }
    }
    fclose(f);
    return buf;
}

int qx_wirte_file_data(const char *path, const char *data, int size)
{
    if (!path || size < 0 || (!data && size > 0))
        return -1;
    FILE *f = fopen(nvr_path(path).c_str(), "wb");
    if (!f)
        return -1;
    size_t n = size ? fwrite(data, 1, static_cast<size_t>(size), f) : 0;
    int rc = fclose(f);
    return (n == static_cast<size_t>(size) && rc == 0) ? 0 : -1;
}

int file_lock(const char *path)
{
    if (!path)
        return -1;
    int fd = open(nvr_path(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    lseek(fd, 0, SEEK_SET);
    if (lockf(fd, F_LOCK, 0) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void file_unlock(int fd)
{
    if (fd < 0)
        return;
    lseek(fd, 0, SEEK_SET);
    lockf(fd, F_ULOCK, 0);
    close(fd);
}

int get_if_mac(const char *ifname, char *mac)
{
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return -1;
    struct ifreq ifr;
    memset(&ifr, 0, sizeof ifr);
    snprintf(ifr.ifr_name, sizeof ifr.ifr_name, "%.15s", ifname);
    int rc = ioctl(s, SIOCGIFHWADDR, &ifr);
    close(s);
    if (rc != 0)
        return -1;
    const unsigned char *a = reinterpret_cast<const unsigned char *>(ifr.ifr_hwaddr.sa_data);
    snprintf(mac, 18, "%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
    return 0;
}

int get_mac_addr(char *mac1, char *mac2)
{
    if (mac1 && get_if_mac("eth0", mac1) != 0)
        snprintf(mac1, 18, "%s", "02:4B:7D:11:22:30");
    if (mac2 && get_if_mac("eth1", mac2) != 0)
        snprintf(mac2, 18, "%s", "02:4B:7D:11:22:31");
    return 0;
}
