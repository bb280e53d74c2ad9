// Changing a bound camera's login or its transport settings.
#include "camera/camera.h"
#include "outside/qxdb.h"
#include "web_utils/json_getters.h"
#include "web_utils/response.h"

namespace {

// The channel of "id": 0 to 63, or -1 (missing, not a number, out of range).
int32_t request_channel(json_object *obj)
{
    int32_t id;
    if (camera_json_int(obj, "id", &id) < 0 || id < 0 || id >= QXDB_MAX_CHANNELS)
        return -1;
    return id;
}

void store_and_tell(CameraRecord *cam)
{
    write_camera(CONFIG_DB_PATH, cam);
    camera_notify_chn(CAM_REQ_CHANGED, cam->id);
    camera_log_change(CAM_LOG_SUB_EDIT, CAM_LOG_EDIT, cam->id, cam);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

} // namespace

void on_set_camera_login(const char *req)
{
    json_object *obj = get_request_tokener_json_object(req);
    if (!obj)
        return;
    char user[64], password[64];
    int32_t id = request_channel(obj);
    if (id >= 0 && on_cgi_get_string_from_json(obj, "userName", user, sizeof user) == 0 && user[0] &&
        on_cgi_get_string_from_json(obj, "password", password, sizeof password) == 0 && password[0]) {
        CameraRecord cam;
        read_camera(CONFIG_DB_PATH, &cam, id);
        cam.id = id;
        copy_text(cam.user_name, user);
        copy_text(cam.password, password);
        store_and_tell(&cam);
    }
    json_object_put(obj);
}

void on_set_camera_transport(const char *req)
{
    json_object *obj = get_request_tokener_json_object(req);
    if (!obj)
        return;
    // Without a channel there is nothing to change: channel 0 is not a default.
    int32_t id = request_channel(obj);
    if (id >= 0) {
        CameraRecord cam;
        read_camera(CONFIG_DB_PATH, &cam, id);
        cam.id = id;
        cam.transmit_protocol = camera_json_int_or0(obj, "transmitProtocol");
        cam.sync_time = camera_json_int_or0(obj, "syncTime");
        store_and_tell(&cam);
    }
    json_object_put(obj);
}
