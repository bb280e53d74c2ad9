#include "common_replies.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/response.h"

void on_cgi_common_json_cb(int count, const void *payload)
{
    if (count < 1 || !payload)
        return;
    int32_t status;
    memcpy(&status, payload, sizeof status);
    json_object *obj = json_object_new_object();
    json_object_object_add(obj, "status", json_object_new_int(status));
    cgi_writeback_json(obj);
    g_callback_done = 1;
}

void on_cgi_common_text_cb(int, int status, const char *data)
{
    char text[256];
    int n = snprintf(text, sizeof text, status >= 0 ? "CGI OK status:[%d]" : "CGI ERROR status:[%d]", status);
    if (data && n >= 0 && static_cast<size_t>(n) < sizeof text)
        snprintf(text + n, sizeof text - static_cast<size_t>(n), ", data:[%s]", data);
    cgi_writeback_webserver(CGI_TEXT, text);
    g_callback_done = 1;
}
