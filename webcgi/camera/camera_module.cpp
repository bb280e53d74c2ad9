// Camera channel routes.
#include "camera/camera.h"
#include "modules.h"

namespace {

const WebRes kRoutes[] = {
    {"/2000", on_get_camera_info},
    {"/2001", on_get_camera_list},
    {"/2003", on_edit_camera},
    {"/2004", on_add_camera},
    {"/2005", on_delete_camera},
    {"/2007", on_get_camera_list},
    {"/2008", on_get_ipc_protocols},
    {"/2012", on_get_channel_names},
    {"/2014", on_test_camera_connect},
    {"/2015", on_test_camera_login},
    {"/2016", on_get_poe_password},
    {"/2017", on_set_camera_login},
    {"/2018", on_get_max_poe_num},
    {"/2031", on_set_camera_transport},
    {"/2034", on_get_ipv6_support},
};

} // namespace

const WebModule g_camera_module = {"camera", kRoutes, ROUTE_COUNT(kRoutes)};
