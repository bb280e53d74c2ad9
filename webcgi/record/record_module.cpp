// record routes and their reply callback.
#include "modules.h"

const WebModule g_record_module = {"record", nullptr, 0};
