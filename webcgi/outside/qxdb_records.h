// Records kept in the config store. Each is exchanged with the store whole,
// byte for byte, so its layout is fixed (little-endian, see records.h).
// Texts are NUL-terminated inside their field; write them with copy_text()
// and read them with strnlen()/field_len(): a stored field may be full.
#pragma once

#include <cstdint>

#include "web_utils/records.h"

// Store files, as device paths; the store roots them itself.
#define CONFIG_DB_PATH "/mnt/nand/app/qxdb.db"
#define ANPR_DB_PATH "/mnt/nand/app/anpr.db"
#define OEM_DB_PATH "/mnt/nand2/oem.db"

constexpr int QXDB_MAX_CHANNELS = 64;
constexpr int QXDB_MAX_DISKS = 37;       // slots 0 to 36 (the list uses 1 to 36)
constexpr int QXDB_MAX_USERS = 100;
constexpr int QXDB_MAX_AUDIO_FILES = 10;
constexpr int QXDB_MAX_PTZ_KINDS = 64;   // PTZ event kinds 0 to 63
constexpr int QXDB_PTZ_KIND_PEOPLECNT = 20;

// Disk record: one per disk slot.
struct DiskRecord {
    int32_t slot;
    int32_t enable;          // 1 = configured
    char vendor[64];
    char address[64];        // network disks: server
    char directory[128];     // network disks: share path
    int32_t type;            // 4 RAID, 3 and 10 network disks
    int32_t group;
    int32_t property;        // 0 or 1
    int32_t reserved0;
    char user[33];
    char password[33];
    char reserved1[2];
};
RECORD_SIZE(DiskRecord, 348);
RECORD_OFFSET(DiskRecord, enable, 4);
RECORD_OFFSET(DiskRecord, vendor, 8);
RECORD_OFFSET(DiskRecord, address, 72);
RECORD_OFFSET(DiskRecord, directory, 136);
RECORD_OFFSET(DiskRecord, type, 264);
RECORD_OFFSET(DiskRecord, group, 268);
RECORD_OFFSET(DiskRecord, property, 272);
RECORD_OFFSET(DiskRecord, user, 280);
RECORD_OFFSET(DiskRecord, password, 313);

// Motion record: one per channel.
struct MotionRecord {
    int32_t chnid;
    int32_t enable;
    int32_t sensitivity;
    uint32_t tri_channel_mask;   // channels 0-31 of tri_channels
    int32_t tri_alarms;
    char motion_table[368];
    int32_t interval;
    int32_t enable_qx;
    char tri_channels[65];
    char pad0[3];
    int32_t email_enable;
    int32_t email_interval;
    char tri_chn_alarms[2][65];
    char pad1[2];
    int32_t reserved604;
    int32_t ptz_interval;
    int32_t alarmout_interval;
    int32_t white_interval;
    int32_t email_pic_enable;
    char tri_channels_pic[65];
    char pad2[3];
    int32_t audio_id;
    int32_t http_notification_interval;
};
RECORD_SIZE(MotionRecord, 700);
RECORD_OFFSET(MotionRecord, enable, 4);
RECORD_OFFSET(MotionRecord, sensitivity, 8);
RECORD_OFFSET(MotionRecord, tri_channel_mask, 12);
RECORD_OFFSET(MotionRecord, tri_alarms, 16);
RECORD_OFFSET(MotionRecord, motion_table, 20);
RECORD_OFFSET(MotionRecord, interval, 388);
RECORD_OFFSET(MotionRecord, enable_qx, 392);
RECORD_OFFSET(MotionRecord, tri_channels, 396);
RECORD_OFFSET(MotionRecord, email_enable, 464);
RECORD_OFFSET(MotionRecord, email_interval, 468);
RECORD_OFFSET(MotionRecord, tri_chn_alarms, 472);
RECORD_OFFSET(MotionRecord, tri_chn_alarms[1], 537);
RECORD_OFFSET(MotionRecord, reserved604, 604);
RECORD_OFFSET(MotionRecord, ptz_interval, 608);
RECORD_OFFSET(MotionRecord, alarmout_interval, 612);
RECORD_OFFSET(MotionRecord, white_interval, 616);
RECORD_OFFSET(MotionRecord, email_pic_enable, 620);
RECORD_OFFSET(MotionRecord, tri_channels_pic, 624);
RECORD_OFFSET(MotionRecord, audio_id, 692);
RECORD_OFFSET(MotionRecord, http_notification_interval, 696);

