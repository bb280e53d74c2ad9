// Video and event settings routes.
#include "OnVideo/video.h"
#include "modules.h"

static const WebRes kRoutes[] = {
    {"/6010", on_get_movedetect_info},
    {"/6011", OnGetMotionSchedule},
    {"/6012", on_set_movedetect_info},
    {"/6013", OnSetMotionSchedule},
    {"/6098", on_get_motion_map},
    {"/6112", on_set_motion_dialog},
    {"/6113", on_set_motion_basic},
    {"/6114", on_set_motion_trigger},
    {"/6117", on_set_move_action},
    {"/6118", on_set_move_email_sche},
    {"/6119", on_set_move_others},
    {"/6120", on_get_move_email_sche},
    {"/6152", on_set_move_effective_sche},
    {"/6153", on_get_move_effective_sche},
    {"/6158", on_get_move_ptz_sche},
    {"/6159", on_set_move_ptz_sche},
};

const WebModule g_video_module = {"video", kRoutes, ROUTE_COUNT(kRoutes)};
