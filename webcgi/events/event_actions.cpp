#include "events/event_actions.h"

#include <cstring>

#include "outside/qxdb.h"
#include "outside/qxdb_store.h"
#include "web_utils/codec_util.h"
#include "web_utils/event_codecs.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/req_parse.h"
#include "web_utils/schedule_codec.h"

namespace {

// Copies a text into a field given by offset and size: cut, NUL-terminated.
void put_text(char *field, uint32_t size, const char *text)
{
    size_t n = text ? strnlen(text, size - 1) : 0;
    memcpy(field, text ? text : "", n);
    field[n] = '\0';
}

} // namespace

// ---- Channels ------------------------------------------------------------------

bool event_json_channel(json_object *obj, const char *key, int32_t *chn)
{
    // A number, or a text holding a whole number; json-c would read any
    // other value as 0 and so pick channel 0 by accident.
    int32_t n = 0;
    if (!chn || cgi_json_whole_int(obj, key, &n) != 1 || n < 0 || n > EVENT_MAX_CHANNEL)
        return false;
    *chn = n;
    return true;
}

uint32_t event_channel_mask32(const char *text)
{
    uint32_t mask = 0;
    if (!text)
        return 0;
    for (int i = 0; i < 32 && text[i]; i++)
        if (text[i] == '1')
            mask |= 1u << i;
    return mask;
}

void event_set_channel_text(char (&field)[EVENT_CHANNEL_TEXT], uint32_t *mask, const char *text)
{
    copy_text(field, text);
    if (mask)
        *mask = event_channel_mask32(field);
}

int32_t event_mask_channels(uint64_t mask, int32_t *ids, int32_t cap)
{
    int32_t n = 0;
    for (int32_t chn = 0; chn < QXDB_MAX_CHANNELS && n < cap; chn++)
        if (mask & (1ull << chn))
            ids[n++] = chn;
    return n;
}

// ---- Action fields -------------------------------------------------------------

int event_apply_fields(json_object *req, const EventField *rows, int n, void *record, size_t record_size)
{
    if (!req || !rows || !record)
        return 0;
    char *base = static_cast<char *>(record);
    int changed = 0;
    for (int i = 0; i < n; i++) {
        const EventField &f = rows[i];
        json_object *v = codec::member(req, f.key);
        if (!v || f.offset + f.size > record_size)
            continue;
        switch (f.type) {
        case EVENT_FIELD_INT: {
            int32_t x = json_object_get_int(v);
            memcpy(base + f.offset, &x, sizeof x);
            break;
        }
        case EVENT_FIELD_TEXT:
            put_text(base + f.offset, f.size, json_object_get_string(v));
            break;
        case EVENT_FIELD_CHANNELS: {
            if (f.mask_offset + sizeof(uint32_t) > record_size)
                continue;
            put_text(base + f.offset, f.size, json_object_get_string(v));
            uint32_t mask = event_channel_mask32(base + f.offset);
            memcpy(base + f.mask_offset, &mask, sizeof mask);
            break;
        }
        }
        changed++;
    }
    return changed;
}

int event_apply_alarmouts(int32_t chn, json_object *req, const char *name, char (&first)[65], char (&second)[65])
{
    // Start from the stored texts: an item the page leaves out keeps its value.
    AlarmOutTrigger entries[2];
    memset(entries, 0, sizeof entries);
    copy_text(entries[0].text, first);
    copy_text(entries[1].text, second);
    if (get_event_chn_alarmout_by_object(chn, req, name, entries) != 0)
        return 0;
    copy_text(first, entries[0].text);
    copy_text(second, entries[1].text);
    return 1;
}

// ---- Schedules -----------------------------------------------------------------

int event_read_schedule(const EventSchedule &s, int32_t chn, ScheduleRecord *rec)
{
    if (s.table)
        return s.table_read ? s.table_read(CONFIG_DB_PATH, s.table, rec, chn) : -1;
    return s.read ? s.read(CONFIG_DB_PATH, rec, chn) : -1;
}

int event_write_schedule(const EventSchedule &s, int32_t chn, const ScheduleRecord *rec)
{
    if (s.table)
        return s.table_write ? s.table_write(CONFIG_DB_PATH, s.table, rec, chn) : -1;
    return s.write ? s.write(CONFIG_DB_PATH, rec, chn) : -1;
}

json_object *event_schedule_json(const EventSchedule &s, int32_t chn)
{
    static ScheduleRecord rec;   // 26 KB: kept off the stack
    if (event_read_schedule(s, chn, &rec) != 0)
        memset(&rec, 0, sizeof rec);
    return get_schedule_json_object(&rec);
}

