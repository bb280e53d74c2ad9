// storage routes and their reply callback.
#include "modules.h"

const WebModule g_storage_module = {"storage", nullptr, 0};
