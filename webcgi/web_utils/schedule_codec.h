// Weekly schedules between the config store record and the pages' JSON.
//
// Pages send a schedule as 8 day arrays of 12 segments, each segment an array
// [start time, end time, action type]; answers carry 8 day arrays of 12
// objects {"startTime", "endTime", "actionType"}. Only the first 12 of the
// 48 segments of a stored day are exchanged.
#pragma once

#include <json-c/json.h>

#include "outside/qxdb_records.h"

// A new JSON array for the record, nullptr when none is given.
json_object *get_schedule_json_object(const ScheduleRecord *s);
json_object *get_schedule_json_object_ex(const ScheduleRecord *s);

// Reads the member `name` of the request object into the record: the whole
// record is cleared, then the days and segments that the member holds are
// filled (a short member is read as far as it goes; items of the wrong kind
// are left empty). Returns 0, or -1 with the record untouched when an
// argument is missing or the member is absent or not an array.
int get_schedule_by_json(json_object *req, const char *name, ScheduleRecord *s);
int get_schedule_by_json_ex(json_object *req, const char *name, ScheduleRecord *s);

// Camera-side form: reading marks every day valid; building answers a day
// that is not valid with empty segments.
json_object *get_schedule_json_object_ipc(const ScheduleRecord *s);
int get_schedule_by_json_ipc(json_object *req, const char *name, ScheduleRecord *s);
