// playback routes and their reply callback.
#include "modules.h"

const WebModule g_playback_module = {"playback", nullptr, 0};
