// The storage module's reply callback: reply code -> reply function.
#include <cstring>

#include "storage/storage.h"
#include "web_utils/ipc.h"
#include "web_utils/response.h"

void on_storage_status_cb(int count, const void *payload)
{
    if (count < 1 || !payload)
        return;
    int32_t status;
    memcpy(&status, payload, sizeof status);
    cgi_writeback_webserver(CGI_TEXT, status == 0 ? "OK" : "Error");
    g_callback_done = 1;
}

namespace {

// A disk list may hold no record at all (the daemon sees no disk), so its
// function gets the record count and builds the list from the store alone
// when it is 0. Every other reply is handed over only when whole.
const IpcReplyRow kStorageReplies[] = {
    {8421, sizeof(int32_t), AS_ONE, on_storage_status_cb},            // RAID array removed
    {8433, sizeof(StorageInfoRecord), BY_RECORD, on_get_disk_info_cb}, // disk list
    {8434, sizeof(int32_t), AS_ONE, on_format_disk_cb},                // format
    {8496, sizeof(int32_t), AS_ONE, on_storage_status_cb},            // disk entry removed
    {8508, sizeof(int32_t), AS_ONE, on_storage_status_cb},            // network disks deleted
    {8540, sizeof(FormatStateRecord), AS_ONE, on_format_state_cb},     // format progress
};

} // namespace

void on_storage_ipc_callback(int32_t, const QxMsgHead *head, const void *payload)
{
    cgi_dispatch_reply(kStorageReplies, CGI_REPLY_TABLE_SIZE(kStorageReplies), head, payload);
}
