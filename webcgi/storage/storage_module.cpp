// Storage routes: disks, formatting, RAID arrays, network disks.
#include "modules.h"
#include "storage/storage.h"

static const WebRes kStorageRoutes[] = {
    {"/6100", on_get_disk_info},
    {"/6101", on_set_disk_property},
    {"/6102", on_set_format_disk},
    {"/6103", on_check_disk_number},
    {"/6207", on_del_disk},
    {"/6227", on_get_format_state},
};

const WebModule g_storage_module = {"storage", kStorageRoutes, ROUTE_COUNT(kStorageRoutes)};
