// Small values the camera pages ask for.
#include <cstdio>

#include "camera/camera.h"
#include "outside/qx_net.h"
#include "outside/qxdb.h"
#include "web_utils/response.h"

namespace {

void answer_int(int32_t v)
{
    char text[16];
    snprintf(text, sizeof text, "%d", v);
    cgi_writeback_webserver(CGI_TEXT, text);
}

} // namespace

// Default password of the cameras on the recorder's PoE ports.
void on_get_poe_password(const char *)
{
    char password[64];
    get_param_value(CONFIG_DB_PATH, "poepsd", password, sizeof password, "kq5820");
    cgi_writeback_webserver(CGI_TEXT, password);
}

void on_get_max_poe_num(const char *)
{
    answer_int(get_param_int(CONFIG_DB_PATH, "max_poe_num", 0));
}

void on_get_ipv6_support(const char *)
{
    answer_int(net_is_haveipv6());
}
