// Motion detection: action tables, camera records and helpers shared by the
// motion handler files.
#include <cstring>

#include "OnVideo/motion.h"
#include "outside/qxdb.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"

const char *const kMotionWhiteLedSchedule = "motion_whiteled_esche";
const char *const kMotionWhiteLedParams = "motion_white_led_params";
const char *const kMotionHttpSchedule = "motion_http_notification_sche";
const char *const kMotionHttpParams = "motion_http_notification_params";

const EventSchedule kMotionEffective = event_own_schedule(
    "effective", read_motion_effective_schedule, write_motion_effective_schedule, copy_motion_effective_schedules);
const EventSchedule kMotionAudible = event_own_schedule(
    "audible", read_motion_audible_schedule, write_motion_audible_schedule, copy_motion_audible_schedules);
const EventSchedule kMotionEmail = event_own_schedule(
    "email", read_motion_email_schedule, write_motion_email_schedule, copy_motion_email_schedules);
const EventSchedule kMotionPtz =
    event_own_schedule("ptz", read_motion_ptz_schedule, write_motion_ptz_schedule, copy_motion_ptz_schedules);
const EventSchedule kMotionWhite =
    event_table_schedule("white", kMotionWhiteLedSchedule, read_whiteled_effective_schedule,
                         write_whiteled_effective_schedule, copy_whiteled_effective_schedules);
const EventSchedule kMotionHttp =
    event_table_schedule("httpSche", kMotionHttpSchedule, read_http_notification_schedule,
                         write_http_notification_schedule, copy_http_notification_schedules);
const EventSchedule kMotionPlain = event_own_schedule("schedule", read_motion_schedule, write_motion_schedule, nullptr);

void cam_motion_full_day(CamMotionScheduleRecord *rec, int32_t chnid)
{
    memset(rec, 0, sizeof *rec);
    rec->chnid = chnid;
    for (int32_t d = 0; d < CAM_MOTION_DAYS; d++) {
        CamMotionDay &day = rec->day[d];
        day.day = d;
        day.enable = 1;
        for (int s = 0; s < CAM_MOTION_FULL_DAY_SLOTS; s++) {
            day.slot[s].end_hour = 24;
            day.slot[s].end_minute = 0;
        }
    }
}

void cam_motion_lay_channels(CamMotionScheduleRecord *rec, const int32_t *ids, int32_t count)
{
    if (count < 0)
        count = 0;
    if (count > QXDB_MAX_CHANNELS)
        count = QXDB_MAX_CHANNELS;
    char *base = reinterpret_cast<char *>(rec);
    int32_t list[QXDB_MAX_CHANNELS];
    memset(list, 0, sizeof list);
    if (count > 0)
        memcpy(list, ids, sizeof(int32_t) * static_cast<size_t>(count));
    memcpy(base + CAM_SCHEDULE_IDS_OFFSET, list, sizeof list);
    memcpy(base + CAM_SCHEDULE_COUNT_OFFSET, &count, sizeof count);
}

void motion_send_camera_mode(int32_t chn, int32_t enable_qx)
{
    CamMotionModeRecord mode;
    memset(&mode, 0, sizeof mode);
    mode.chnid = chn;
    mode.mode = enable_qx == 1 ? 1 : 0;
    cgi_notify(REQ_CAM_MOTION_MODE, &mode, sizeof mode);
    if (enable_qx == 1) {
        CamMotionScheduleRecord sched;
        cam_motion_full_day(&sched, chn);
        cgi_notify(REQ_CAM_MOTION_SCHEDULE, &sched, sizeof sched);
    }
}

bool motion_read(int32_t chn, MotionRecord *rec)
{
    memset(rec, 0, sizeof *rec);
    return read_motion(CONFIG_DB_PATH, rec, chn) == 0;
}

void motion_log(int32_t chn)
{
    event_log_channel(MOTION_LOG_SUB, MOTION_LOG_PARAM, chn);
}

MotionJson::MotionJson(const char *text) : obj(get_request_tokener_json_object(text))
{
    if (obj && !json_object_is_type(obj, json_type_object)) {
        json_object_put(obj);
        obj = nullptr;
    }
}

MotionJson::~MotionJson()
{
    if (obj)
        json_object_put(obj);
}
