#include "web_utils/event_codecs.h"

#include <cstring>

#include "outside/qxdb.h"
#include "web_utils/codec_util.h"

namespace {

constexpr size_t kAlarmOutText = 65;

json_object *text_of(const char *text, size_t field)
{
    return json_object_new_string_len(text ? text : "", text ? static_cast<int>(strnlen(text, field)) : 0);
}

// An item counts as a channel only when it is a number, or a text that is
// a whole number; json-c would turn any other text into 0 and so copy to
// channel 0 by accident.
bool channel_item(json_object *item, int *chn)
{
    if (!item)
        return false;
    switch (json_object_get_type(item)) {
    case json_type_int:
        break;
    case json_type_string: {
        const char *s = json_object_get_string(item);
        if (!*s)
            return false;
        for (const char *p = *s == '-' ? s + 1 : s; *p; p++)
            if (*p < '0' || *p > '9')
                return false;
        break;
    }
    default:
        return false;
    }
    int64_t v = json_object_get_int64(item);
    if (v < 0 || v > 63)
        return false;
    *chn = static_cast<int>(v);
    return true;
}

json_object *white_array(const WhiteLedParams &p, int32_t count)
{
    json_object *arr = json_object_new_array();
    if (count > WHITELED_ENTRIES)
        count = WHITELED_ENTRIES;
    for (int32_t i = 0; i < count; i++) {
        json_object *o = json_object_new_object();
        json_object_object_add(o, "chnid", json_object_new_int(p.entry[i].chnid));
        json_object_object_add(o, "mode", json_object_new_int(p.entry[i].mode));
        json_object_object_add(o, "time", json_object_new_int(p.entry[i].time));
        json_object_array_add(arr, o);
    }
    return arr;
}

int white_by_json(int chn, WhiteLedParams *params, json_object *req, const char *name)
{
    if (!params || !req || !name)
        return -1;
    json_object *items = codec::member(req, name);
    if (!codec::is_array(items))
        return -1;
    memset(params, 0, sizeof *params);
    // The form is chosen once for the whole member, as the pages send
    // either objects or [chnid, mode, time] arrays.
    const char *text = json_object_to_json_string(items);
    bool objects = text && strstr(text, "chnid");
    size_t n = codec::bounded_length(items, WHITELED_ENTRIES);
    for (size_t i = 0; i < n; i++) {
        json_object *item = json_object_array_get_idx(items, i);
        if (!item)
            break;
        WhiteLedEntry &e = params->entry[i];
        e.owner = chn;
        if (objects) {
            e.chnid = codec::member_int(item, "chnid");
            e.mode = codec::member_int(item, "mode");
            e.time = codec::member_int(item, "time");
        } else if (codec::is_array(item)) {
            size_t k = json_object_array_length(item);
            e.chnid = k > 0 ? json_object_get_int(json_object_array_get_idx(item, 0)) : 0;
            e.mode = k > 1 ? json_object_get_int(json_object_array_get_idx(item, 1)) : 0;
            e.time = k > 2 ? json_object_get_int(json_object_array_get_idx(item, 2)) : 0;
        }
    }
    return 0;
}

json_object *ptz_array(const PtzActionEntry *entries, int32_t count)
{
    json_object *arr = json_object_new_array();
    for (int32_t i = 0; i < count; i++) {
        const PtzActionEntry &e = entries[i];
        if (e.acto_ptz_channel <= 0)
            continue;
        json_object *o = json_object_new_object();
        json_object_object_add(o, "acto_ptz_channel", json_object_new_int(e.acto_ptz_channel));
        json_object_object_add(o, "acto_ptz_type", json_object_new_int(e.acto_ptz_type));
        json_object_object_add(o, "acto_ptz_preset", json_object_new_int(e.acto_ptz_preset));
        json_object_object_add(o, "acto_ptz_patrol", json_object_new_int(e.acto_ptz_patrol));
        json_object_array_add(arr, o);
    }
    return arr;
}

} // namespace

uint64_t get_copy_flag_by_json(json_object *req, const char *array_name, const char *count_name)
{
    if (!req || !array_name || !count_name)
        return 0;
    json_object *count = codec::member(req, count_name);
    if (!count)
        return 0;
    int n = json_object_get_int(count);
    json_object *items = codec::member(req, array_name);
    if (n <= 0 || !codec::is_array(items))
        return 0;
    uint64_t mask = 0;
    size_t len = codec::bounded_length(items, static_cast<size_t>(n));
    for (size_t i = 0; i < len; i++) {
        int chn = 0;
        if (channel_item(json_object_array_get_idx(items, i), &chn))
            mask |= 1ull << chn;
    }
    return mask;
}

json_object *get_event_chn_alarmout_object(const char *first, const char *second)
{
    json_object *arr = json_object_new_array();
    json_object_array_add(arr, text_of(first, kAlarmOutText));
    json_object_array_add(arr, text_of(second, kAlarmOutText));
    return arr;
}

