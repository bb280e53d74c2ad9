// ptz routes and their reply callback.
#include "modules.h"

const WebModule g_ptz_module = {"ptz", nullptr, 0};