// ---- Cameras: channels, OSD names, privacy masks, protocols and models ----
constexpr int QXDB_MAX_IPC_PROTOCOLS = 64;   // protocol ids 0-63
constexpr int QXDB_MAX_IPC_MODELS = 1024;    // camera model ids 0-1023

// Camera bound to a channel: one per channel.
struct CameraRecord {
    int32_t id;
    int32_t cleared;             // 1 once the channel has been cleared
    int32_t enable;
    uint8_t reserved12[16];
    char user_name[64];
    char password[64];
    char ip_addr[64];
    int32_t main_rtsp_port;
    char main_source_path[256];
    int32_t enable_sub_stream;
    int32_t sub_rtsp_port;
    char sub_source_path[256];
    int32_t manage_port;
    int32_t model;               // camera model id; 0 ONVIF, 1 RTSP, 2 QXSF double as protocols
    int32_t transmit_protocol;   // 0 UDP, otherwise TCP
    int32_t reserved756;
    int32_t record_stream;       // record stream type
    int32_t sync_time;
    int32_t reserved768;
    char main_rtsp_url[256];
    char sub_rtsp_url[256];
    int32_t poechannel;
    char mac_addr[32];
    int32_t physicalport;
    int32_t anr;
    uint8_t reserved1328[64];
    int32_t minorid;
    char ddns[64];
};
RECORD_SIZE(CameraRecord, 1460);
RECORD_OFFSET(CameraRecord, cleared, 4);
RECORD_OFFSET(CameraRecord, enable, 8);
RECORD_OFFSET(CameraRecord, user_name, 28);
RECORD_OFFSET(CameraRecord, password, 92);
RECORD_OFFSET(CameraRecord, ip_addr, 156);
RECORD_OFFSET(CameraRecord, main_rtsp_port, 220);
RECORD_OFFSET(CameraRecord, main_source_path, 224);
RECORD_OFFSET(CameraRecord, enable_sub_stream, 480);
RECORD_OFFSET(CameraRecord, sub_rtsp_port, 484);
RECORD_OFFSET(CameraRecord, sub_source_path, 488);
RECORD_OFFSET(CameraRecord, manage_port, 744);
RECORD_OFFSET(CameraRecord, model, 748);
RECORD_OFFSET(CameraRecord, transmit_protocol, 752);
RECORD_OFFSET(CameraRecord, record_stream, 760);
RECORD_OFFSET(CameraRecord, sync_time, 764);
RECORD_OFFSET(CameraRecord, main_rtsp_url, 772);
RECORD_OFFSET(CameraRecord, sub_rtsp_url, 1028);
RECORD_OFFSET(CameraRecord, poechannel, 1284);
RECORD_OFFSET(CameraRecord, mac_addr, 1288);
RECORD_OFFSET(CameraRecord, physicalport, 1320);
RECORD_OFFSET(CameraRecord, anr, 1324);
RECORD_OFFSET(CameraRecord, minorid, 1392);
RECORD_OFFSET(CameraRecord, ddns, 1396);

// The recorder's own on-screen display of a channel: one per channel.
struct OsdRecord {
    int32_t chnid;
    char name[64];
    int32_t show_name;
    int32_t show_date;
    int32_t show_week;
    int32_t date_format;
    int32_t time_format;
    double date_pos_x;
    double date_pos_y;
    double name_pos_x;
    double name_pos_y;
    int32_t alpha;
    int32_t reserved124;
};
RECORD_SIZE(OsdRecord, 128);
RECORD_OFFSET(OsdRecord, name, 4);
RECORD_OFFSET(OsdRecord, show_name, 68);
RECORD_OFFSET(OsdRecord, time_format, 84);
RECORD_OFFSET(OsdRecord, date_pos_x, 88);
RECORD_OFFSET(OsdRecord, name_pos_y, 112);
RECORD_OFFSET(OsdRecord, alpha, 120);

// Privacy-mask areas of a channel: one record per channel, 24 areas.
constexpr int PRIVACY_MASK_AREAS = 24;

