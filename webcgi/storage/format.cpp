// Formatting a disk ("/6102") and the progress of a format ("/6227").
#include <atomic>
#include <cstring>

#include "outside/qxfs_log.h"
#include "storage/storage.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/req_parse.h"
#include "web_utils/response.h"

namespace {

enum { LOG_SUB_FORMAT = 207, LOG_PARAM_DISK = 900, FORMAT_SLOT_MAX = 36 };

// Daemon answers to a format request.
enum { FORMAT_OK = 0, FORMAT_IN_USE = 1, FORMAT_FAILED = -1, FORMAT_NAS_LOW_CAP = -3 };

// Set by the reply function when the daemon reports a finished format; read
// by the handler for the log entry once the wait is over.
std::atomic<int32_t> g_format_done{0};

} // namespace

void on_set_format_disk(const char *req)
{
    int32_t slot = 0;
    if (!cgi_text_to_int_in(req, 0, FORMAT_SLOT_MAX, &slot))
        return;
    g_format_done = 0;
    cgi_query(on_storage_ipc_callback, REQ_FORMAT_DISK, &slot, sizeof slot, CGI_JSON);

    FormatLogDetail detail;
    memset(&detail, 0, sizeof detail);
    detail.slot = slot;
    detail.result = g_format_done.load() ? 1 : -1;
    OpLogRecord log;
    cgi_init_log_info(&log);
    log.sub_type = LOG_SUB_FORMAT;
    log.param = LOG_PARAM_DISK;
    log.chn = slot;
    qxfs_log_pack_detail(&log, LOG_DETAIL_FORMAT, &detail, sizeof detail);
    cgi_send_oplog(&log);
}

void on_format_disk_cb(int count, const void *payload)
{
    if (count < 1 || !payload)
        return;
    int32_t status;
    memcpy(&status, payload, sizeof status);
    switch (status) {
    case FORMAT_OK:
        g_format_done = 1;
        cgi_writeback_webserver(CGI_TEXT, "OK");
        break;
    case FORMAT_IN_USE:
        cgi_writeback_webserver(CGI_TEXT, "USING");
        break;
    case FORMAT_FAILED:
        cgi_writeback_webserver(CGI_TEXT, "ERROR FORMAT");
        break;
    case FORMAT_NAS_LOW_CAP:
        cgi_writeback_webserver(CGI_TEXT, "NAS LOW CAP");
        break;
    default:
        // A status this program does not know is still a failed format:
        // say so rather than leave the page with an empty answer.
        cgi_error_to_webserver(CGI_JSON);
        break;
    }
    g_callback_done = 1;
}

void on_get_format_state(const char *)
{
    cgi_query(on_storage_ipc_callback, REQ_FORMAT_STATE, nullptr, 0, CGI_JSON);
}

void on_format_state_cb(int count, const void *payload)
{
    if (count < 1 || !payload)
        return;
    FormatStateRecord st;
    memcpy(&st, payload, sizeof st);
    json_object *o = json_object_new_object();
    json_object_object_add(o, "status", json_object_new_int(st.status));
    json_object_object_add(o, "port", json_object_new_int(st.slot));
    json_object_object_add(o, "type", json_object_new_int(st.type));
    json_object_object_add(o, "percent", json_object_new_int(st.percent));
    cgi_writeback_json(o);
    g_callback_done = 1;
}
