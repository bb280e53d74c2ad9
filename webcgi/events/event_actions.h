// The event-action model shared by every event kind of the video and event
// pages (motion, video loss, alarm inputs, smart analytics, licence plates,
// people counting): channel strings in event records, the action fields an
// action object changes, the weekly action schedules, the white-LED,
// HTTP-notification and PTZ action tables, copying all of it to other
// channels, and the notices and operation-log entries that follow a change.
//
// Each event kind describes its own pieces with the tables below (which
// JSON key goes to which record field, which store calls keep which
// schedule) and calls these functions with them. All store calls use
// CONFIG_DB_PATH.
#pragma once

#include <cstddef>
#include <cstdint>

#include <json-c/json.h>

#include "outside/qxdb_records.h"
#include "web_utils/oplog.h"

enum {
    EVENT_MAX_CHANNEL = QXDB_MAX_CHANNELS - 1,
    EVENT_CHANNEL_TEXT = 65,          // channel string field: 64 characters + NUL
    CGI_REQ_OPLOG_MASK = 3509,        // operation log for a set of channels
};

// ---- Channels ------------------------------------------------------------------

// A member that names a channel: true only when it is present, is a number
// or a text holding a whole number, and lies in 0 to 63.
bool event_json_channel(json_object *obj, const char *key, int32_t *chn);

// Mask of channels 0-31 of a channel string ("0"/"1" per channel): bit i is
// set when character i is "1". Characters from 32 on do not reach the mask.
uint32_t event_channel_mask32(const char *text);

// Stores a channel string (cut to 64 characters) and rebuilds the record's
// 32-bit mask from it; `mask` may be nullptr for fields without one.
void event_set_channel_text(char (&field)[EVENT_CHANNEL_TEXT], uint32_t *mask, const char *text);

// Channel ids of the mask in ascending order, at most `cap`; returns the number.
int32_t event_mask_channels(uint64_t mask, int32_t *ids, int32_t cap);

// ---- Action fields of an event record -----------------------------------------
// One row per JSON key an action object may carry: the record field it
// replaces when present. A "channels" field is a channel string whose 32-bit
// mask (at mask_offset) is rebuilt with it.

enum EventFieldType { EVENT_FIELD_INT, EVENT_FIELD_TEXT, EVENT_FIELD_CHANNELS };

struct EventField {
    const char *key;
    EventFieldType type;
    uint32_t offset;
    uint32_t size;
    uint32_t mask_offset;
};

namespace event_detail {
template <bool ok>
constexpr uint32_t checked(size_t v)
{
    static_assert(ok, "event field has the wrong type for its row");
    return static_cast<uint32_t>(v);
}
} // namespace event_detail

#define EVENT_INT(R, member, key) \
    EventField{key, EVENT_FIELD_INT, event_detail::checked<sizeof(R::member) == 4>(offsetof(R, member)), 4, 0}
#define EVENT_TEXT(R, member, key)                                                                        \
    EventField{key, EVENT_FIELD_TEXT, event_detail::checked<(sizeof(R::member) > 1)>(offsetof(R, member)), \
               static_cast<uint32_t>(sizeof(R::member)), 0}
#define EVENT_CHANNELS(R, member, mask_member, key)                                                   \
    EventField{key, EVENT_FIELD_CHANNELS,                                                             \
               event_detail::checked<sizeof(R::member) == EVENT_CHANNEL_TEXT>(offsetof(R, member)),   \
               EVENT_CHANNEL_TEXT, event_detail::checked<sizeof(R::mask_member) == 4>(offsetof(R, mask_member))}

// Replaces the field of every row whose key the object holds; returns how
// many fields were replaced. Rows that do not fit the record are skipped.
int event_apply_fields(json_object *req, const EventField *rows, int n, void *record, size_t record_size);

template <typename R, int N>
inline int event_apply_fields(json_object *req, const EventField (&rows)[N], R *record)
{
    return event_apply_fields(req, rows, N, record, sizeof(R));
}

// The two camera alarm-output strings of an event record from the action
// object's member (normally "triChnAlarms"). An item the array lacks keeps
// its stored text. Returns 1 when the member was there, else 0.
int event_apply_alarmouts(int32_t chn, json_object *req, const char *name, char (&first)[65], char (&second)[65]);

// ---- Weekly action schedules ---------------------------------------------------
// A schedule kept either in a table of the event kind's own (read/write/copy
// by channel) or in a table shared by the event kinds, named by `table`.

