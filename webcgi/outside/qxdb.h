// Config store: the named calls route handlers use.
//
// `path` is a device path (CONFIG_DB_PATH, ANPR_DB_PATH, OEM_DB_PATH); the
// store puts it under NVR_ROOT and makes the file and its tables on first
// use. Every call returns 0 on success and -1 on failure (a refused key, an
// argument missing, a store that cannot be opened).
//
// A read clears the record first; a record that was never written reads as
// zeros (with its key member set to the key asked for). Array reads take the
// room of the caller's array and report how many entries they filled: the
// stored records in key order, so look at the key member inside each.
//
// Record layouts: outside/qxdb_records.h. Generic layer: outside/qxdb_store.h.
#pragma once

#include <cstdint>

#include "outside/qxdb_records.h"

// ---- Named parameters -------------------------------------------------------
// A key written as an integer reads as text and the other way round; a text
// that holds no number reads as the default.
int32_t get_param_int(const char *path, const char *key, int32_t def);
int32_t set_param_int(const char *path, const char *key, int32_t value);
// Copies the value (or the default, "" when none) cut to size-1. -1 when no
// buffer was given.
int32_t get_param_value(const char *path, const char *key, char *buf, int32_t size, const char *def);
int32_t set_param_value(const char *path, const char *key, const char *value);
// 1 when the key is missing (also when the store cannot be read), 0 when present.
int32_t check_param_key(const char *path, const char *key);
// Creates the key with the text; an existing key is left as it is (-1).
int32_t add_param_value(const char *path, const char *key, const char *value);

// Sets one integer column of the records of a table for every channel of the
// mask; `key_column` names the table's key ("id"). Columns are the named
// members of the record type (see qxdb_kinds.cpp).
int32_t copy_table_column_int(const char *path, const char *table, const char *column, int32_t value,
                              uint64_t mask, const char *key_column);

// ---- Disks (slots 0-36) -----------------------------------------------------
int32_t read_disk(const char *path, DiskRecord *disk, int32_t slot);
int32_t read_disks(const char *path, DiskRecord *disks, int32_t capacity, int32_t *count);
template <int N>
inline int32_t read_disks(const char *path, DiskRecord (&disks)[N], int32_t *count)
{
    return read_disks(path, disks, N, count);
}
int32_t write_disk(const char *path, const DiskRecord *disk);

// ---- Cameras (channels 0-63) ------------------------------------------------
int32_t read_camera(const char *path, CameraRecord *camera, int32_t chn);
int32_t read_cameras(const char *path, CameraRecord *cameras, int32_t capacity, int32_t *count);
template <int N>
inline int32_t read_cameras(const char *path, CameraRecord (&cameras)[N], int32_t *count)
{
    return read_cameras(path, cameras, N, count);
}
int32_t write_camera(const char *path, const CameraRecord *camera);
// Sets the address of one channel's camera, the rest of its record kept.
int32_t write_camera_ip(const char *path, int32_t chn, const char *ip);

// Recorder OSD of a channel; read_osd_name copies the name alone (cut to size-1).
int32_t read_osd(const char *path, OsdRecord *osd, int32_t chn);
int32_t write_osd(const char *path, const OsdRecord *osd);
int32_t read_osd_name(const char *path, int32_t chn, char *name, int32_t size);

// Stored privacy-mask areas of a channel.
int32_t read_privacy_mask(const char *path, PrivacyMaskRecord *mask, int32_t chn);
int32_t write_privacy_mask(const char *path, const PrivacyMaskRecord *mask);

// Camera protocols (ids 0-63) and models (ids 0-1023), in id order.
int32_t read_ipc_protocols(const char *path, IpcProtocolRecord *protocols, int32_t capacity, int32_t *count);
int32_t write_ipc_protocol(const char *path, const IpcProtocolRecord *protocol);
int32_t read_ipc_model(const char *path, IpcModelRecord *model, int32_t id);
// The models of one protocol, at most `capacity`.
int32_t read_ipc_models_by_protocol(const char *path, int32_t protocol, IpcModelRecord *models, int32_t capacity,
                                    int32_t *count);
int32_t write_ipc_model(const char *path, const IpcModelRecord *model);

// ---- Motion (channels 0-63) -------------------------------------------------
int32_t read_motion(const char *path, MotionRecord *motion, int32_t chn);
int32_t read_motions(const char *path, MotionRecord *motions, int32_t capacity, int32_t *count);
template <int N>
inline int32_t read_motions(const char *path, MotionRecord (&motions)[N], int32_t *count)
{
    return read_motions(path, motions, N, count);
}
int32_t write_motion(const char *path, const MotionRecord *motion);
int32_t copy_motions(const char *path, const MotionRecord *motion, uint64_t mask);

