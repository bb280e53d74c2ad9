// Binding a camera to a channel, changing that binding and clearing it.
#include <cstdio>
#include <cstring>

#include "camera/camera.h"
#include "outside/qxdb.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/response.h"

namespace {

// Highest channel id a channel may be cleared for.
constexpr int32_t kDeleteMaxChannel = 7;
// Camera model id 7 needs neither address nor port.
constexpr int32_t kModelWithoutAddress = 7;
constexpr int32_t kModelRtsp = 1;

bool has_member(json_object *obj, const char *key)
{
    json_object *m = nullptr;
    return json_object_object_get_ex(obj, key, &m);
}

bool int_in(json_object *obj, const char *key, int32_t lo, int32_t hi)
{
    int32_t v;
    return camera_json_int(obj, key, &v) == 0 && v >= lo && v <= hi;
}

// Takes the page's credentials on an edit only when "type" is absent or 0.
bool edit_takes_credentials(json_object *obj)
{
    if (!has_member(obj, "type"))
        return true;
    int32_t type;
    return camera_json_int(obj, "type", &type) == 0 && type == 0;
}

enum class Save { Add, Edit };

void save_camera(json_object *obj, Save mode)
{
    int32_t id = 0;
    camera_json_int(obj, "id", &id);

    CameraRecord cam;
    OsdRecord osd;
    read_camera(CONFIG_DB_PATH, &cam, id);
    read_osd(CONFIG_DB_PATH, &osd, id);
    cam.id = id;
    osd.chnid = id;
    camera_json_text(obj, "name", osd.name);
    write_osd(CONFIG_DB_PATH, &osd);

    cam.minorid = camera_json_int_or0(obj, "minorid");
    cam.enable = camera_json_int_or0(obj, "enable");
    camera_json_text(obj, "ipAddr", cam.ip_addr);
    cam.manage_port = camera_json_int_or0(obj, "managePort");
    cam.model = camera_json_int_or0(obj, "camProtocol");
    if (mode == Save::Add || edit_takes_credentials(obj)) {
        camera_json_text(obj, "userName", cam.user_name);
        camera_json_text(obj, "password", cam.password);
    }
    cam.transmit_protocol = camera_json_int_or0(obj, "transmitProtocol");
    cam.enable_sub_stream = camera_json_int_or0(obj, "enableSubStream");
    cam.sync_time = camera_json_int_or0(obj, "syncTime");
    if (cam.model == kModelRtsp) {
        cam.main_rtsp_port = camera_json_int_or0(obj, "mainRtspPort");
        camera_json_text(obj, "mainSourcePath", cam.main_source_path);
        cam.sub_rtsp_port = camera_json_int_or0(obj, "subRtspPort");
        camera_json_text(obj, "subSourcePath", cam.sub_source_path);
        camera_json_text(obj, "mainrtspurl", cam.main_rtsp_url);
        camera_json_text(obj, "subrtspurl", cam.sub_rtsp_url);
    }
    if (mode == Save::Add) {
        camera_json_text(obj, "mac_addr", cam.mac_addr);
        cam.poechannel = camera_json_int_or0(obj, "poechannel");
        cam.physicalport = camera_json_int_or0(obj, "physicalport");
    }
    camera_json_text(obj, "ddns", cam.ddns);
    write_camera(CONFIG_DB_PATH, &cam);

    if (mode == Save::Add) {
        camera_notify_chn(CAM_REQ_BOUND, id);
        int32_t poe[2] = {id, camera_json_int_or0(obj, "otherPoe") == 1 ? 1 : 0};
        cgi_notify(CAM_REQ_POE_BIND, poe, sizeof poe);
        camera_log_change(CAM_LOG_SUB_ADD, CAM_LOG_ADD, id, &cam);
    } else {
        camera_notify_chn(CAM_REQ_CHANGED, id);
        camera_log_change(CAM_LOG_SUB_EDIT, CAM_LOG_EDIT, id, &cam);
    }
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

void add_or_edit(const char *req, Save mode)
{
    json_object *obj = get_request_tokener_json_object(req);
    if (!obj)
        return;
    if (check_digital_channel(obj) == 0)
        save_camera(obj, mode);
    json_object_put(obj);
}

} // namespace

int check_digital_channel(json_object *obj)
{
    if (!obj || !json_object_is_type(obj, json_type_object))
        return -1;
    // Channel ids run from 0 to 63: a camera for channel 64 would have no
    // record to live in, yet the daemon and the log would be told of it.
    if (!int_in(obj, "id", 0, QXDB_MAX_CHANNELS - 1))
        return -1;
    if (!has_member(obj, "name"))
        return -1;
    if (!int_in(obj, "enable", 0, 1))
        return -1;
    int32_t model;
    if (camera_json_int(obj, "camProtocol", &model) < 0 || model < 0 || model > 7)
        return -1;
    if (model != kModelWithoutAddress) {
        char ip[64];
        if (on_cgi_get_string_from_json(obj, "ipAddr", ip, sizeof ip) < 0 || ip[0] == '\0')
            return -1;
        if (!int_in(obj, "managePort", 0, INT32_MAX))
            return -1;
    }
    if (!int_in(obj, "transmitProtocol", 0, 2))
        return -1;
    return 0;
}

void on_add_camera(const char *req)
{
    add_or_edit(req, Save::Add);
}

void on_edit_camera(const char *req)
{
    add_or_edit(req, Save::Edit);
}

void on_delete_camera(const char *req)
{
    int32_t chn;
    if (camera_request_chnid(req, kDeleteMaxChannel, &chn) < 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }

    // The channel's mask areas go, their ids, picture size and colour stay.
    PrivacyMaskRecord mask;
    read_privacy_mask(CONFIG_DB_PATH, &mask, chn);
    if (mask.chnid == chn) {
        for (PrivacyMaskArea &a : mask.area) {
            a.enable = 0;
            a.start_x = 0;
            a.start_y = 0;
            a.width = 0;
            a.height = 0;
        }
    }
    mask.chnid = chn;
    write_privacy_mask(CONFIG_DB_PATH, &mask);

    CameraRecord cam;
    read_camera(CONFIG_DB_PATH, &cam, chn);
    int32_t record_stream = cam.record_stream;
    memset(&cam, 0, sizeof cam);
    cam.id = chn;
    cam.cleared = 1;
    cam.enable = 0;
    cam.record_stream = record_stream;
    write_camera(CONFIG_DB_PATH, &cam);

    OsdRecord osd;
    read_osd(CONFIG_DB_PATH, &osd, chn);
    osd.chnid = chn;
    snprintf(osd.name, sizeof osd.name, "CAM%d", chn + 1);
    write_osd(CONFIG_DB_PATH, &osd);

    camera_notify_chn(CAM_REQ_CLEARED, chn);
    int32_t poe[2] = {chn, 0};
    cgi_notify(CAM_REQ_POE_BIND, poe, sizeof poe);
    camera_log_change(CAM_LOG_SUB_DELETE, CAM_LOG_DELETE, chn, nullptr);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}
