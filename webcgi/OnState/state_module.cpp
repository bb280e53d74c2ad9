// Status page routes and their reply callback.
#include "modules.h"

// "/8004" is kept by the pages as a no-operation ping: it answers nothing.
static void on_get_nothing(const char *) {}

static const WebRes kStatusRoutes[] = {
    {"/8004", on_get_nothing},
};

const WebModule g_status_module = {"status", kStatusRoutes, ROUTE_COUNT(kStatusRoutes)};
