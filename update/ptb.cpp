#include "ptb.h"

#include "env.h"
#include "nvr_root.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

const char *const g_part_str[PTB_PARTS + 1] = {
    "uboot", "env", "logo", "ker1", "ker2", "fs1", "fs2", "cfg", "oem", "rsd", "all",
};

namespace {

const char default_bootargs[] =
    "mem=256M console=ttyAMA0,115200 ubi.mtd=fs1 root=ubi0:rootfs rw rootfstype=ubifs";

void copy_field(char *dst, size_t size, const char *src)
{
    size_t n = strnlen(src, size - 1);
    memcpy(dst, src, n);
    dst[n] = 0;
}

// Value of a partition variable:
// "name:%s\tver:0x%08x\tsize:%u\tdate:0x%08x ".
bool parse_entry(const char *v, ptb_entry *e)
{
    if (strncmp(v, "name:", 5) != 0)
        return false;
    const char *p = v + 5;
    size_t n = strcspn(p, "\t");
    if (!p[n])
        return false;
    unsigned ver = 0, size = 0, date = 0;
    if (sscanf(p + n, "\tver:0x%x\tsize:%u\tdate:0x%x", &ver, &size, &date) != 3)
        return false;
    memset(e, 0, sizeof *e);
    memcpy(e->name, p, n < PTB_NAME_SIZE - 1 ? n : PTB_NAME_SIZE - 1);
    e->version = ver;
    e->size = size;
    e->date = date;
    return true;
}

// Four numbers of at most two digits, 0..255 each, as "xx.xx.xx.xx".
bool parse_version(const char *s, uint32_t *out, bool whole)
{
    int a, b, c, d, used = 0;
    if (sscanf(s, "%2d.%2d.%2d.%2d%n", &a, &b, &c, &d, &used) != 4)
        return false;
    if (whole) {
        const char *rest = s + used;
        while (*rest == ' ' || *rest == '\n' || *rest == '\r' || *rest == '\t')
            rest++;
        if (*rest)
            return false;
    }
    for (int x : {a, b, c, d})
        if (x < 0 || x > 255)
            return false;
    *out = ((uint32_t)a << 24) | ((uint32_t)b << 16) | ((uint32_t)c << 8) | (uint32_t)d;
    return true;
}

// Sets the digit after a marker ("ker", "=fs"): n = 1 or 2 sets it, n = 0
// toggles between 1 and 2. The text stays within its field.
bool set_digit(char *field, size_t size, const char *marker, int n, char *newdigit)
{
    char *p = strstr(field, marker);
    if (!p)
        return false;
    size_t pos = (size_t)(p - field) + strlen(marker);
    if (pos + 1 >= size)
        return false;
    char c = n == 0 ? (field[pos] == '1' ? '2' : '1') : (char)('0' + n);
    if (field[pos] == 0)
        field[pos + 1] = 0;
    field[pos] = c;
    *newdigit = c;
    return true;
}

int run_reboot()
{
    // On a development machine (NVR_ROOT set) the stand-in under the root is
    // run instead: nothing here may restart the host.
    if (nvr_root()[0]) {
        std::string path = nvr_path("/sbin/reboot");
        if (access(path.c_str(), X_OK) != 0) {
            fprintf(stderr, "reboot: no %s\n", path.c_str());
            return -1;
        }
        fflush(stdout);
        pid_t pid = fork();
        if (pid < 0)
            return -1;
        if (pid == 0) {
            execl(path.c_str(), "reboot", (char *)nullptr);
            _exit(127);
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0)
            if (errno != EINTR)
                return -1;
        return status;
    }
    fflush(stdout);
    return system("reboot");
}

int set_var(const char *name, const char *value)
{
    if (!value)
        return -1;
    return hs_setenv(name, value);
}

} // namespace

int ptb_part_index(const char *name)
{
    for (int i = 0; i < PTB_PARTS; i++)
        if (!strncmp(name, g_part_str[i], PTB_NAME_SIZE))
            return i;
    return -1;
}

int get_env_mtd_table(ptb_table *table)
{
    memset(table, 0, sizeof *table);
    for (int i = 0; i < PTB_PARTS; i++) {
        const char *v = hs_getenv(g_part_str[i]);
        if (v)
            parse_entry(v, &table->part[i]);
    }
    const char *v = hs_getenv("bootargs");
    if (v)
        copy_field(table->bootargs, sizeof table->bootargs, v);
    v = hs_getenv("bootcmd");
    if (v)
        copy_field(table->bootcmd, sizeof table->bootcmd, v);

    ptb_entry &ub = table->part[0];
    const char *ver = hs_getenv("ver");
    const char *at = ver ? strstr(ver, "73.") : nullptr;
    uint32_t parsed;
    if (((ub.version >> 8) & 0xFF) == 0 && at && parse_version(at, &parsed, false)) {
        // Only store when it changes: the flash is not rewritten on every run.
        if (parsed != ub.version || strncmp(ub.name, "uboot", PTB_NAME_SIZE)) {
            ub.version = parsed;
            copy_field(ub.name, sizeof ub.name, "uboot");
            set_env_partition(&ub);
        }
    }
    return 0;
}

int set_env_partition(const ptb_entry *entry)
{
    char name[PTB_NAME_SIZE + 1];
    copy_field(name, sizeof name, entry->name);
    // Only the partition variables may be written this way.
    if (ptb_part_index(name) < 0)
        return -1;
    char value[128];
    snprintf(value, sizeof value, "name:%s\tver:0x%08x\tsize:%u\tdate:0x%08x ", name,
             entry->version, entry->size, entry->date);
    return hs_setenv(name, value);
}

