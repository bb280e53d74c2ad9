// System administration routes and their reply callback.
#include "modules.h"
#include "web_utils/factory_options.h"

// "/1019" is an upload target whose file is simply dropped at exit.
static void on_set_upload_nothing(const char *) {}

static const WebRes kSystemRoutes[] = {
    {"/1019", on_set_upload_nothing},
    {"/vb.htm", on_cgi_http_option},
};

const WebModule g_system_module = {"system", kSystemRoutes, ROUTE_COUNT(kSystemRoutes)};