int get_event_chn_alarmout_by_object(int chn, json_object *req, const char *name, AlarmOutTrigger entries[2])
{
    if (!req || !name || !entries)
        return -1;
    json_object *items = codec::member(req, name);
    if (!codec::is_array(items))
        return -1;
    size_t n = codec::bounded_length(items, 2);
    for (size_t i = 0; i < n; i++) {
        json_object *item = json_object_array_get_idx(items, i);
        if (!item)
            continue;
        entries[i].channel = chn;
        entries[i].index = static_cast<int32_t>(i);
        copy_text(entries[i].text, json_object_get_string(item));
    }
    return 0;
}

json_object *get_white_params_json_object(int chn, const char *table)
{
    WhiteLedParams p;
    int32_t count = 0;
    if (read_whiteled_params(CONFIG_DB_PATH, table, chn, &p, &count) != 0)
        count = 0;
    return white_array(p, count);
}

int get_white_params_by_json(int chn, WhiteLedParams *params, json_object *req, const char *name)
{
    return white_by_json(chn, params, req, name);
}

json_object *get_pcnt_white_params_json_object(int group)
{
    WhiteLedParams p;
    int32_t count = 0;
    if (read_peoplecnt_wled_params(CONFIG_DB_PATH, group, &p, &count) != 0)
        count = 0;
    return white_array(p, count);
}

int get_pcnt_white_params_by_json(int group, WhiteLedParams *params, json_object *req, const char *name)
{
    return white_by_json(group, params, req, name);
}

json_object *get_http_params_json_object(int chn, const char *table)
{
    HttpNotificationParams p;
    read_http_notification_params(CONFIG_DB_PATH, table, &p, chn);
    json_object *o = json_object_new_object();
    json_object_object_add(o, "chnId", json_object_new_int(chn));
    json_object_object_add(o, "url", codec::field_string(p.url));
    json_object_object_add(o, "username", codec::field_string(p.username));
    json_object_object_add(o, "password", codec::field_string(p.password));
    return o;
}

int get_http_params_by_json(int chn, HttpNotificationParams *params, json_object *req, const char *name)
{
    if (!params || !req || !name)
        return -1;
    json_object *o = codec::member(req, name);
    if (!codec::is_object(o))
        return -1;
    memset(params, 0, sizeof *params);
    params->channel = chn;
    // Stored exactly as sent: a URL-encoded path keeps its percent signs.
    copy_text(params->url, json_object_get_string(codec::member(o, "url")));
    copy_text(params->username, json_object_get_string(codec::member(o, "username")));
    copy_text(params->password, json_object_get_string(codec::member(o, "password")));
    return 0;
}

json_object *get_ptz_params_json_object(int kind, int event)
{
    int32_t count = 0;
    if (kind == QXDB_PTZ_KIND_PEOPLECNT) {
        PeoplecntPtzRecord r;
        if (read_peoplecnt_ptz_params(CONFIG_DB_PATH, &r, event, &count) != 0)
            count = 0;
        return ptz_array(r.entry, count < PTZ_PEOPLECNT_ENTRIES ? count : PTZ_PEOPLECNT_ENTRIES);
    }
    PtzActionRecord r;
    if (read_ptz_params(CONFIG_DB_PATH, &r, kind, event, &count) != 0)
        count = 0;
    return ptz_array(r.entry, count < PTZ_ACTION_ENTRIES ? count : PTZ_ACTION_ENTRIES);
}

int get_ptz_params_by_json(int event, int kind, json_object *array, PtzActionRecord *record)
{
    (void)kind;    // the kind selects the store table, not the entries
    if (event < 0 || event > 7 || !codec::is_array(array) || !record)
        return -1;
    memset(record, 0, sizeof *record);
    size_t n = codec::bounded_length(array, PTZ_ACTION_ENTRIES);
    for (size_t i = 0; i < n; i++) {
        json_object *item = json_object_array_get_idx(array, i);
        PtzActionEntry &e = record->entry[i];
        e.chn_id = event;
        e.acto_ptz_channel = codec::member_int(item, "acto_ptz_channel");
        e.acto_ptz_type = codec::member_int(item, "acto_ptz_type");
        e.acto_ptz_preset = codec::member_int(item, "acto_ptz_preset");
        e.acto_ptz_patrol = codec::member_int(item, "acto_ptz_patrol");
        e.acto_ptz_pattern = codec::member_int(item, "acto_ptz_pattern");
    }
    return 0;
}

int set_ptz_params_by_json(int event, int kind, json_object *array)
{
    if (!array)
        return 0;
    PtzActionRecord r;
    if (get_ptz_params_by_json(event, kind, array, &r) != 0)
        return 0;
    int rc = kind == QXDB_PTZ_KIND_PEOPLECNT ? write_peoplecnt_ptz_params_ex(CONFIG_DB_PATH, &r, event)
                                             : write_ptz_params_all(CONFIG_DB_PATH, &r, kind, event);
    return rc == 0 ? 1 : 0;
}

uint32_t get_audio_file_id_mask()
{
    AlarmAudioFile files[QXDB_MAX_AUDIO_FILES];
    int32_t count = 0;
    if (read_alarm_audio_file(CONFIG_DB_PATH, files, &count) != 0)
        return 0;
    uint32_t mask = 0;
    for (int32_t i = 0; i < count && i < QXDB_MAX_AUDIO_FILES; i++)
        if (files[i].enable == 1)
            mask |= 1u << i;
    return mask;
}
