// Motion detection: the records sent to the cameras through the core
// daemon, the motion event's action tables, and helpers shared by the
// motion handler files. Private to webcgi/OnVideo.
#pragma once

#include <cstdint>

#include <json-c/json.h>

#include "events/event_actions.h"
#include "outside/qxdb_records.h"
#include "web_utils/records.h"

enum {
    REQ_MOTION_CHANGED = 1403,        // 4 bytes: channel id
    REQ_MOTION_COPIED = 1410,         // 8 bytes: copy mask
    REQ_CAM_MOTION_GET = 3206,        // 4 bytes: channel id, reply 8206
    REQ_CAM_MOTION_SET = 3207,
    REQ_CAM_MOTION_SCHEDULE = 3209,
    REQ_CAM_MOTION_MODE = 3212,
    REQ_CAM_MOTION_BATCH = 3251,
    REQ_CAM_MOTION_BATCH_SCHEDULE = 3252,
    REPLY_CAM_MOTION = 8206,

    MOTION_PTZ_KIND = 1,              // PTZ action lists of motion events
    MOTION_LOG_SUB = 204,
    MOTION_LOG_PARAM = 909,
    CAM_MOTION_MAP = 300,
    CAM_MOTION_DAYS = 7,
    CAM_MOTION_SLOTS = 8,
    CAM_MOTION_FULL_DAY_SLOTS = 4,
};

// Camera motion record: request 3207, and each record of reply 8206.
struct CamMotionRecord {
    int32_t enable;
    char map[CAM_MOTION_MAP];
    int32_t sensitivity;
    int32_t chnid;
    int32_t result;
    int32_t model_type;
    int32_t fish_display;
    int32_t fish_transfer;
    int32_t fish_install;
};
RECORD_SIZE(CamMotionRecord, 332);
RECORD_OFFSET(CamMotionRecord, map, 4);
RECORD_OFFSET(CamMotionRecord, sensitivity, 304);
RECORD_OFFSET(CamMotionRecord, chnid, 308);
RECORD_OFFSET(CamMotionRecord, result, 312);
RECORD_OFFSET(CamMotionRecord, model_type, 316);
RECORD_OFFSET(CamMotionRecord, fish_display, 320);
RECORD_OFFSET(CamMotionRecord, fish_transfer, 324);
RECORD_OFFSET(CamMotionRecord, fish_install, 328);

// Camera motion mode record (request 3212): one channel, or the source
// channel and the channels it was copied to.
struct CamMotionModeRecord {
    int32_t chnid;
    int32_t mode;                     // 1 camera-side detection, else 0
    int32_t ids[QXDB_MAX_CHANNELS];
    int32_t count;
};
RECORD_SIZE(CamMotionModeRecord, 268);
RECORD_OFFSET(CamMotionModeRecord, mode, 4);
RECORD_OFFSET(CamMotionModeRecord, ids, 8);
RECORD_OFFSET(CamMotionModeRecord, count, 264);

// Camera motion batch record (request 3251): the grid of the source channel
// for the channels it was copied to.
struct CamMotionBatchRecord {
    char map[CAM_MOTION_MAP];
    int32_t sensitivity;
    int32_t chnid;
    int32_t enable_qx;
    int32_t ids[QXDB_MAX_CHANNELS];
    int32_t count;
};
RECORD_SIZE(CamMotionBatchRecord, 572);
RECORD_OFFSET(CamMotionBatchRecord, sensitivity, 300);
RECORD_OFFSET(CamMotionBatchRecord, chnid, 304);
RECORD_OFFSET(CamMotionBatchRecord, enable_qx, 308);
RECORD_OFFSET(CamMotionBatchRecord, ids, 312);
RECORD_OFFSET(CamMotionBatchRecord, count, 568);

// Camera motion schedule (requests 3209 and 3252). Cameras only ever get
// the full-day schedule: slots 0-3 of days 0-6 set to 0:00-24:00.
struct CamMotionSlot {
    int32_t start_hour;
    int32_t start_minute;
    int32_t end_hour;
    int32_t end_minute;
};
RECORD_SIZE(CamMotionSlot, 16);

