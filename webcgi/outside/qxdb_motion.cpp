// Named store calls: motion records and the action schedules of events.
#include "outside/qxdb.h"
#include "outside/qxdb_store.h"

namespace {

int32_t status(int rc)
{
    return rc < 0 ? -1 : 0;
}

// The three calls of one schedule kind kept in a table of its own.
#define SCHEDULE_CALLS(name, kind)                                                              \
    int32_t read_##name##_schedule(const char *path, ScheduleRecord *s, int32_t chn)            \
    {                                                                                           \
        return status(qxdb::read(path, qxdb::kind, chn, s));                                    \
    }                                                                                           \
    int32_t write_##name##_schedule(const char *path, const ScheduleRecord *s, int32_t chn)     \
    {                                                                                           \
        return status(qxdb::write_at(path, qxdb::kind, chn, s));                                \
    }

#define SCHEDULE_COPY(name, kind)                                                               \
    int32_t copy_##name##_schedules(const char *path, const ScheduleRecord *s, uint64_t mask)   \
    {                                                                                           \
        return status(qxdb::copy(path, qxdb::kind, s, mask));                                   \
    }

} // namespace

int32_t read_motion(const char *path, MotionRecord *motion, int32_t chn)
{
    return status(qxdb::read(path, qxdb::kMotion, chn, motion));
}

int32_t read_motions(const char *path, MotionRecord *motions, int32_t capacity, int32_t *count)
{
    return status(qxdb::read_all(path, qxdb::kMotion, motions, capacity, count));
}

int32_t write_motion(const char *path, const MotionRecord *motion)
{
    return status(qxdb::write(path, qxdb::kMotion, motion));
}

int32_t copy_motions(const char *path, const MotionRecord *motion, uint64_t mask)
{
    return status(qxdb::copy(path, qxdb::kMotion, motion, mask));
}

SCHEDULE_CALLS(motion_effective, kMotionEffectiveSchedule)
SCHEDULE_COPY(motion_effective, kMotionEffectiveSchedule)
SCHEDULE_CALLS(motion_audible, kMotionAudibleSchedule)
SCHEDULE_COPY(motion_audible, kMotionAudibleSchedule)
SCHEDULE_CALLS(motion_email, kMotionEmailSchedule)
SCHEDULE_COPY(motion_email, kMotionEmailSchedule)
SCHEDULE_CALLS(motion_ptz, kMotionPtzSchedule)
SCHEDULE_COPY(motion_ptz, kMotionPtzSchedule)
SCHEDULE_CALLS(motion, kMotionSchedule)

// Schedules in shared tables named by the caller.
int32_t read_whiteled_effective_schedule(const char *path, const char *table, ScheduleRecord *s, int32_t chn)
{
    return status(qxdb::read(path, qxdb::kScheduleTable, chn, s, table));
}

int32_t write_whiteled_effective_schedule(const char *path, const char *table, const ScheduleRecord *s,
                                          int32_t chn)
{
    return status(qxdb::write_at(path, qxdb::kScheduleTable, chn, s, table));
}

int32_t copy_whiteled_effective_schedules(const char *path, const char *table, const ScheduleRecord *s,
                                          uint64_t mask)
{
    return status(qxdb::copy(path, qxdb::kScheduleTable, s, mask, table));
}

int32_t read_http_notification_schedule(const char *path, const char *table, ScheduleRecord *s, int32_t chn)
{
    return status(qxdb::read(path, qxdb::kScheduleTable, chn, s, table));
}

int32_t write_http_notification_schedule(const char *path, const char *table, const ScheduleRecord *s,
                                         int32_t chn)
{
    return status(qxdb::write_at(path, qxdb::kScheduleTable, chn, s, table));
}

int32_t copy_http_notification_schedules(const char *path, const char *table, const ScheduleRecord *s,
                                         uint64_t mask)
{
    return status(qxdb::copy(path, qxdb::kScheduleTable, s, mask, table));
}