// Motion action schedules, by channel.
int32_t read_motion_effective_schedule(const char *path, ScheduleRecord *s, int32_t chn);
int32_t write_motion_effective_schedule(const char *path, const ScheduleRecord *s, int32_t chn);
int32_t copy_motion_effective_schedules(const char *path, const ScheduleRecord *s, uint64_t mask);
int32_t read_motion_audible_schedule(const char *path, ScheduleRecord *s, int32_t chn);
int32_t write_motion_audible_schedule(const char *path, const ScheduleRecord *s, int32_t chn);
int32_t copy_motion_audible_schedules(const char *path, const ScheduleRecord *s, uint64_t mask);
int32_t read_motion_email_schedule(const char *path, ScheduleRecord *s, int32_t chn);
int32_t write_motion_email_schedule(const char *path, const ScheduleRecord *s, int32_t chn);
int32_t copy_motion_email_schedules(const char *path, const ScheduleRecord *s, uint64_t mask);
int32_t read_motion_ptz_schedule(const char *path, ScheduleRecord *s, int32_t chn);
int32_t write_motion_ptz_schedule(const char *path, const ScheduleRecord *s, int32_t chn);
int32_t copy_motion_ptz_schedules(const char *path, const ScheduleRecord *s, uint64_t mask);
int32_t read_motion_schedule(const char *path, ScheduleRecord *s, int32_t chn);
int32_t write_motion_schedule(const char *path, const ScheduleRecord *s, int32_t chn);

// Schedules in tables shared by the event kinds ("motion_whiteled_esche",
// "motion_http_notification_sche", ...), by table and channel.
int32_t read_whiteled_effective_schedule(const char *path, const char *table, ScheduleRecord *s, int32_t chn);
int32_t write_whiteled_effective_schedule(const char *path, const char *table, const ScheduleRecord *s,
                                          int32_t chn);
int32_t copy_whiteled_effective_schedules(const char *path, const char *table, const ScheduleRecord *s,
                                          uint64_t mask);
int32_t read_http_notification_schedule(const char *path, const char *table, ScheduleRecord *s, int32_t chn);
int32_t write_http_notification_schedule(const char *path, const char *table, const ScheduleRecord *s,
                                         int32_t chn);
int32_t copy_http_notification_schedules(const char *path, const char *table, const ScheduleRecord *s,
                                         uint64_t mask);

// ---- White-LED actions, by table ("motion_white_led_params") and channel ----
// *count: the entries up to the last one in use (0 to 8).
int32_t read_whiteled_params(const char *path, const char *table, int32_t chn, WhiteLedParams *params,
                             int32_t *count);
int32_t write_whiteled_params_all(const char *path, const char *table, int32_t chn, const WhiteLedParams *params);
// Copies to every channel of the mask; each copied entry gets that channel as owner.
int32_t copy_whiteled_params(const char *path, const char *table, const WhiteLedParams *params, uint64_t mask);
// People counting, by group.
int32_t read_peoplecnt_wled_params(const char *path, int32_t group, WhiteLedParams *params, int32_t *count);
int32_t write_peoplecnt_wled_params_all(const char *path, int32_t group, const WhiteLedParams *params);

// ---- HTTP notification, by table ("motion_http_notification_params") -------
int32_t read_http_notification_params(const char *path, const char *table, HttpNotificationParams *params,
                                      int32_t chn);
// Key: params->channel.
int32_t write_http_notification_params(const char *path, const char *table, const HttpNotificationParams *params);
int32_t copy_http_notification_params(const char *path, const char *table, const HttpNotificationParams *params,
                                      uint64_t mask);

// ---- PTZ actions, by event kind (0-63) and event number (0-63) --------------
// *count: the number of entries read (64; 8 for people counting). Entries
// whose acto_ptz_channel is 0 or less are empty.
int32_t read_ptz_params(const char *path, PtzActionRecord *record, int32_t kind, int32_t event, int32_t *count);
int32_t write_ptz_params_all(const char *path, const PtzActionRecord *record, int32_t kind, int32_t event);
// Copies the list to every channel of the mask, each entry with that channel as its event number.
int32_t copy_ptz_params_all(const char *path, const PtzActionRecord *record, int32_t kind, uint64_t mask);
int32_t read_peoplecnt_ptz_params(const char *path, PeoplecntPtzRecord *record, int32_t event, int32_t *count);
// Stores the first 8 entries of a full PTZ action record.
int32_t write_peoplecnt_ptz_params_ex(const char *path, const PtzActionRecord *record, int32_t event);

// ---- Alarm audio files ------------------------------------------------------
// Fills the 10 entries by file id (entry i = id i); *count = 10.
int32_t read_alarm_audio_file(const char *path, AlarmAudioFile *files, int32_t *count);
int32_t write_alarm_audio_file(const char *path, const AlarmAudioFile *file);

// ---- Users (slots 0-99) -----------------------------------------------------
int32_t read_user(const char *path, UserRecord *user, int32_t id);
int32_t read_users(const char *path, UserRecord *users, int32_t capacity, int32_t *count);
int32_t write_user(const char *path, const UserRecord *user);
// Stores the account in the first free slot (no record, or enable 0) and
// writes that slot into user->id. -1 when all 100 slots are in use.
int32_t add_user(const char *path, UserRecord *user);
// The enabled account with this name: 0 and the record, or -1 (record
// cleared) when there is none.
int32_t read_user_by_name(const char *path, const char *name, UserRecord *user);
// Same, comparing only the first n characters of the names (duplicate checks).
int32_t read_user_by_name_n(const char *path, const char *name, int32_t n, UserRecord *user);
// Number of enabled accounts (0 when the store cannot be read).
int32_t read_user_count(const char *path);
// Preset users of a customised build, in OEM_DB_PATH (slots 0-99).
int32_t read_users_oem(const char *path, PresetUserRecord *users, int32_t capacity, int32_t *count);
int32_t write_user_oem(const char *path, const PresetUserRecord *user);
