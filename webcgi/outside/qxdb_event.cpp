// Named store calls: the action tables shared by the event kinds (white LED,
// HTTP notification, PTZ actions) and the alarm audio file table.
#include <cstring>

#include "outside/qxdb.h"
#include "outside/qxdb_store.h"

namespace {

int32_t status(int rc)
{
    return rc < 0 ? -1 : 0;
}

bool entry_used(const WhiteLedEntry &e)
{
    return e.owner || e.chnid || e.mode || e.time;
}

// Entries are kept as a block of 8; the block reports the ones up to the
// last entry in use.
int32_t used_entries(const WhiteLedParams &p)
{
    int32_t n = WHITELED_ENTRIES;
    while (n > 0 && !entry_used(p.entry[n - 1]))
        n--;
    return n;
}

void whiteled_owner(void *rec, int32_t chn)
{
    WhiteLedParams *p = static_cast<WhiteLedParams *>(rec);
    for (WhiteLedEntry &e : p->entry)
        if (entry_used(e))
            e.owner = chn;
}

void ptz_event_number(void *rec, int32_t chn)
{
    PtzActionRecord *r = static_cast<PtzActionRecord *>(rec);
    for (PtzActionEntry &e : r->entry)
        if (e.acto_ptz_channel != 0)
            e.chn_id = chn;
}

// PTZ lists are keyed by kind and event number together; each is checked on
// its own so that event 64 of kind 1 cannot land on event 0 of kind 2.
bool ptz_key(int32_t kind, int32_t event, int32_t *key)
{
    if (kind < 0 || kind >= QXDB_MAX_PTZ_KINDS || event < 0 || event >= 64)
        return false;
    *key = kind * 64 + event;
    return true;
}

} // namespace

int32_t read_whiteled_params(const char *path, const char *table, int32_t chn, WhiteLedParams *params,
                             int32_t *count)
{
    if (count)
        *count = 0;
    int rc = qxdb::read(path, qxdb::kWhiteLedTable, chn, params, table);
    if (rc < 0)
        return -1;
    if (count)
        *count = used_entries(*params);
    return 0;
}

int32_t write_whiteled_params_all(const char *path, const char *table, int32_t chn, const WhiteLedParams *params)
{
    return status(qxdb::write_at(path, qxdb::kWhiteLedTable, chn, params, table));
}

int32_t copy_whiteled_params(const char *path, const char *table, const WhiteLedParams *params, uint64_t mask)
{
    return status(qxdb::copy(path, qxdb::kWhiteLedTable, params, mask, table, whiteled_owner));
}

int32_t read_peoplecnt_wled_params(const char *path, int32_t group, WhiteLedParams *params, int32_t *count)
{
    if (count)
        *count = 0;
    if (qxdb::read(path, qxdb::kPeoplecntWledParams, group, params) < 0)
        return -1;
    if (count)
        *count = used_entries(*params);
    return 0;
}

int32_t write_peoplecnt_wled_params_all(const char *path, int32_t group, const WhiteLedParams *params)
{
    return status(qxdb::write_at(path, qxdb::kPeoplecntWledParams, group, params));
}

int32_t read_http_notification_params(const char *path, const char *table, HttpNotificationParams *params,
                                      int32_t chn)
{
    return status(qxdb::read(path, qxdb::kHttpNotificationTable, chn, params, table));
}

int32_t write_http_notification_params(const char *path, const char *table, const HttpNotificationParams *params)
{
    return status(qxdb::write(path, qxdb::kHttpNotificationTable, params, table));
}

int32_t copy_http_notification_params(const char *path, const char *table, const HttpNotificationParams *params,
                                      uint64_t mask)
{
    return status(qxdb::copy(path, qxdb::kHttpNotificationTable, params, mask, table));
}

int32_t read_ptz_params(const char *path, PtzActionRecord *record, int32_t kind, int32_t event, int32_t *count)
{
    if (count)
        *count = 0;
    int32_t key = 0;
    if (!record)
        return -1;
    if (!ptz_key(kind, event, &key)) {
        memset(record, 0, sizeof *record);
        return -1;
    }
    if (qxdb::read(path, qxdb::kPtzParams, key, record) < 0)
        return -1;
    if (count)
        *count = PTZ_ACTION_ENTRIES;
    return 0;
}

int32_t write_ptz_params_all(const char *path, const PtzActionRecord *record, int32_t kind, int32_t event)
{
    int32_t key = 0;
    if (!ptz_key(kind, event, &key))
        return -1;
    return status(qxdb::write_at(path, qxdb::kPtzParams, key, record));
}

int32_t copy_ptz_params_all(const char *path, const PtzActionRecord *record, int32_t kind, uint64_t mask)
{
    int32_t base = 0;
    if (!ptz_key(kind, 0, &base))
        return -1;
    return status(qxdb::copy(path, qxdb::kPtzParams, record, mask, nullptr, ptz_event_number, base));
}

int32_t read_peoplecnt_ptz_params(const char *path, PeoplecntPtzRecord *record, int32_t event, int32_t *count)
{
    if (count)
        *count = 0;
    if (qxdb::read(path, qxdb::kPeoplecntPtzParams, event, record) < 0)
        return -1;
    if (count)
        *count = PTZ_PEOPLECNT_ENTRIES;
    return 0;
}

int32_t write_peoplecnt_ptz_params_ex(const char *path, const PtzActionRecord *record, int32_t event)
{
    if (!record)
        return -1;
    PeoplecntPtzRecord r;
    memcpy(r.entry, record->entry, sizeof r.entry);
    return status(qxdb::write_at(path, qxdb::kPeoplecntPtzParams, event, &r));
}

int32_t read_alarm_audio_file(const char *path, AlarmAudioFile *files, int32_t *count)
{
    if (count)
        *count = 0;
    if (!files)
        return -1;
    AlarmAudioFile stored[QXDB_MAX_AUDIO_FILES];
    int32_t n = 0;
    int rc = qxdb::read_all(path, qxdb::kAlarmAudioFile, stored, QXDB_MAX_AUDIO_FILES, &n);
    memset(files, 0, sizeof stored);
    if (rc < 0)
        return -1;
    // Entry i is file id i, whether or not the ids below it are stored.
    for (int32_t i = 0; i < n; i++)
        if (stored[i].id >= 0 && stored[i].id < QXDB_MAX_AUDIO_FILES)
            files[stored[i].id] = stored[i];
    if (count)
        *count = QXDB_MAX_AUDIO_FILES;
    return 0;
}

int32_t write_alarm_audio_file(const char *path, const AlarmAudioFile *file)
{
    return status(qxdb::write(path, qxdb::kAlarmAudioFile, file));
}
