// Definitions of the record kinds listed in qxdb_kinds.def, their named
// members (for column updates and the dump tool) and the kind list.
#include <cstring>

#include "outside/qxdb_store.h"

namespace qxdb {
namespace {

// Named members of a record type; types without a list are dumped as bytes.
template <typename R>
struct FieldsOf {
    static constexpr const Field *list = nullptr;
    static constexpr uint32_t count = 0;
};

#define I32(R, m, name) Field{name, static_cast<uint32_t>(offsetof(R, m)), 4, FIELD_I32}
#define U32(R, m, name) Field{name, static_cast<uint32_t>(offsetof(R, m)), 4, FIELD_U32}
#define TXT(R, m, name) Field{name, static_cast<uint32_t>(offsetof(R, m)), sizeof(R::m), FIELD_TEXT}
#define FIELDS(R, ...)                                                          \
    constexpr Field R##_fields[] = {__VA_ARGS__};                               \
    template <>                                                                 \
    struct FieldsOf<R> {                                                        \
        static constexpr const Field *list = R##_fields;                       \
        static constexpr uint32_t count = sizeof(R##_fields) / sizeof(Field);   \
    };

FIELDS(DiskRecord, I32(DiskRecord, slot, "slot"), I32(DiskRecord, enable, "enable"),
       TXT(DiskRecord, vendor, "vendor"), TXT(DiskRecord, address, "address"),
       TXT(DiskRecord, directory, "directory"), I32(DiskRecord, type, "type"),
       I32(DiskRecord, group, "disk_group"), I32(DiskRecord, property, "property"),
       TXT(DiskRecord, user, "user"), TXT(DiskRecord, password, "password"))

FIELDS(CameraRecord, I32(CameraRecord, id, "id"), I32(CameraRecord, cleared, "cleared"),
       I32(CameraRecord, enable, "enable"), TXT(CameraRecord, user_name, "username"),
       TXT(CameraRecord, password, "password"), TXT(CameraRecord, ip_addr, "ip"),
       I32(CameraRecord, main_rtsp_port, "main_rtsp_port"), TXT(CameraRecord, main_source_path, "main_source_path"),
       I32(CameraRecord, enable_sub_stream, "sub_enable"), I32(CameraRecord, sub_rtsp_port, "sub_rtsp_port"),
       TXT(CameraRecord, sub_source_path, "sub_source_path"), I32(CameraRecord, manage_port, "manage_port"),
       I32(CameraRecord, model, "model"), I32(CameraRecord, transmit_protocol, "transmit_protocol"),
       I32(CameraRecord, record_stream, "record_stream"), I32(CameraRecord, sync_time, "sync_time"),
       TXT(CameraRecord, main_rtsp_url, "main_rtsp_url"), TXT(CameraRecord, sub_rtsp_url, "sub_rtsp_url"),
       I32(CameraRecord, poechannel, "poechannel"), TXT(CameraRecord, mac_addr, "mac_addr"),
       I32(CameraRecord, physicalport, "physicalport"), I32(CameraRecord, anr, "anr"),
       I32(CameraRecord, minorid, "minorid"), TXT(CameraRecord, ddns, "ddns"))

FIELDS(OsdRecord, I32(OsdRecord, chnid, "id"), TXT(OsdRecord, name, "name"))

FIELDS(IpcProtocolRecord, I32(IpcProtocolRecord, id, "id"), TXT(IpcProtocolRecord, name, "name"),
       I32(IpcProtocolRecord, function, "function"), I32(IpcProtocolRecord, enable, "enable"),
       I32(IpcProtocolRecord, display_model, "display_model"))

FIELDS(IpcModelRecord, I32(IpcModelRecord, id, "id"), I32(IpcModelRecord, protocol, "protocol"),
       TXT(IpcModelRecord, name, "name"), I32(IpcModelRecord, alarm_type, "alarm_type"),
       I32(IpcModelRecord, default_model, "default_model"))

FIELDS(MotionRecord, I32(MotionRecord, chnid, "id"), I32(MotionRecord, enable, "enable"),
       I32(MotionRecord, sensitivity, "sensitivity"), U32(MotionRecord, tri_channel_mask, "tri_channel_mask"),
       I32(MotionRecord, tri_alarms, "tri_alarms"), TXT(MotionRecord, motion_table, "motion_table"),
       I32(MotionRecord, interval, "interval"), I32(MotionRecord, enable_qx, "enable_qx"),
       TXT(MotionRecord, tri_channels, "tri_channels"), I32(MotionRecord, email_enable, "email_enable"),
       I32(MotionRecord, email_interval, "email_interval"),
       Field{"tri_chn_alarms0", offsetof(MotionRecord, tri_chn_alarms), 65, FIELD_TEXT},
       Field{"tri_chn_alarms1", offsetof(MotionRecord, tri_chn_alarms) + 65, 65, FIELD_TEXT},
       I32(MotionRecord, ptz_interval, "ptz_interval"), I32(MotionRecord, alarmout_interval, "alarmout_interval"),
       I32(MotionRecord, white_interval, "white_interval"), I32(MotionRecord, email_pic_enable, "email_pic_enable"),
       TXT(MotionRecord, tri_channels_pic, "tri_channels_pic"), I32(MotionRecord, audio_id, "audio_id"),
       I32(MotionRecord, http_notification_interval, "http_notification_interval"))

FIELDS(UserRecord, I32(UserRecord, id, "id"), I32(UserRecord, enable, "enable"), TXT(UserRecord, name, "name"),
       TXT(UserRecord, password, "password"), I32(UserRecord, type, "type"),
       TXT(UserRecord, local_liveview, "local_liveview"), TXT(UserRecord, local_playback, "local_playback"),
       TXT(UserRecord, remote_liveview, "remote_liveview"), TXT(UserRecord, remote_playback, "remote_playback"),
       TXT(UserRecord, created, "created"), I32(UserRecord, permission, "permission"),
       I32(UserRecord, remote_permission, "remote_permission"))

FIELDS(PresetUserRecord, I32(PresetUserRecord, id, "id"), I32(PresetUserRecord, enable, "enable"),
       TXT(PresetUserRecord, name, "name"), TXT(PresetUserRecord, password, "password"),
       I32(PresetUserRecord, type, "type"), I32(PresetUserRecord, permission, "permission"),
       I32(PresetUserRecord, remote_permission, "remote_permission"))

FIELDS(AlarmAudioFile, I32(AlarmAudioFile, id, "id"), I32(AlarmAudioFile, enable, "enable"),
       TXT(AlarmAudioFile, name, "name"))

FIELDS(HttpNotificationParams, I32(HttpNotificationParams, channel, "channel"),
       TXT(HttpNotificationParams, url, "url"), TXT(HttpNotificationParams, username, "username"),
       TXT(HttpNotificationParams, password, "password"))

#undef I32
#undef U32
#undef TXT
#undef FIELDS

} // namespace

#define QXDB_KIND(name, table, R, member, lo, hi)                                          \
    const TypedKind<R> name{{table, #R, sizeof(R), static_cast<int32_t>(offsetof(R, member)), \
                             (lo), (hi), FieldsOf<R>::list, FieldsOf<R>::count}};
#define QXDB_KIND_NOKEY(name, table, R, lo, hi) \
    const TypedKind<R> name{{table, #R, sizeof(R), -1, (lo), (hi), FieldsOf<R>::list, FieldsOf<R>::count}};
#include "outside/qxdb_kinds.def"
#undef QXDB_KIND
#undef QXDB_KIND_NOKEY

namespace {
#define QXDB_KIND(name, table, R, member, lo, hi) &name.kind,
#define QXDB_KIND_NOKEY(name, table, R, lo, hi) &name.kind,
const Kind *const kinds[] = {
#include "outside/qxdb_kinds.def"
};
#undef QXDB_KIND
#undef QXDB_KIND_NOKEY
} // namespace

const Kind *const *all_kinds(size_t *count)
{
    if (count)
        *count = sizeof(kinds) / sizeof(kinds[0]);
    return kinds;
}

const Kind *find_kind(const char *table)
{
    if (!table)
        return nullptr;
    for (const Kind *k : kinds)
        if (k->table && strcmp(k->table, table) == 0)
            return k;
    return nullptr;
}

const Kind *find_family(const char *record)
{
    if (!record)
        return nullptr;
    for (const Kind *k : kinds)
        if (!k->table && strcmp(k->record, record) == 0)
            return k;
    return nullptr;
}

const Field *find_field(const Kind &k, const char *name)
{
    if (!name)
        return nullptr;
    for (uint32_t i = 0; i < k.field_count; i++)
        if (strcmp(k.fields[i].name, name) == 0)
            return &k.fields[i];
    return nullptr;
}

const char *key_column(const Kind &k)
{
    for (uint32_t i = 0; i < k.field_count; i++)
        if (k.key_offset >= 0 && k.fields[i].offset == static_cast<uint32_t>(k.key_offset))
            return k.fields[i].name;
    return "key";
}

bool key_in_range(const Kind &k, int32_t key)
{
    return key >= k.key_min && key <= k.key_max;
}

} // namespace qxdb