int event_save_schedule(const EventSchedule &s, json_object *req, const char *member, int32_t chn)
{
    static ScheduleRecord rec;
    if (get_schedule_by_json(req, member ? member : s.key, &rec) != 0)
        return 0;
    return event_write_schedule(s, chn, &rec) == 0 ? 1 : 0;
}

int event_save_schedules(const EventSchedule *list, int n, json_object *req, int32_t chn)
{
    int written = 0;
    for (int i = 0; list && i < n; i++)
        written += event_save_schedule(list[i], req, nullptr, chn);
    return written;
}

void event_copy_schedule(const EventSchedule &s, int32_t src, uint64_t mask)
{
    static ScheduleRecord rec;
    if (event_read_schedule(s, src, &rec) != 0)
        return;
    if (s.table) {
        if (s.table_copy)
            s.table_copy(CONFIG_DB_PATH, s.table, &rec, mask);
    } else if (s.copy) {
        s.copy(CONFIG_DB_PATH, &rec, mask);
    }
}

void event_copy_schedules(const EventSchedule *list, int n, int32_t src, uint64_t mask)
{
    for (int i = 0; list && i < n; i++)
        event_copy_schedule(list[i], src, mask);
}

// ---- White-LED, HTTP-notification and PTZ actions ------------------------------

int event_save_whiteled(int32_t chn, json_object *req, const char *member, const char *table)
{
    WhiteLedParams p;
    if (get_white_params_by_json(chn, &p, req, member) != 0)
        return 0;
    return write_whiteled_params_all(CONFIG_DB_PATH, table, chn, &p) == 0 ? 1 : 0;
}

int event_save_http(int32_t chn, json_object *req, const char *member, const char *table)
{
    HttpNotificationParams p;
    if (get_http_params_by_json(chn, &p, req, member) != 0)
        return 0;
    return write_http_notification_params(CONFIG_DB_PATH, table, &p) == 0 ? 1 : 0;
}

void event_copy_whiteled(int32_t src, uint64_t mask, const char *table)
{
    WhiteLedParams p;
    int32_t count = 0;
    if (read_whiteled_params(CONFIG_DB_PATH, table, src, &p, &count) == 0)
        copy_whiteled_params(CONFIG_DB_PATH, table, &p, mask);
}

void event_copy_http(int32_t src, uint64_t mask, const char *table)
{
    HttpNotificationParams p;
    if (read_http_notification_params(CONFIG_DB_PATH, table, &p, src) == 0)
        copy_http_notification_params(CONFIG_DB_PATH, table, &p, mask);
}

void event_copy_ptz(int32_t kind, int32_t src, uint64_t mask)
{
    PtzActionRecord r;
    int32_t count = 0;
    if (read_ptz_params(CONFIG_DB_PATH, &r, kind, src, &count) == 0)
        copy_ptz_params_all(CONFIG_DB_PATH, &r, kind, mask);
}

void event_copy_actions(const EventActionTables &t, int32_t src, uint64_t mask)
{
    // One transaction for the whole copy: a copy to 63 channels writes
    // megabytes, and one commit syncs the flash once instead of per table.
    qxdb::Batch batch(CONFIG_DB_PATH);
    event_copy_schedules(t.schedules, t.schedule_count, src, mask);
    if (t.whiteled_params)
        event_copy_whiteled(src, mask, t.whiteled_params);
    if (t.http_params)
        event_copy_http(src, mask, t.http_params);
    if (t.ptz_kind >= 0)
        event_copy_ptz(t.ptz_kind, src, mask);
    batch.commit();
}

// ---- Notices and operation log ---------------------------------------------------

void event_notify_channel(int32_t code, int32_t chn)
{
    cgi_notify(code, &chn, sizeof chn);
}

void event_notify_mask(int32_t code, uint64_t mask)
{
    cgi_notify(code, &mask, sizeof mask);
}

void event_log_channel(int64_t sub_type, int32_t param, int32_t chn)
{
    cgi_log_operation(OPLOG_MAIN_OPERATION, sub_type, param, chn + 1);
}

void event_log_mask(int64_t sub_type, int32_t param, uint64_t mask)
{
    OpLogMaskRecord rec;
    memset(&rec, 0, sizeof rec);
    cgi_init_log_info(&rec.log);
    rec.log.sub_type = sub_type;
    rec.log.param = param;
    rec.mask = mask;
    cgi_notify(CGI_REQ_OPLOG_MASK, &rec, sizeof rec);
}
