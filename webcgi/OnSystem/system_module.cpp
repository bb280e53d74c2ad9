// System administration routes and their reply callback.
#include "OnSystem/system_private.h"
#include "modules.h"
#include "web_utils/factory_options.h"

// "/1019" is an upload target whose file is simply dropped at exit.
static void on_set_upload_nothing(const char *) {}

static const WebRes kSystemRoutes[] = {
    {"/1019", on_set_upload_nothing},
    {"/vb.htm", on_cgi_http_option},
    // Login and user accounts.
    {"/1000", on_cgi_login},
    {"/1018", on_cgi_email_login},
    {"/6070", on_get_user_info},
    {"/6071", on_add_user_info},
    {"/6072", on_set_user_info},
    {"/6073", on_del_user_info},
    {"/6074", on_get_oem_user_info},
    {"/6075", on_set_poe_password},
    {"/6076", on_set_poe_password_ex},
    {"/6077", on_set_user_changed},
    {"/1024", on_set_permission_update},
};

const WebModule g_system_module = {"system", kSystemRoutes, ROUTE_COUNT(kSystemRoutes)};
