// JSON forms of the event actions the settings pages share: copy targets,
// camera alarm outputs, white-LED, HTTP-notification and PTZ actions, and
// the alarm audio file mask. "json_object" calls return a new JSON value
// for the caller to add under its own key; "by_json" calls read one member
// of a request object into a record. The store calls use CONFIG_DB_PATH.
#pragma once

#include <cstdint>

#include <json-c/json.h>

#include "outside/qxdb_records.h"
#include "web_utils/schedule_codec.h"

// Channel copy mask (bit i = channel i) from "copyChn" / "copyCnt": the
// first `count` items of the array whose integer value is 0 to 63. 0 when
// an argument or the count is missing or the count is 0 or less.
uint64_t get_copy_flag_by_json(json_object *req, const char *array_name, const char *count_name);

// ["first", "second"]: the two camera alarm-output strings (65-byte fields).
json_object *get_event_chn_alarmout_object(const char *first, const char *second);
// Fills entry 0 and 1 from items 0 and 1 of the member's array (texts cut
// to 64 characters). 0, or -1 when an argument or the array is missing.
int get_event_chn_alarmout_by_object(int chn, json_object *req, const char *name, AlarmOutTrigger entries[2]);

// White-LED actions of a channel, "whiteInfo": [{"chnid", "mode", "time"}, ...].
json_object *get_white_params_json_object(int chn, const char *table);
// Clears the 8 entries and reads at most 8 items, as objects when the
// member's text contains "chnid", else as [chnid, mode, time] arrays.
int get_white_params_by_json(int chn, WhiteLedParams *params, json_object *req, const char *name);
json_object *get_pcnt_white_params_json_object(int group);
int get_pcnt_white_params_by_json(int group, WhiteLedParams *params, json_object *req, const char *name);

// HTTP notification, "httpParams": {"chnId", "url", "username", "password"}.
json_object *get_http_params_json_object(int chn, const char *table);
int get_http_params_by_json(int chn, HttpNotificationParams *params, json_object *req, const char *name);

// PTZ actions, "ptzParams": the entries in use of event `kind` (20: people
// counting) and event number, as {"acto_ptz_channel", "acto_ptz_type",
// "acto_ptz_preset", "acto_ptz_patrol"}.
json_object *get_ptz_params_json_object(int kind, int event);
// Event number 0 to 7; fills the record from the first 64 items. 0 or -1.
int get_ptz_params_by_json(int event, int kind, json_object *array, PtzActionRecord *record);
// Reads and stores the list; 1 when it was stored, else 0 (also for a
// missing array). Callers add the result to their change count.
int set_ptz_params_by_json(int event, int kind, json_object *array);

// Bit i set for every alarm audio file entry i (0 to 9) that holds a file.
uint32_t get_audio_file_id_mask();
