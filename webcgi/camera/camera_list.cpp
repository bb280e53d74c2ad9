// Reading channels: the live camera list, one channel's stored settings and
// the channel names.
#include <cstring>

#include "camera/camera.h"
#include "outside/qxdb.h"
#include "web_utils/codec_util.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/response.h"

namespace {

// Highest channel id the stored-settings page may ask for.
constexpr int32_t kInfoMaxChannel = 7;

int32_t max_cameras()
{
    return get_param_int(CONFIG_DB_PATH, "max_cameras", 32);
}



// The OSD name of a channel; "" for an id outside the channels.
void channel_name(int32_t chn, char (&name)[64])
{
    name[0] = '\0';
    if (chn >= 0 && chn < QXDB_MAX_CHANNELS)
        read_osd_name(CONFIG_DB_PATH, chn, name, sizeof name);
}

} // namespace

void on_get_camera_list(const char *)
{
    cgi_query(on_camera_ipc_callback, CAM_REQ_LIST, nullptr, 0, CGI_JSON);
}

void on_get_camera_list_cb(int count, const void *payload)
{
    // An empty or short reply is no reply: the handler answers the error.
    if (count < 1 || !payload)
        return;
    const char *p = static_cast<const char *>(payload);
    json_object *list = json_object_new_array();
    for (int i = 0; i < count; i++) {
        CameraStatusRecord s;
        memcpy(&s, p + static_cast<size_t>(i) * sizeof s, sizeof s);
        char name[64];
        channel_name(s.id, name);
        json_object *o = json_object_new_object();
        cgi_json_add_int(o, "id", s.id);
        cgi_json_add_int(o, "enable", 1);
        cgi_json_add_text(o, "name", name);
        cgi_json_add_text(o, "ipAddr", s.ip_addr);
        cgi_json_add_int(o, "managePort", s.manage_port);
        cgi_json_add_int(o, "camProtocol", s.protocol);
        cgi_json_add_text(o, "vendor", s.vendor);
        cgi_json_add_text(o, "sn", s.sn);
        cgi_json_add_text(o, "snReal", s.sn_real);
        cgi_json_add_text(o, "mac", s.mac);
        cgi_json_add_text(o, "model", s.model);
        cgi_json_add_text(o, "fwVersion", s.fw_version);
        cgi_json_add_int(o, "state", s.state);
        cgi_json_add_int(o, "mainRtspPort", s.main_rtsp_port);
        cgi_json_add_int(o, "physicalport", s.physicalport);
        cgi_json_add_int(o, "poechannel", s.poechannel);
        cgi_json_add_int(o, "alarmin", s.alarmin);
        cgi_json_add_int(o, "alarmout", s.alarmout);
        cgi_json_add_int(o, "whiteLed", s.white_led);
        cgi_json_add_int(o, "ledAlarm", s.led_alarm);
        cgi_json_add_int(o, "ledManual", s.led_manual);
        cgi_json_add_int(o, "minorid", s.minorid);
        cgi_json_add_int(o, "subState", s.sub_state);
        cgi_json_add_int(o, "connectState", s.connect_state);
        cgi_json_add_text(o, "ddns", s.ddns);
        json_object_array_add(list, o);
    }
    json_object *answer = json_object_new_object();
    json_object_object_add(answer, "IPC", list);
    cgi_json_add_int(answer, "maxIPCNums", max_cameras());
    cgi_writeback_json(answer);
    g_callback_done = 1;
}

void on_get_camera_info(const char *req)
{
    int32_t chn;
    if (camera_request_chnid(req, kInfoMaxChannel, &chn) < 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    OsdRecord osd;
    CameraRecord cam;
    IpcModelRecord model;
    read_osd(CONFIG_DB_PATH, &osd, chn);
    read_camera(CONFIG_DB_PATH, &cam, chn);
    read_ipc_model(CONFIG_DB_PATH, &model, cam.model);

    json_object *o = json_object_new_object();
    cgi_json_add_int(o, "id", cam.id);
    cgi_json_add_text(o, "name", osd.name);
    cgi_json_add_text(o, "ipAddr", cam.ip_addr);
    cgi_json_add_int(o, "managePort", cam.manage_port);
    cgi_json_add_int(o, "protocol", model.protocol);
    cgi_json_add_int(o, "model", cam.model);
    cgi_json_add_text(o, "userName", cam.user_name);
    cgi_json_add_text(o, "password", cam.password);
    cgi_json_add_int(o, "transmitProtocol", cam.transmit_protocol);
    cgi_json_add_int(o, "mainRtspPort", cam.main_rtsp_port);
    cgi_json_add_text(o, "mainSourcePath", cam.main_source_path);
    cgi_json_add_int(o, "subRtspEnable", cam.enable_sub_stream);
    cgi_json_add_int(o, "subRtspPort", cam.sub_rtsp_port);
    cgi_json_add_text(o, "subSourcePath", cam.sub_source_path);
    cgi_json_add_int(o, "syncTime", cam.sync_time);
    cgi_json_add_text(o, "mainRtspUrl", cam.main_rtsp_url);
    cgi_json_add_text(o, "subRtspUrl", cam.sub_rtsp_url);
    cgi_json_add_int(o, "physicalport", cam.physicalport);
    cgi_json_add_int(o, "poechannel", cam.poechannel);
    cgi_json_add_text(o, "mac_addr", cam.mac_addr);
    cgi_json_add_int(o, "minorid", cam.minorid);
    cgi_json_add_text(o, "ddns", cam.ddns);
    cgi_writeback_json(o);
}

void on_get_channel_names(const char *)
{
    int32_t n = max_cameras();
    json_object *list = json_object_new_array();
    for (int32_t chn = 0; chn < n && chn < QXDB_MAX_CHANNELS; chn++) {
        OsdRecord osd;
        read_osd(CONFIG_DB_PATH, &osd, chn);
        json_object *o = json_object_new_object();
        cgi_json_add_int(o, "id", chn);
        cgi_json_add_text(o, "name", osd.name);
        json_object_array_add(list, o);
    }
    json_object *answer = json_object_new_object();
    json_object_object_add(answer, "IPC", list);
    cgi_writeback_json(answer);
}