struct PrivacyMaskArea {
    int32_t area_id;
    int32_t enable;
    int32_t start_x;
    int32_t start_y;
    int32_t width;
    int32_t height;
    int32_t pic_width;
    int32_t pic_height;
    int32_t color;
    int32_t reserved[4];
};
RECORD_SIZE(PrivacyMaskArea, 52);
RECORD_OFFSET(PrivacyMaskArea, pic_width, 24);
RECORD_OFFSET(PrivacyMaskArea, color, 32);

struct PrivacyMaskRecord {
    int32_t chnid;
    PrivacyMaskArea area[PRIVACY_MASK_AREAS];
};
RECORD_SIZE(PrivacyMaskRecord, 1252);
RECORD_OFFSET(PrivacyMaskRecord, area, 4);

// Camera protocol the recorder speaks: one per protocol id.
struct IpcProtocolRecord {
    int32_t id;
    char name[24];
    int32_t function;
    int32_t enable;
    int32_t display_model;
};
RECORD_SIZE(IpcProtocolRecord, 40);
RECORD_OFFSET(IpcProtocolRecord, name, 4);
RECORD_OFFSET(IpcProtocolRecord, function, 28);
RECORD_OFFSET(IpcProtocolRecord, enable, 32);
RECORD_OFFSET(IpcProtocolRecord, display_model, 36);

// Camera model: one per model id, tied to its protocol.
struct IpcModelRecord {
    int32_t id;
    int32_t protocol;
    char name[32];
    int32_t alarm_type;
    int32_t default_model;
};
RECORD_SIZE(IpcModelRecord, 48);
RECORD_OFFSET(IpcModelRecord, protocol, 4);
RECORD_OFFSET(IpcModelRecord, name, 8);
RECORD_OFFSET(IpcModelRecord, alarm_type, 40);
RECORD_OFFSET(IpcModelRecord, default_model, 44);
// ---- end of cameras ----

// Weekly action schedule: days 0-6 of the week, then the holiday (7).
// Pages exchange the first 12 segments of a day; the store keeps 48.
constexpr int SCHEDULE_DAYS = 8;
constexpr int SCHEDULE_SEGMENTS = 48;
constexpr int SCHEDULE_PAGE_SEGMENTS = 12;

struct ScheduleSegment {
    char start_time[32];     // as the page sends it, "00:00"
    char end_time[32];
    int32_t action_type;
};
RECORD_SIZE(ScheduleSegment, 68);
RECORD_OFFSET(ScheduleSegment, end_time, 32);
RECORD_OFFSET(ScheduleSegment, action_type, 64);

struct ScheduleDay {
    ScheduleSegment seg[SCHEDULE_SEGMENTS];
    int32_t valid;           // camera-side form: day holds data; recording: whole-day enable
    int32_t action;          // recording: whole-day action type
};
RECORD_SIZE(ScheduleDay, 3272);
RECORD_OFFSET(ScheduleDay, valid, 3264);
RECORD_OFFSET(ScheduleDay, action, 3268);

struct ScheduleRecord {
    ScheduleDay day[SCHEDULE_DAYS];
};
RECORD_SIZE(ScheduleRecord, 26176);

// Alarm outputs of cameras that an event triggers (two per event).
struct AlarmOutTrigger {
    int32_t channel;
    int32_t index;           // 0 or 1
    char text[65];
    char pad[3];
};
RECORD_SIZE(AlarmOutTrigger, 76);
RECORD_OFFSET(AlarmOutTrigger, text, 8);

// White-LED actions of one event channel: up to 8 entries.
constexpr int WHITELED_ENTRIES = 8;

struct WhiteLedEntry {
    int32_t owner;           // the event channel
    int32_t chnid;           // channel whose white LED is driven
    int32_t mode;
    int32_t time;
};
RECORD_SIZE(WhiteLedEntry, 16);

struct WhiteLedParams {
    WhiteLedEntry entry[WHITELED_ENTRIES];
};
RECORD_SIZE(WhiteLedParams, 128);

// HTTP notification of one event channel.
struct HttpNotificationParams {
    int32_t channel;
    char url[513];
    char username[97];
    char password[65];
    char pad[1];
};
RECORD_SIZE(HttpNotificationParams, 680);
RECORD_OFFSET(HttpNotificationParams, url, 4);
RECORD_OFFSET(HttpNotificationParams, username, 517);
RECORD_OFFSET(HttpNotificationParams, password, 614);