typedef int32_t (*ScheduleRead)(const char *path, ScheduleRecord *s, int32_t chn);
typedef int32_t (*ScheduleWrite)(const char *path, const ScheduleRecord *s, int32_t chn);
typedef int32_t (*ScheduleCopy)(const char *path, const ScheduleRecord *s, uint64_t mask);
typedef int32_t (*TableScheduleRead)(const char *path, const char *table, ScheduleRecord *s, int32_t chn);
typedef int32_t (*TableScheduleWrite)(const char *path, const char *table, const ScheduleRecord *s, int32_t chn);
typedef int32_t (*TableScheduleCopy)(const char *path, const char *table, const ScheduleRecord *s, uint64_t mask);

struct EventSchedule {
    const char *key;           // member of action objects and answers
    const char *table;         // shared table, or nullptr for the calls below
    ScheduleRead read;
    ScheduleWrite write;
    ScheduleCopy copy;
    TableScheduleRead table_read;
    TableScheduleWrite table_write;
    TableScheduleCopy table_copy;
};

constexpr EventSchedule event_own_schedule(const char *key, ScheduleRead r, ScheduleWrite w, ScheduleCopy c)
{
    return EventSchedule{key, nullptr, r, w, c, nullptr, nullptr, nullptr};
}

constexpr EventSchedule event_table_schedule(const char *key, const char *table, TableScheduleRead r,
                                             TableScheduleWrite w, TableScheduleCopy c)
{
    return EventSchedule{key, table, nullptr, nullptr, nullptr, r, w, c};
}

int event_read_schedule(const EventSchedule &s, int32_t chn, ScheduleRecord *rec);
int event_write_schedule(const EventSchedule &s, int32_t chn, const ScheduleRecord *rec);

// The stored schedule as the pages' JSON (8 days of 12 segments).
json_object *event_schedule_json(const EventSchedule &s, int32_t chn);

// Reads the member (`member`, or the schedule's own key when nullptr) and
// writes the schedule: slots 12-47 are cleared. A member that is missing or
// not an array leaves the stored schedule as it is. 1 when written, else 0.
int event_save_schedule(const EventSchedule &s, json_object *req, const char *member, int32_t chn);

// event_save_schedule for each schedule of the list, under its own key;
// returns the number written.
int event_save_schedules(const EventSchedule *list, int n, json_object *req, int32_t chn);
template <int N>
inline int event_save_schedules(const EventSchedule (&list)[N], json_object *req, int32_t chn)
{
    return event_save_schedules(list, N, req, chn);
}

// Copies the source channel's schedule to the channels of the mask; nothing
// is copied when the source could not be read.
void event_copy_schedule(const EventSchedule &s, int32_t src, uint64_t mask);
void event_copy_schedules(const EventSchedule *list, int n, int32_t src, uint64_t mask);

// ---- White-LED, HTTP-notification and PTZ actions ------------------------------

// The member ("whiteInfo") into the channel's 8 entries of the table. 1 when written.
int event_save_whiteled(int32_t chn, json_object *req, const char *member, const char *table);
// The member ("httpParams") into the channel's record of the table. 1 when written.
int event_save_http(int32_t chn, json_object *req, const char *member, const char *table);

void event_copy_whiteled(int32_t src, uint64_t mask, const char *table);
void event_copy_http(int32_t src, uint64_t mask, const char *table);
// The PTZ action list of event kind `kind` for the source event number.
void event_copy_ptz(int32_t kind, int32_t src, uint64_t mask);

// ---- Copy to other channels ------------------------------------------------------
// Everything an event kind keeps besides its own record, by table.

struct EventActionTables {
    const EventSchedule *schedules;   // the kind's schedules, shared tables included
    int schedule_count;
    const char *whiteled_params;      // nullptr when the kind has no such table
    const char *http_params;
    int32_t ptz_kind;                 // -1 when the kind has no PTZ actions
};

// Copies every schedule and action table of the source channel to the mask.
void event_copy_actions(const EventActionTables &t, int32_t src, uint64_t mask);

// ---- Notices and operation log ---------------------------------------------------

// No-wait notice naming one channel (4-byte id) or a set (8-byte mask).
void event_notify_channel(int32_t code, int32_t chn);
void event_notify_mask(int32_t code, uint64_t mask);

// Operation-log record for a set of channels: the common record followed
// by the channel mask (request 3509, no wait). The record's own channel
// field stays as cgi_init_log_info leaves it.
struct OpLogMaskRecord {
    OpLogRecord log;
    uint64_t mask;
};
RECORD_SIZE(OpLogMaskRecord, 680);
RECORD_OFFSET(OpLogMaskRecord, mask, 672);

// Operation log of one channel (one-based number chn + 1 in the record).
void event_log_channel(int64_t sub_type, int32_t param, int32_t chn);
// Operation log of the channels of a mask (request 3509).
void event_log_mask(int64_t sub_type, int32_t param, uint64_t mask);