struct CamMotionDay {
    int32_t day;
    int32_t enable;
    CamMotionSlot slot[CAM_MOTION_SLOTS];
};
RECORD_SIZE(CamMotionDay, 136);

struct CamMotionScheduleRecord {
    int32_t chnid;                    // 0 in the batch form
    int32_t reserved[16];
    CamMotionDay day[CAM_MOTION_DAYS];
    int32_t tail[49];
};
RECORD_SIZE(CamMotionScheduleRecord, 1216);
RECORD_OFFSET(CamMotionScheduleRecord, day, 68);
RECORD_OFFSET(CamMotionScheduleRecord, day[6], 884);
RECORD_OFFSET(CamMotionScheduleRecord, tail, 1020);

// The batch form lays its channel list over the filled days: 64 ids from
// offset 956 (slot 4 of day 6, which the full-day schedule leaves empty)
// and the count at 1212. The cameras read it at these offsets.
enum { CAM_SCHEDULE_IDS_OFFSET = 956, CAM_SCHEDULE_COUNT_OFFSET = 1212 };
static_assert(offsetof(CamMotionScheduleRecord, day[6].slot[CAM_MOTION_FULL_DAY_SLOTS]) == CAM_SCHEDULE_IDS_OFFSET,
              "the channel list starts right after the full-day slots of day 6");
static_assert(CAM_SCHEDULE_IDS_OFFSET + 4 * QXDB_MAX_CHANNELS == CAM_SCHEDULE_COUNT_OFFSET &&
                  CAM_SCHEDULE_COUNT_OFFSET + 4 == sizeof(CamMotionScheduleRecord),
              "the channel list and its count end the record");

// The full-day schedule for the cameras; chnid 0 for the batch form.
void cam_motion_full_day(CamMotionScheduleRecord *rec, int32_t chnid);
// Lays the channel list of the batch form over the record.
void cam_motion_lay_channels(CamMotionScheduleRecord *rec, const int32_t *ids, int32_t count);

// Tells the camera of one channel its motion mode (3212) and, when
// camera-side detection is on, the full-day schedule (3209).
void motion_send_camera_mode(int32_t chn, int32_t enable_qx);

// ---- The motion event's action tables ----------------------------------------

extern const char *const kMotionWhiteLedSchedule;   // "motion_whiteled_esche"
extern const char *const kMotionWhiteLedParams;     // "motion_white_led_params"
extern const char *const kMotionHttpSchedule;       // "motion_http_notification_sche"
extern const char *const kMotionHttpParams;         // "motion_http_notification_params"

extern const EventSchedule kMotionEffective;        // "effective": arming
extern const EventSchedule kMotionAudible;          // "audible": buzzer
extern const EventSchedule kMotionEmail;            // "email"
extern const EventSchedule kMotionPtz;              // "ptz"
extern const EventSchedule kMotionWhite;            // "white"
extern const EventSchedule kMotionHttp;             // "httpSche"
extern const EventSchedule kMotionPlain;            // the schedule of "/6013"

// Reads the channel's motion record; false when the store could not read it.
bool motion_read(int32_t chn, MotionRecord *rec);

// Applies an action object to its channel ("/6117", and the dialog of
// "/6112" with `dialog` set: HTTP notification and PTZ actions too).
// Returns the number of changes.
int motion_apply_actions(int32_t chn, json_object *obj, bool dialog);

// Operation log of a change to one channel.
void motion_log(int32_t chn);

// A parsed request text, released when it goes out of scope; obj is
// nullptr when the text is missing or not JSON, and a JSON value other than
// an object counts as not JSON.
struct MotionJson {
    json_object *obj;
    explicit MotionJson(const char *text);
    ~MotionJson();
    MotionJson(const MotionJson &) = delete;
    MotionJson &operator=(const MotionJson &) = delete;
};
