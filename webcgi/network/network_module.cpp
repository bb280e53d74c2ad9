// network routes and their reply callback.
#include "modules.h"

const WebModule g_network_module = {"network", nullptr, 0};
