// camera routes and their reply callback.
#include "modules.h"

const WebModule g_camera_module = {"camera", nullptr, 0};
