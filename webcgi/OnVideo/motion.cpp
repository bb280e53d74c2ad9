// Motion detection: reading the settings, the basic settings and triggers,
// and the camera's motion map.
#include <cstring>

#include "OnVideo/motion.h"
#include "OnVideo/video.h"
#include "outside/qxdb.h"
#include "web_utils/event_codecs.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/response.h"

namespace {

// The fields of "/6012" after validation.
struct MotionBasic {
    int32_t chn;
    int enable;
    int sensitivity;
    int tri_alarms;
    int interval;
    int enable_qx;
    const char *tri_channels;
    const char *motion_table;
};

int check_movedetect_info(json_object *obj, MotionBasic *in)
{
    json_object *v = nullptr;
    if (!event_json_channel(obj, "camId", &in->chn))
        return -1;
    if (on_cgi_get_int_from_json(obj, "enable", &in->enable) != 0 || in->enable < 0 || in->enable > 2)
        return -1;
    if (on_cgi_get_int_from_json(obj, "sensitivity", &in->sensitivity) != 0 || in->sensitivity < 0)
        return -1;
    if (!json_object_object_get_ex(obj, "triChannels", &v))
        return -1;
    in->tri_channels = json_object_get_string(v);
    if (on_cgi_get_int_from_json(obj, "triAlarms", &in->tri_alarms) != 0 || in->tri_alarms < 0)
        return -1;
    if (on_cgi_get_int_from_json(obj, "interval", &in->interval) != 0 || in->interval < 0)
        return -1;
    if (!json_object_object_get_ex(obj, "motionTable", &v))
        return -1;
    in->motion_table = json_object_get_string(v);
    if (on_cgi_get_int_from_json(obj, "enableQX", &in->enable_qx) != 0)
        return -1;
    return 0;
}



// The stored channel of "/6113" and "/6114": 0 <= camId < number of stored
// motion records, then that channel's record.
bool stored_channel(json_object *obj, int32_t *chn, MotionRecord *rec)
{
    int32_t id = 0;
    if (!event_json_channel(obj, "camId", &id))
        return false;
    static MotionRecord all[QXDB_MAX_CHANNELS];
    int32_t count = 0;
    if (read_motions(CONFIG_DB_PATH, all, &count) != 0 || id >= count)
        return false;
    *chn = id;
    return motion_read(id, rec);
}

// Replaces an integer field when the member is present.
void set_if_present(json_object *obj, const char *key, int32_t *field)
{
    int v = 0;
    if (on_cgi_get_int_from_json(obj, key, &v) == 0)
        *field = v;
}

void set_channels_if_present(json_object *obj, MotionRecord *rec)
{
    json_object *v = nullptr;
    if (json_object_object_get_ex(obj, "triChannels", &v))
        event_set_channel_text(rec->tri_channels, &rec->tri_channel_mask, json_object_get_string(v));
}

} // namespace

void on_get_movedetect_info(const char *req)
{
    MotionJson j(req);
    int32_t chn = 0;
    MotionRecord m;
    if (!j.obj || !event_json_channel(j.obj, "chnid", &chn) || !motion_read(chn, &m)) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    json_object *o = json_object_new_object();
    cgi_json_add_int(o, "chnid", m.chnid);
    cgi_json_add_int(o, "enable", m.enable);
    cgi_json_add_int(o, "sensitivity", m.sensitivity);
    cgi_json_add_text(o, "triChannels", m.tri_channels);
    cgi_json_add_int(o, "triAlarms", m.tri_alarms);
    cgi_json_add_int(o, "interval", m.interval);
    cgi_json_add_int(o, "enableQX", m.enable_qx);
    cgi_json_add_text(o, "motionTable", m.motion_table);
    cgi_json_add_int(o, "email_enable", m.email_enable);
    cgi_json_add_int(o, "email_interval", m.email_interval);
    cgi_json_add_int(o, "email_pic_enable", m.email_pic_enable);
    cgi_json_add_text(o, "tri_channels_pic", m.tri_channels_pic);
    cgi_json_add_int(o, "ptz_interval", m.ptz_interval);
    cgi_json_add_int(o, "alarmout_interval", m.alarmout_interval);
    cgi_json_add_int(o, "http_notification_interval", m.http_notification_interval);
    json_object_object_add(o, "effective", event_schedule_json(kMotionEffective, chn));
    json_object_object_add(o, "audible", event_schedule_json(kMotionAudible, chn));
    json_object_object_add(o, "email", event_schedule_json(kMotionEmail, chn));
    json_object_object_add(o, "ptz", event_schedule_json(kMotionPtz, chn));
    json_object_object_add(o, "triChnAlarms", get_event_chn_alarmout_object(m.tri_chn_alarms[0], m.tri_chn_alarms[1]));
    json_object_object_add(o, "white", event_schedule_json(kMotionWhite, chn));
    json_object_object_add(o, "whiteInfo", get_white_params_json_object(chn, kMotionWhiteLedParams));
    cgi_json_add_int(o, "white_interval", m.white_interval);
    json_object_object_add(o, "httpSche", event_schedule_json(kMotionHttp, chn));
    json_object_object_add(o, "httpParams", get_http_params_json_object(chn, kMotionHttpParams));
    cgi_json_add_int(o, "audioId", m.audio_id);
    json_object_object_add(o, "audioIdMask", json_object_new_int64(get_audio_file_id_mask()));
    json_object_object_add(o, "ptzParams", get_ptz_params_json_object(MOTION_PTZ_KIND, chn));
    cgi_writeback_json(o);
}

