// The route modules and the order in which they join the route table.
#pragma once

#include "dispatchreq/dispatchreq.h"

struct WebModule {
    const char *name;
    const WebRes *routes;
    int count;
};

#define ROUTE_COUNT(a) static_cast<int>(sizeof(a) / sizeof((a)[0]))

extern const WebModule g_storage_module;
extern const WebModule g_status_module;
extern const WebModule g_video_module;
extern const WebModule g_camera_module;
extern const WebModule g_record_module;
extern const WebModule g_playback_module;
extern const WebModule g_ptz_module;
extern const WebModule g_system_module;
extern const WebModule g_quick_module;
extern const WebModule g_network_module;
extern const WebModule g_alarm_module;

// The modules in registration order (nullptr-terminated).
const WebModule *const *webcgi_modules();

// Adds every module's routes in order; removes them in reverse order.
void webcgi_register_modules();
void webcgi_unregister_modules();
