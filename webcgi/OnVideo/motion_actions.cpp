// Motion detection: the event actions of a channel ("/6117") and the
// settings dialog with its copy to other channels ("/6112").
#include <cstring>

#include "OnVideo/motion.h"
#include "OnVideo/video.h"
#include "outside/qxdb.h"
#include "outside/qxdb_store.h"
#include "web_utils/event_codecs.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/response.h"

namespace {

// Action fields of the motion record an action object may change.
const EventField kActionFields[] = {
    EVENT_INT(MotionRecord, enable, "enable"),
    EVENT_INT(MotionRecord, tri_alarms, "triAlarms"),
    EVENT_INT(MotionRecord, interval, "interval"),
    EVENT_INT(MotionRecord, audio_id, "audioId"),
    EVENT_INT(MotionRecord, email_interval, "email_interval"),
    EVENT_INT(MotionRecord, email_pic_enable, "email_pic_enable"),
    EVENT_TEXT(MotionRecord, tri_channels_pic, "tri_channels_pic"),
    EVENT_INT(MotionRecord, ptz_interval, "ptz_interval"),
    EVENT_INT(MotionRecord, alarmout_interval, "alarmout_interval"),
    EVENT_INT(MotionRecord, white_interval, "white_interval"),
    EVENT_CHANNELS(MotionRecord, tri_channels, tri_channel_mask, "triChannels"),
};

// The settings dialog also carries the HTTP-notification interval.
const EventField kDialogFields[] = {
    EVENT_INT(MotionRecord, http_notification_interval, "http_notification_interval"),
};

// Schedules an action object may carry (the dialog adds "httpSche").
const EventSchedule kActionSchedules[] = {kMotionEffective, kMotionAudible, kMotionEmail, kMotionPtz, kMotionWhite};

// Everything a copy of the motion settings takes along besides the record.
const EventSchedule kCopySchedules[] = {kMotionEffective, kMotionAudible, kMotionEmail,
                                        kMotionPtz,       kMotionWhite,   kMotionHttp};
const EventActionTables kCopyTables = {kCopySchedules, static_cast<int>(sizeof kCopySchedules / sizeof kCopySchedules[0]),
                                       kMotionWhiteLedParams, kMotionHttpParams, MOTION_PTZ_KIND};

// The dialog's PTZ actions: the page names the event number and kind; a
// dialog without them means this motion channel.
int save_ptz_actions(int32_t chn, json_object *obj)
{
    json_object *list = cgi_json_member(obj, "ptzParams", json_type_array);
    if (!list)
        return 0;
    int event = chn, kind = MOTION_PTZ_KIND;
    on_cgi_get_int_from_json(obj, "ptzChnId", &event);
    on_cgi_get_int_from_json(obj, "ptzType", &kind);
    return set_ptz_params_by_json(event, kind, list);
}

// Applies the dialog to the channel named inside it; returns the number of
// changes, 0 when there is no dialog or its channel is not 0 to 63.
int save_motion_dialog_data(json_object *dialog)
{
    if (!dialog)
        return 0;
    int32_t chn = 0;   // a dialog without "chnid" is for channel 0
    if (json_object_object_get_ex(dialog, "chnid", nullptr) && !event_json_channel(dialog, "chnid", &chn))
        return 0;
    int changes = motion_apply_actions(chn, dialog, true);
    event_notify_channel(REQ_MOTION_CHANGED, chn);
    return changes < 0 ? 0 : changes;
}

} // namespace

