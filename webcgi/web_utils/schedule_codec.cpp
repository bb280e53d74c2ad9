#include "web_utils/schedule_codec.h"

#include <cstring>

#include "web_utils/codec_util.h"

namespace {

json_object *build(const ScheduleRecord *s, bool ipc)
{
    if (!s)
        return nullptr;
    json_object *days = json_object_new_array();
    for (int d = 0; d < SCHEDULE_DAYS; d++) {
        const ScheduleDay &day = s->day[d];
        bool empty = ipc && day.valid == 0;
        json_object *segs = json_object_new_array();
        for (int g = 0; g < SCHEDULE_PAGE_SEGMENTS; g++) {
            const ScheduleSegment &seg = day.seg[g];
            json_object *o = json_object_new_object();
            json_object_object_add(o, "startTime", empty ? json_object_new_string("") : codec::field_string(seg.start_time));
            json_object_object_add(o, "endTime", empty ? json_object_new_string("") : codec::field_string(seg.end_time));
            json_object_object_add(o, "actionType", json_object_new_int(empty ? 0 : seg.action_type));
            json_object_array_add(segs, o);
        }
        json_object_array_add(days, segs);
    }
    return days;
}

int parse(json_object *req, const char *name, ScheduleRecord *s, bool ipc)
{
    if (!req || !name || !s)
        return -1;
    json_object *days = codec::member(req, name);
    // A member that is not an array is refused rather than read as an empty
    // week, which would wipe the stored schedule.
    if (!codec::is_array(days))
        return -1;
    memset(s, 0, sizeof *s);
    size_t ndays = codec::bounded_length(days, SCHEDULE_DAYS);
    for (size_t d = 0; d < ndays; d++) {
        json_object *day = json_object_array_get_idx(days, d);
        if (!codec::is_array(day))
            continue;
        size_t nsegs = codec::bounded_length(day, SCHEDULE_PAGE_SEGMENTS);
        for (size_t g = 0; g < nsegs; g++) {
            json_object *item = json_object_array_get_idx(day, g);
            if (!codec::is_array(item))
                continue;
            ScheduleSegment &seg = s->day[d].seg[g];
            size_t n = json_object_array_length(item);
            if (n > 0)
                copy_text(seg.start_time, json_object_get_string(json_object_array_get_idx(item, 0)));
            if (n > 1)
                copy_text(seg.end_time, json_object_get_string(json_object_array_get_idx(item, 1)));
            if (n > 2)
                seg.action_type = json_object_get_int(json_object_array_get_idx(item, 2));
        }
    }
    if (ipc)
        for (ScheduleDay &day : s->day)
            day.valid = 1;
    return 0;
}

} // namespace

json_object *get_schedule_json_object(const ScheduleRecord *s)
{
    return build(s, false);
}

json_object *get_schedule_json_object_ex(const ScheduleRecord *s)
{
    return build(s, false);
}

json_object *get_schedule_json_object_ipc(const ScheduleRecord *s)
{
    return build(s, true);
}

int get_schedule_by_json(json_object *req, const char *name, ScheduleRecord *s)
{
    return parse(req, name, s, false);
}

int get_schedule_by_json_ex(json_object *req, const char *name, ScheduleRecord *s)
{
    return parse(req, name, s, false);
}

int get_schedule_by_json_ipc(json_object *req, const char *name, ScheduleRecord *s)
{
    return parse(req, name, s, true);
}
