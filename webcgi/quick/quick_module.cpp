// quick routes and their reply callback.
#include "modules.h"

const WebModule g_quick_module = {"quick", nullptr, 0};