int motion_apply_actions(int32_t chn, json_object *obj, bool dialog)
{
    int changes = event_save_schedules(kActionSchedules, obj, chn);
    changes += event_save_whiteled(chn, obj, "whiteInfo", kMotionWhiteLedParams);
    if (dialog) {
        changes += event_save_schedule(kMotionHttp, obj, nullptr, chn);
        changes += event_save_http(chn, obj, "httpParams", kMotionHttpParams);
    }

    MotionRecord m;
    bool failed = false;
    if (motion_read(chn, &m)) {
        int fields = event_apply_alarmouts(chn, obj, "triChnAlarms", m.tri_chn_alarms[0], m.tri_chn_alarms[1]);
        fields += event_apply_fields(obj, kActionFields, &m);
        if (dialog)
            fields += event_apply_fields(obj, kDialogFields, &m);
        if (fields > 0) {
            if (write_motion(CONFIG_DB_PATH, &m) == 0)
                changes++;
            else
                failed = true;
        }
    } else {
        // Not read, so not written back: it would wipe the channel's other settings.
        failed = true;
    }

    if (dialog)
        changes += save_ptz_actions(chn, obj);
    return failed ? -1 : changes;
}

void on_set_move_action(const char *req)
{
    MotionJson j(req);
    int32_t chn = 0;
    if (!j.obj || !event_json_channel(j.obj, "chnid", &chn)) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    int changes = motion_apply_actions(chn, j.obj, false);
    event_notify_channel(REQ_MOTION_CHANGED, chn);
    if (changes < 0)
        cgi_error_to_webserver(CGI_JSON);
    else
        cgi_writeback_webserver(CGI_TEXT, "OK");
}

void on_set_motion_dialog(const char *req)
{
    MotionJson j(req);
    int32_t src = 0;
    // Without a valid source channel nothing is saved, copied or sent.
    if (!j.obj || !event_json_channel(j.obj, "chnid", &src))
        return;

    save_motion_dialog_data(cgi_json_member(j.obj, "dialog", json_type_object));

    MotionRecord m;
    bool have_src = motion_read(src, &m);
    int sensitivity = m.sensitivity, enable_qx = m.enable_qx;
    on_cgi_get_int_from_json(j.obj, "sensitivity", &sensitivity);
    on_cgi_get_int_from_json(j.obj, "enableQX", &enable_qx);
    char map[CAM_MOTION_MAP];
    copy_text(map, m.motion_table);
    on_cgi_get_string_from_json(j.obj, "motionTable", map, sizeof map);

    uint64_t mask = get_copy_flag_by_json(j.obj, "copyChn", "copyCnt");
    int32_t ids[QXDB_MAX_CHANNELS];
    int32_t count = event_mask_channels(mask, ids, QXDB_MAX_CHANNELS);

    CamMotionBatchRecord batch;
    memset(&batch, 0, sizeof batch);
    copy_text(batch.map, map);
    batch.sensitivity = sensitivity;
    batch.chnid = src;
    batch.enable_qx = enable_qx;
    memcpy(batch.ids, ids, sizeof(int32_t) * static_cast<size_t>(count));
    batch.count = count;

    CamMotionModeRecord mode;
    memset(&mode, 0, sizeof mode);
    mode.chnid = src;
    mode.mode = enable_qx == 1 ? 1 : 0;
    memcpy(mode.ids, ids, sizeof(int32_t) * static_cast<size_t>(count));
    mode.count = count;

    CamMotionScheduleRecord sched;
    cam_motion_full_day(&sched, 0);
    cam_motion_lay_channels(&sched, ids, count);

    // Targets are only overwritten from a source record that was read. The
    // whole copy is one store transaction.
    qxdb::Batch store_batch(CONFIG_DB_PATH);
    if (have_src) {
        m.sensitivity = sensitivity;
        m.enable_qx = enable_qx;
        copy_motions(CONFIG_DB_PATH, &m, mask);
    }
    event_copy_actions(kCopyTables, src, mask);
    store_batch.commit();

    event_log_mask(MOTION_LOG_SUB, MOTION_LOG_PARAM, mask);
    cgi_notify(REQ_CAM_MOTION_BATCH, &batch, sizeof batch);
    event_notify_mask(REQ_MOTION_COPIED, mask);
    cgi_notify(REQ_CAM_MOTION_MODE, &mode, sizeof mode);
    if (enable_qx == 1)
        cgi_notify(REQ_CAM_MOTION_BATCH_SCHEDULE, &sched, sizeof sched);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}