// PTZ actions of one event source: 64 entries (people counting keeps 8).
constexpr int PTZ_ACTION_ENTRIES = 64;
constexpr int PTZ_PEOPLECNT_ENTRIES = 8;

struct PtzActionEntry {
    int32_t chn_id;              // event number (the event source)
    int32_t acto_ptz_channel;    // PTZ camera channel counted from 1; 0 = empty
    int32_t reserved;
    int32_t acto_ptz_type;       // 1 preset, 2 patrol, 3 pattern
    int32_t acto_ptz_preset;
    int32_t acto_ptz_patrol;
    int32_t acto_ptz_pattern;
};
RECORD_SIZE(PtzActionEntry, 28);
RECORD_OFFSET(PtzActionEntry, acto_ptz_channel, 4);
RECORD_OFFSET(PtzActionEntry, acto_ptz_type, 12);
RECORD_OFFSET(PtzActionEntry, acto_ptz_preset, 16);
RECORD_OFFSET(PtzActionEntry, acto_ptz_patrol, 20);
RECORD_OFFSET(PtzActionEntry, acto_ptz_pattern, 24);

struct PtzActionRecord {
    PtzActionEntry entry[PTZ_ACTION_ENTRIES];
};
RECORD_SIZE(PtzActionRecord, 1792);

struct PeoplecntPtzRecord {
    PtzActionEntry entry[PTZ_PEOPLECNT_ENTRIES];
};
RECORD_SIZE(PeoplecntPtzRecord, 224);

// Alarm audio file table entry (10 entries).
struct AlarmAudioFile {
    int32_t id;
    int32_t enable;          // 1 = the entry holds a file
    char name[128];
};
RECORD_SIZE(AlarmAudioFile, 136);
RECORD_OFFSET(AlarmAudioFile, enable, 4);

// User account: one per slot 0-99; enable 0 = free slot.
struct UserRecord {
    int32_t id;
    int32_t enable;
    char name[64];
    char password[36];           // hex MD5 digest, at most 32 characters
    int32_t type;                // 0 to 3
    char local_liveview[65];
    char local_playback[65];
    char remote_liveview[65];
    char remote_playback[65];
    char reserved[33];
    char created[19];
    int32_t local_rights[10];
    int32_t remote_rights[10];
    int32_t permission;
    int32_t remote_permission;
    uint32_t channel_mask[4];    // local live view, local playback, remote live view, remote playback
};
RECORD_SIZE(UserRecord, 528);
RECORD_OFFSET(UserRecord, name, 8);
RECORD_OFFSET(UserRecord, password, 72);
RECORD_OFFSET(UserRecord, type, 108);
RECORD_OFFSET(UserRecord, local_liveview, 112);
RECORD_OFFSET(UserRecord, local_playback, 177);
RECORD_OFFSET(UserRecord, remote_liveview, 242);
RECORD_OFFSET(UserRecord, remote_playback, 307);
RECORD_OFFSET(UserRecord, reserved, 372);
RECORD_OFFSET(UserRecord, created, 405);
RECORD_OFFSET(UserRecord, local_rights, 424);
RECORD_OFFSET(UserRecord, remote_rights, 464);
RECORD_OFFSET(UserRecord, permission, 504);
RECORD_OFFSET(UserRecord, remote_permission, 508);
RECORD_OFFSET(UserRecord, channel_mask, 512);
RECORD_OFFSET(UserRecord, enable, 4);

// ---- User accounts: preset users of a customised build (OEM_DB_PATH) ----
// One per slot 0-99; enable 0 = unused entry.
struct PresetUserRecord {
    int32_t id;
    int32_t enable;
    char name[64];
    char password[36];
    int32_t type;
    int32_t permission;
    int32_t remote_permission;
    char reserved[16];
};
RECORD_SIZE(PresetUserRecord, 136);
RECORD_OFFSET(PresetUserRecord, enable, 4);
RECORD_OFFSET(PresetUserRecord, name, 8);
RECORD_OFFSET(PresetUserRecord, password, 72);
RECORD_OFFSET(PresetUserRecord, type, 108);
RECORD_OFFSET(PresetUserRecord, permission, 112);
RECORD_OFFSET(PresetUserRecord, remote_permission, 116);
// ---- end of user accounts ----
