#include "modules.h"

// Storage first and alarms last: the table keeps this order, and so does
// every listing of the routes.
static const WebModule *const kModules[] = {
    &g_storage_module, &g_status_module, &g_video_module, &g_camera_module,
    &g_record_module,  &g_playback_module, &g_ptz_module,  &g_system_module,
    &g_quick_module,   &g_network_module, &g_alarm_module, nullptr,
};

const WebModule *const *webcgi_modules()
{
    return kModules;
}

void webcgi_register_modules()
{
    for (const WebModule *const *m = kModules; *m; m++)
        if ((*m)->count > 0)
            WebResRegister((*m)->routes, (*m)->count);
}

void webcgi_unregister_modules()
{
    int n = 0;
    while (kModules[n])
        n++;
    while (n-- > 0)
        if (kModules[n]->count > 0)
            WebResUnregister(kModules[n]->routes, kModules[n]->count);
}