void on_set_movedetect_info(const char *req)
{
    MotionJson j(req);
    MotionBasic in;
    if (!j.obj || check_movedetect_info(j.obj, &in) != 0)
        return;
    MotionRecord m;
    // A record that could not be read is not written back: it would wipe
    // the channel's other settings.
    if (!motion_read(in.chn, &m)) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    m.chnid = in.chn;
    m.enable = in.enable;
    m.sensitivity = in.sensitivity;
    m.tri_alarms = in.tri_alarms;
    m.interval = in.interval;
    m.enable_qx = in.enable_qx;
    copy_text(m.motion_table, in.motion_table);
    event_set_channel_text(m.tri_channels, &m.tri_channel_mask, in.tri_channels);
    if (write_motion(CONFIG_DB_PATH, &m) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    event_notify_channel(REQ_MOTION_CHANGED, in.chn);

    CamMotionRecord cam;
    memset(&cam, 0, sizeof cam);
    copy_text(cam.map, in.motion_table);
    cam.sensitivity = in.sensitivity;
    cam.chnid = in.chn;
    cgi_notify(REQ_CAM_MOTION_SET, &cam, sizeof cam);
    motion_send_camera_mode(in.chn, in.enable_qx);
    motion_log(in.chn);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

void on_set_motion_basic(const char *req)
{
    MotionJson j(req);
    int32_t chn = 0;
    MotionRecord m;
    if (!j.obj || !stored_channel(j.obj, &chn, &m))
        return;
    m.chnid = chn;
    set_if_present(j.obj, "sensitivity", &m.sensitivity);
    set_if_present(j.obj, "enableQX", &m.enable_qx);
    set_if_present(j.obj, "enable", &m.enable);
    set_if_present(j.obj, "triAlarms", &m.tri_alarms);
    set_if_present(j.obj, "interval", &m.interval);
    if (write_motion(CONFIG_DB_PATH, &m) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    event_notify_channel(REQ_MOTION_CHANGED, chn);
    event_save_schedule(kMotionPlain, j.obj, "schedule", chn);
    event_notify_channel(REQ_MOTION_CHANGED, chn);
    motion_send_camera_mode(chn, m.enable_qx);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

void on_set_motion_trigger(const char *req)
{
    MotionJson j(req);
    int32_t chn = 0;
    MotionRecord m;
    if (!j.obj || !stored_channel(j.obj, &chn, &m))
        return;
    m.chnid = chn;
    set_if_present(j.obj, "sensitivity", &m.sensitivity);
    set_channels_if_present(j.obj, &m);
    set_if_present(j.obj, "triAlarms", &m.tri_alarms);
    set_if_present(j.obj, "interval", &m.interval);
    set_if_present(j.obj, "enableQX", &m.enable_qx);
    if (write_motion(CONFIG_DB_PATH, &m) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    event_notify_channel(REQ_MOTION_CHANGED, chn);
    motion_log(chn);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

void on_set_move_others(const char *req)
{
    MotionJson j(req);
    int32_t chn = 0;
    MotionRecord m;
    if (!j.obj || !event_json_channel(j.obj, "camId", &chn) || !motion_read(chn, &m)) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    int type = 0;
    on_cgi_get_int_from_json(j.obj, "type", &type);
    if (type == 1)
        set_channels_if_present(j.obj, &m);
    else if (type == 2)
        set_if_present(j.obj, "triAlarms", &m.tri_alarms);
    if (write_motion(CONFIG_DB_PATH, &m) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    event_notify_channel(REQ_MOTION_CHANGED, chn);
    motion_log(chn);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

// ---- Camera motion map -------------------------------------------------------------

namespace {

int check_motion_map_info(json_object *obj, int32_t *id)
{
    return obj && event_json_channel(obj, "id", id) ? 0 : -1;
}

} // namespace

void on_get_motion_map(const char *req)
{
    MotionJson j(req);
    int32_t id = 0;
    if (check_motion_map_info(j.obj, &id) != 0)
        return;
    cgi_query(on_video_ipc_callback, REQ_CAM_MOTION_GET, &id, sizeof id, CGI_TEXT);
}

void on_get_motion_map_cb(int count, const void *payload)
{
    // A reply without a whole record is no answer: the handler's wait ends
    // with the error text.
    if (count < 1 || !payload)
        return;
    CamMotionRecord r;
    memcpy(&r, payload, sizeof r);
    json_object *o = json_object_new_object();
    cgi_json_add_text(o, "map", r.map);
    cgi_json_add_int(o, "sensitivity", r.sensitivity);
    cgi_json_add_int(o, "result", r.result);
    cgi_json_add_int(o, "enable", r.enable);
    cgi_json_add_int(o, "modelType", r.model_type);
    cgi_json_add_int(o, "fishdisplay", r.fish_display);
    cgi_json_add_int(o, "fishtransfer", r.fish_transfer);
    cgi_json_add_int(o, "fishinstall", r.fish_install);
    cgi_writeback_json(o);
    g_callback_done = 1;
}
