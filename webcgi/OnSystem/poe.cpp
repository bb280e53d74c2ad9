// Passwords of the cameras on the PoE ports: the core daemon changes them.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "OnSystem/system_private.h"
#include "web_utils/ipc.h"
#include "web_utils/response.h"

void on_set_poe_password(const char *)
{
    cgi_query(on_system_ipc_callback, SYS_REQ_POE_PASSWORD, nullptr, 0, CGI_JSON);
}

void on_poe_password_cb(int count, const void *payload)
{
    if (count < 1 || !payload)
        return;
    int32_t result;
    memcpy(&result, payload, sizeof result);
    char text[16];
    snprintf(text, sizeof text, "%d", static_cast<int>(result));
    cgi_writeback_webserver(CGI_TEXT, text);
    g_callback_done = 1;
}

void on_set_poe_password_ex(const char *)
{
    cgi_notify(SYS_REQ_POE_PASSWORD_EX, nullptr, 0);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}
