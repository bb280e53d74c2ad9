// alarm routes and their reply callback.
#include "modules.h"

const WebModule g_alarm_module = {"alarm", nullptr, 0};