int set_env_mtd_table(const ptb_table *table)
{
    int rc = 0;
    for (int i = 0; i < PTB_PARTS; i++)
        if (!strncmp(table->part[i].name, g_part_str[i], PTB_NAME_SIZE))
            rc |= set_env_partition(&table->part[i]);
    return rc;
}

int set_env_cmdline(const ptb_table *table)
{
    char args[PTB_CMDLINE_SIZE + 1], cmd[PTB_CMDLINE_SIZE + 1];
    copy_field(args, sizeof args, table->bootargs);
    copy_field(cmd, sizeof cmd, table->bootcmd);
    const char *names[2];
    const char *values[2];
    int n = 0;
    if (args[0]) {
        names[n] = "bootargs";
        values[n++] = args;
    }
    if (cmd[0]) {
        names[n] = "bootcmd";
        values[n++] = cmd;
    }
    if (!n)
        return 0;
    // One store for both: a cut between two writes could otherwise start a
    // kernel of one pair with the file system of the other.
    return hs_setenv_many(n, names, values);
}

int set_env_boot(int n)
{
    if (n < 0 || n > 2)
        return -1;
    ptb_table t;
    if (get_env_mtd_table(&t) != 0) {
        fprintf(stderr, "get_env_mtd_table faild!\n");
        return -1;
    }
    char kd, fd;
    if (!set_digit(t.bootcmd, sizeof t.bootcmd, "ker", n, &kd)) {
        fprintf(stderr, "Can't find kernel partition!\n");
        return -1;
    }
    if (!strstr(t.bootargs, "=fs"))
        copy_field(t.bootargs, sizeof t.bootargs, default_bootargs);
    if (!set_digit(t.bootargs, sizeof t.bootargs, "=fs", n, &fd)) {
        fprintf(stderr, "Can't find filesys partition!\n");
        return -1;
    }
    printf("\tFilesys will switch to fs%c after reboot!\n", fd);
    fflush(stdout);
    return set_env_cmdline(&t);
}

int set_switch_filesys(int n)
{
    if (n < 0 || n > 2) {
        fprintf(stderr, "Unknown fs index, please choose 1 or 2\n");
        return -1;
    }
    // Restarting after a failed switch would only boot the old system and
    // hide the failure.
    if (set_env_boot(n) != 0)
        return -1;
    sleep(3);
    return run_reboot();
}

int set_cmdline_memory(int megabytes)
{
    const char *v = hs_getenv("bootargs");
    const char *at = v ? strstr(v, "mem=") : nullptr;
    if (!at) {
        fprintf(stderr, "unknow memory of env!\n");
        return -1;
    }
    const char *size = megabytes == 148 ? "148" : megabytes == 256 ? "256" : "128";
    std::string args(v);
    size_t pos = (size_t)(at - v) + 4;
    size_t digits = 0;
    while (pos + digits < args.size() && args[pos + digits] >= '0' && args[pos + digits] <= '9')
        digits++;
    args.replace(pos, digits, size);
    if (args.size() >= PTB_CMDLINE_SIZE)
        return -1;
    return hs_setenv("bootargs", args.c_str());
}

int set_boot_state(int state)
{
    const char *v = hs_getenv("bootState");
    if (state != 0 && v && strstr(v, "None"))
        return hs_setenv("bootState", "Done");
    if (state == 0 && v && strstr(v, "Done"))
        return hs_setenv("bootState", "None");
    return 0;
}

int get_part_name(int index, char *buf, size_t size)
{
    if (index < 0 || index >= PTB_PARTS || !buf || !size)
        return -1;
    copy_field(buf, size, g_part_str[index]);
    return 0;
}

int set_ptb_cmdline(const char *s)
{
    // bootargs travels through the partition table's 512-byte field; a longer
    // one would come back cut short from the next update.
    if (!s || strlen(s) >= PTB_CMDLINE_SIZE)
        return -1;
    return hs_setenv("bootargs", s);
}

int set_ptb_sn(const char *s) { return set_var("sn", s); }

int set_ptb_bootdelay(int v)
{
    char buf[8];
    snprintf(buf, sizeof buf, "%d", v & 0xFF);
    return hs_setenv("bootdelay", buf);
}

int set_ptb_autoboot(int) { return 0; }
int set_ptb_autodownload(int) { return 0; }
int set_ptb_pri_addr(unsigned long) { return 0; }
int set_ptb_pri_file(const char *s) { return set_var("bootfile", s); }
int set_ptb_tftpd_ip(const char *s) { return set_var("serverip", s); }
int set_ptb_eth_mac(const char *s) { return set_var("ethaddr", s); }
int set_ptb_eth_ip(const char *s) { return set_var("ipaddr", s); }
int set_ptb_eth_netmask(const char *s) { return set_var("netmask", s); }
int set_ptb_eth_gateway(const char *s) { return set_var("gateway", s); }
int set_ptb_wifi_mac(const char *s) { return set_var("wifimac", s); }
int set_ptb_wifi_ip(const char *s) { return set_var("wifiip", s); }
int set_ptb_wifi_netmask(const char *s) { return set_var("wifinm", s); }
int set_ptb_wifi_gateway(const char *s) { return set_var("wifigw", s); }

int set_ptb_uboot_version(const char *s)
{
    uint32_t v;
    if (!s || !parse_version(s, &v, true)) {
        fprintf(stderr, "uboot version format invalid, eg: xx.xx.xx.xx\n");
        return -1;
    }
    ptb_table t;
    get_env_mtd_table(&t);
    ptb_entry &ub = t.part[0];
    ub.version = v;
    copy_field(ub.name, sizeof ub.name, "uboot");
    return set_env_partition(&ub);
}
