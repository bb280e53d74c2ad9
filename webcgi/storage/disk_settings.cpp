// A disk's property and group ("/6101"), the disk-number check ("/6103") and
// removing a disk entry ("/6207").
#include <cstring>

#include "outside/qxdb.h"
#include "storage/storage.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/req_parse.h"
#include "web_utils/response.h"

namespace {

enum {
    LOG_SUB_DISK_PROPERTY = 204,
    LOG_SUB_DISK_REMOVE = 224,
    LOG_PARAM_DISK_PROPERTY = 919,
    LOG_PARAM_DISK = 900,
    PROPERTY_PORT_MAX = 35,
    DISK_NUMBER_MAX = 16,
};

} // namespace

void on_set_disk_property(const char *req)
{
    json_object *obj = get_request_tokener_json_object(req);
    if (!obj)
        return;
    int32_t slot = 0, property = 0, group = 0;
    bool ok = (cgi_json_whole_int(obj, "portId", &slot) == 1) && slot >= 0 && slot <= PROPERTY_PORT_MAX &&
              (cgi_json_whole_int(obj, "property", &property) == 1) && (property == 0 || property == 1);
    json_object *group_member = nullptr;
    bool has_group = json_object_object_get_ex(obj, "group", &group_member);
    if (ok && has_group)
        ok = (cgi_json_whole_int(obj, "group", &group) == 1);
    json_object_put(obj);
    if (!ok)
        return;

    DiskRecord disk;
    memset(&disk, 0, sizeof disk);
    read_disk(CONFIG_DB_PATH, &disk, slot);
    disk.slot = slot;
    if (has_group)
        disk.group = group;
    disk.property = property;
    write_disk(CONFIG_DB_PATH, &disk);

    DiskPropertyRequest change = {slot, property, disk.group, 0};
    cgi_notify(REQ_DISK_PROPERTY, &change, sizeof change);
    cgi_log_operation(OPLOG_MAIN_OPERATION, LOG_SUB_DISK_PROPERTY, LOG_PARAM_DISK_PROPERTY, slot);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

void on_check_disk_number(const char *req)
{
    if (cgi_text_to_int_in(req, 0, DISK_NUMBER_MAX, nullptr))
        cgi_writeback_webserver(CGI_TEXT, "OK");
}

void on_del_disk(const char *req)
{
    json_object *obj = get_request_tokener_json_object(req);
    if (!obj)
        return;
    int32_t port = 0, type = 0;
    bool ok = (cgi_json_whole_int(obj, "port", &port) == 1) && (cgi_json_whole_int(obj, "hddType", &type) == 1);
    json_object_put(obj);
    if (!ok)
        return;

    if (type == HDD_TYPE_RAID) {
        RaidRequest raid;
        memset(&raid, 0, sizeof raid);
        raid.id = port;
        cgi_query(on_storage_ipc_callback, REQ_RAID_REMOVE, &raid, sizeof raid, CGI_TEXT);
    } else if (storage_is_network_disk(type)) {
        SlotList list;
        memset(&list, 0, sizeof list);
        list.count = 1;
        list.slots[0] = port;
        cgi_query(on_storage_ipc_callback, REQ_NETDISK_DELETE, &list, sizeof list, CGI_TEXT);
        return; // network disks get no log entry from this route
    } else {
        // The port becomes a store key below: refuse one outside the slots.
        if (port < 1 || port > STORAGE_MAX_DISKS)
            return;
        cgi_query(on_storage_ipc_callback, REQ_DISK_REMOVE, &port, sizeof port, CGI_TEXT);
        DiskRecord disk;
        memset(&disk, 0, sizeof disk);
        disk.slot = port;
        disk.property = 1;
        write_disk(CONFIG_DB_PATH, &disk);
    }
    cgi_log_operation(OPLOG_MAIN_OPERATION, LOG_SUB_DISK_REMOVE, LOG_PARAM_DISK, port);
}
