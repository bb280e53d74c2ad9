// Disk list ("/6100"): the daemon's live picture of the disks merged with the
// disks configured in the store, so that a configured network disk the
// daemon does not see is still listed (as absent).
#include <cstring>
#include <string>

#include "outside/qxdb.h"
#include "storage/storage.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/response.h"

namespace {

enum { DISK_STATE_ABSENT = 2, URL_TEXT_MAX = 127 };

// Percent-encodes every byte but letters, digits and "-_.~", cut to at most
// max characters without splitting an escape.
std::string url_encode(const char *text, size_t len, size_t max)
{
    static const char hexdig[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < len; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '.' || c == '~';
        size_t need = plain ? 1 : 3;
        if (out.size() + need > max)
            break;
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hexdig[c >> 4];
            out += hexdig[c & 15];
        }
    }
    return out;
}

template <size_t N>
json_object *json_url_text(const char (&field)[N])
{
    std::string s = url_encode(field, field_len(field), URL_TEXT_MAX);
    return json_object_new_string_len(s.data(), static_cast<int>(s.size()));
}

// Copies a text between fields of the same size, cut to the field less one.
template <size_t N>
void copy_field(char (&dst)[N], const char (&src)[N])
{
    size_t n = strnlen(src, N - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
}

// Bit n for every member slot n among the first raid_sata_cnt entries. The
// count comes from the daemon: never read past the 16 entries the record
// holds, and never shift by a slot that does not fit the mask.
uint32_t raid_member_mask(const StorageInfoRecord &d)
{
    int n = d.raid_sata_cnt;
    if (n > STORAGE_MAX_RAID_MEMBERS)
        n = STORAGE_MAX_RAID_MEMBERS;
    uint32_t mask = 0;
    for (int i = 0; i < n; i++) {
        int32_t slot = d.raid_sata_port[i];
        if (slot > 0 && slot < 32)
            mask |= 1u << slot;
    }
    return mask;
}

json_object *disk_json(const StorageInfoRecord &d)
{
    json_object *o = json_object_new_object();
    json_object_object_add(o, "portId", json_object_new_int(d.slot));
    json_object_object_add(o, "vendorName", codec::field_string(d.vendor));
    json_object_object_add(o, "address", codec::field_string(d.address));
    json_object_object_add(o, "directory", codec::field_string(d.directory));
    json_object_object_add(o, "totalSize", json_object_new_int64(static_cast<int64_t>(d.total_size >> 20)));
    json_object_object_add(o, "usedSize", json_object_new_int64(static_cast<int64_t>(d.used_size >> 20)));
    json_object_object_add(o, "freeSize", json_object_new_int64(static_cast<int64_t>(d.free_size >> 20)));
    json_object_object_add(o, "hddType", json_object_new_int(d.type));
    json_object_object_add(o, "state", json_object_new_int(d.state));
    json_object_object_add(o, "group", json_object_new_int(d.group));
    json_object_object_add(o, "property", json_object_new_int(d.property));
    json_object_object_add(o, "bUsable", json_object_new_int(d.usable));
    json_object_object_add(o, "raid_id", json_object_new_int(d.slot));
    json_object_object_add(o, "raid_level", json_object_new_int(d.raid_level));
    json_object_object_add(o, "raid_state", json_object_new_int(d.raid_state));
    json_object_object_add(o, "raid_progress", json_object_new_int(d.raid_progress));
    json_object_object_add(o, "raid_sata_cnt", json_object_new_int(d.raid_sata_cnt));
    json_object_object_add(o, "raid_task", json_object_new_int(d.raid_progress));
    json_object_object_add(o, "userName", json_url_text(d.user));
    json_object_object_add(o, "password", json_url_text(d.password));
    json_object_object_add(o, "raid_sata_port", json_object_new_int64(raid_member_mask(d)));
    return o;
}

// Folds the configured disks into the table of reported ones.
void merge_stored_disks(StorageInfoRecord *table, bool *filled)
{
    static DiskRecord disks[QXDB_MAX_DISKS];
    int32_t n = 0;
    if (read_disks(CONFIG_DB_PATH, disks, &n) != 0)
        return;
    if (n > QXDB_MAX_DISKS)
        n = QXDB_MAX_DISKS;
    for (int i = 0; i < n; i++) {
        const DiskRecord &s = disks[i];
        if (s.enable != 1 || s.slot < 1 || s.slot > STORAGE_MAX_DISKS)
            continue;
        StorageInfoRecord &d = table[s.slot - 1];
        if (filled[s.slot - 1]) {
            // The daemon does not keep a network disk's share settings.
            if (!storage_is_network_disk(d.type))
                continue;
        } else {
            memset(&d, 0, sizeof d);
            d.slot = s.slot;
            d.type = s.type;
            d.property = s.property;
            d.group = s.group;
            d.state = DISK_STATE_ABSENT;
            filled[s.slot - 1] = true;
        }
        copy_field(d.vendor, s.vendor);
        copy_field(d.address, s.address);
        copy_field(d.directory, s.directory);
        copy_field(d.user, s.user);
        copy_field(d.password, s.password);
    }
}

} // namespace

void on_get_disk_info(const char *)
{
    cgi_query(on_storage_ipc_callback, REQ_DISK_INFO, nullptr, 0, CGI_JSON);
}

// A reply too short for one record is the daemon saying it sees no disk:
// the list then holds the configured ones only.
void on_get_disk_info_cb(int count, const void *payload)
{
    if (count < 0 || (count > 0 && !payload))
        return;
    static StorageInfoRecord table[STORAGE_MAX_DISKS];
    bool filled[STORAGE_MAX_DISKS] = {};
    memset(table, 0, sizeof table);

    const unsigned char *p = static_cast<const unsigned char *>(payload);
    for (int i = 0; i < count; i++) {
        StorageInfoRecord rec;
        memcpy(&rec, p + static_cast<size_t>(i) * sizeof rec, sizeof rec);
        if (rec.slot < 1 || rec.slot > STORAGE_MAX_DISKS)
            continue;
        table[rec.slot - 1] = rec;
        filled[rec.slot - 1] = true;
    }
    merge_stored_disks(table, filled);

    bool any = false;
    json_object *hdd = json_object_new_array();
    for (int i = 0; i < STORAGE_MAX_DISKS; i++) {
        if (!filled[i])
            continue;
        any = true;
        json_object_array_add(hdd, disk_json(table[i]));
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "resultString", json_object_new_string(count == 0 && !any ? "NO" : "OK"));
    json_object_object_add(o, "esataType", json_object_new_int(get_param_int(CONFIG_DB_PATH, "esata_type", 0)));
    json_object_object_add(o, "HDD", hdd);
    json_object_object_add(o, "maxDiskNum", json_object_new_int(STORAGE_MAX_DISKS));
    cgi_writeback_json(o);
    g_callback_done = 1;
}
