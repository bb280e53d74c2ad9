// video routes and their reply callback.
#include "modules.h"

const WebModule g_video_module = {"video", nullptr, 0};
