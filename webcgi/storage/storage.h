// Storage module: disks, formatting, and the records exchanged with the
// core daemon about them. Private to webcgi/storage.
#pragma once

#include <cstdint>

#include "outside/qxsocket.h"
#include "web_utils/records.h"

#include <json-c/json.h>

enum {
    STORAGE_MAX_DISKS = 36,      // disk slots 1 to 36
    STORAGE_MAX_RAID_MEMBERS = 16,
    STORAGE_MAX_SLOT_LIST = 33,
};

// Disk types as the daemon and the store report them.
enum {
    HDD_TYPE_NFS = 3,
    HDD_TYPE_RAID = 4,
    HDD_TYPE_SMB = 10,
};

inline bool storage_is_network_disk(int32_t type)
{
    return type == HDD_TYPE_NFS || type == HDD_TYPE_SMB;
}

// Daemon requests of the storage module.
enum {
    REQ_RAID_REMOVE = 3421,
    REQ_DISK_INFO = 3433,
    REQ_FORMAT_DISK = 3434,
    REQ_DISK_PROPERTY = 3435,
    REQ_DISK_REMOVE = 3496,
    REQ_NETDISK_DELETE = 3508,
    REQ_FORMAT_STATE = 3540,
};

// One disk the daemon knows (reply 8433, one record per disk).
struct StorageInfoRecord {
    int32_t slot;                 // 1 to 36
    char vendor[64];
    char address[64];
    char directory[128];
    int32_t state;
    int32_t usable;
    uint8_t pad0[4];
    uint64_t total_size;          // bytes
    uint64_t used_size;
    uint64_t free_size;
    int32_t type;
    int32_t group;
    int32_t property;
    uint8_t pad1[4];
    int32_t raid_level;
    int32_t raid_state;
    int32_t raid_progress;
    int32_t raid_sata_cnt;
    int32_t raid_sata_port[STORAGE_MAX_RAID_MEMBERS]; // member slots, 0 = empty
    char user[33];
    char password[33];
    uint8_t pad2[6];
};
RECORD_SIZE(StorageInfoRecord, 464);
RECORD_OFFSET(StorageInfoRecord, vendor, 4);
RECORD_OFFSET(StorageInfoRecord, address, 68);
RECORD_OFFSET(StorageInfoRecord, directory, 132);
RECORD_OFFSET(StorageInfoRecord, state, 260);
RECORD_OFFSET(StorageInfoRecord, usable, 264);
RECORD_OFFSET(StorageInfoRecord, total_size, 272);
RECORD_OFFSET(StorageInfoRecord, used_size, 280);
RECORD_OFFSET(StorageInfoRecord, free_size, 288);
RECORD_OFFSET(StorageInfoRecord, type, 296);
RECORD_OFFSET(StorageInfoRecord, group, 300);
RECORD_OFFSET(StorageInfoRecord, property, 304);
RECORD_OFFSET(StorageInfoRecord, raid_level, 312);
RECORD_OFFSET(StorageInfoRecord, raid_state, 316);
RECORD_OFFSET(StorageInfoRecord, raid_progress, 320);
RECORD_OFFSET(StorageInfoRecord, raid_sata_cnt, 324);
RECORD_OFFSET(StorageInfoRecord, raid_sata_port, 328);
RECORD_OFFSET(StorageInfoRecord, user, 392);
RECORD_OFFSET(StorageInfoRecord, password, 425);

// Progress of a format (reply 8540).
struct FormatStateRecord {
    int32_t status;
    uint8_t percent;
    uint8_t slot;
    uint8_t pad0[2];
    int32_t type;
};
RECORD_SIZE(FormatStateRecord, 12);
RECORD_OFFSET(FormatStateRecord, percent, 4);
RECORD_OFFSET(FormatStateRecord, slot, 5);
RECORD_OFFSET(FormatStateRecord, type, 8);

// A disk's property and recording group changed (request 3435).
struct DiskPropertyRequest {
    int32_t slot;
    int32_t property;
    int32_t group;
    int32_t reserved;
};
RECORD_SIZE(DiskPropertyRequest, 16);

// RAID array request (requests 3420 create, 3421 remove).
struct RaidRequest {
    int32_t id;
    int32_t enable;
    int32_t level;
    int32_t reserved0[2];
    int32_t sata_cnt;
    int32_t sata_port[STORAGE_MAX_RAID_MEMBERS]; // ascending member slots
    uint8_t reserved1[16];
};
RECORD_SIZE(RaidRequest, 104);
RECORD_OFFSET(RaidRequest, sata_cnt, 20);
RECORD_OFFSET(RaidRequest, sata_port, 24);

// A list of disk slots (requests 3507 add, 3508 delete network disks).
struct SlotList {
    int32_t count;
    int32_t slots[STORAGE_MAX_SLOT_LIST];
};
RECORD_SIZE(SlotList, 136);

// Operation-log detail of a format: the slot and 1 (done) or -1 (failed).
enum { LOG_DETAIL_FORMAT = 102 };
struct FormatLogDetail {
    int32_t slot;
    int32_t result;
    uint8_t reserved[64];
};
RECORD_SIZE(FormatLogDetail, 72);


// ---- Module reply callback --------------------------------------------------
void on_storage_ipc_callback(int32_t unused, const QxMsgHead *head, const void *payload);

// ---- Route handlers ----------------------------------------------------------
void on_get_disk_info(const char *req);        // "/6100"
void on_set_disk_property(const char *req);    // "/6101"
void on_set_format_disk(const char *req);      // "/6102"
void on_check_disk_number(const char *req);    // "/6103"
void on_del_disk(const char *req);             // "/6207"
void on_get_format_state(const char *req);     // "/6227"

// ---- Reply functions ---------------------------------------------------------
void on_get_disk_info_cb(int count, const void *payload);   // 8433
void on_format_disk_cb(int count, const void *payload);     // 8434
void on_format_state_cb(int count, const void *payload);    // 8540
// A 32-bit status answered as "OK" (0) or "Error" (anything else).
void on_storage_status_cb(int count, const void *payload);
