// Partition table and boot selection, kept as variables of the boot
// environment: one variable per flash partition recording what was last
// written there, plus "bootargs"/"bootcmd" which choose the root file system
// (fs1/fs2) and kernel (ker1/ker2) that start.
#pragma once

#include "byteorder.h"

#include <cstddef>
#include <cstdint>

enum {
    PTB_PARTS = 10,
    PTB_NAME_SIZE = 32,
    PTB_CMDLINE_SIZE = 512,
};

struct ptb_entry {
    char name[PTB_NAME_SIZE];
    uint32_t size;
    uint32_t version; // platform code, major, minor, patch from the top byte
    uint32_t date;    // (year << 16) + (month << 8) + day
};
static_assert(sizeof(ptb_entry) == 44, "partition entry is 44 bytes");
static_assert(offsetof(ptb_entry, name) == 0, "name");
static_assert(offsetof(ptb_entry, size) == 32, "size");
static_assert(offsetof(ptb_entry, version) == 36, "version");
static_assert(offsetof(ptb_entry, date) == 40, "date");

struct ptb_table {
    ptb_entry part[PTB_PARTS];
    char bootargs[PTB_CMDLINE_SIZE];
    char bootcmd[PTB_CMDLINE_SIZE];
};
static_assert(sizeof(ptb_table) == 1464, "partition table is 1464 bytes");
static_assert(offsetof(ptb_table, bootargs) == 440, "bootargs");
static_assert(offsetof(ptb_table, bootcmd) == 952, "bootcmd");

// "uboot", "env", "logo", "ker1", "ker2", "fs1", "fs2", "cfg", "oem", "rsd",
// then "all".
extern const char *const g_part_str[PTB_PARTS + 1];

// Index of a partition name in g_part_str, or -1.
int ptb_part_index(const char *name);

int get_env_mtd_table(ptb_table *table);
int set_env_partition(const ptb_entry *entry);
int set_env_mtd_table(const ptb_table *table);
int set_env_cmdline(const ptb_table *table);
int set_env_boot(int n);
int set_cmdline_memory(int megabytes);
int set_boot_state(int state);
int set_switch_filesys(int n);
int get_part_name(int index, char *buf, size_t size);

int set_ptb_cmdline(const char *s);
int set_ptb_sn(const char *s);
int set_ptb_bootdelay(int v);
int set_ptb_autoboot(int v);
int set_ptb_autodownload(int v);
int set_ptb_pri_addr(unsigned long v);
int set_ptb_pri_file(const char *s);
int set_ptb_tftpd_ip(const char *s);
int set_ptb_eth_mac(const char *s);
int set_ptb_eth_ip(const char *s);
int set_ptb_eth_netmask(const char *s);
int set_ptb_eth_gateway(const char *s);
int set_ptb_wifi_mac(const char *s);
int set_ptb_wifi_ip(const char *s);
int set_ptb_wifi_netmask(const char *s);
int set_ptb_wifi_gateway(const char *s);
int set_ptb_uboot_version(const char *s);
