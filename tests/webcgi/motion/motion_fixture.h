// Shared pieces of the motion route tests: a fixture whose store calls
// follow the test's root, and expected daemon payloads built byte by byte
// at the offsets the core daemon and the cameras read.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "outside/qxdb.h"
#include "outside/qxdb_store.h"

namespace motiontest {

using nvrtest::Bytes;

class MotionTest : public nvrtest::RouteTest {
protected:
    void SetUp() override { qxdb::close_all(); }
    void TearDown() override { qxdb::close_all(); }
};

// A zero-filled payload with words and texts placed at offsets.
struct Buf {
    Bytes b;
    explicit Buf(size_t n) : b(n, '\0') {}
    Buf &i32(size_t off, int32_t v)
    {
        memcpy(&b[off], &v, 4);
        return *this;
    }
    Buf &u64(size_t off, uint64_t v)
    {
        memcpy(&b[off], &v, 8);
        return *this;
    }
    Buf &text(size_t off, const std::string &s)
    {
        memcpy(&b[off], s.data(), s.size());
        return *this;
    }
};

inline int32_t word_at(const Bytes &b, size_t off)
{
    int32_t v = 0;
    if (off + 4 <= b.size())
        memcpy(&v, b.data() + off, 4);
    return v;
}

inline int64_t word64_at(const Bytes &b, size_t off)
{
    int64_t v = 0;
    if (off + 8 <= b.size())
        memcpy(&v, b.data() + off, 8);
    return v;
}

// The full-day camera schedule: days 0-6 enabled, slots 0-3 0:00-24:00.
inline Buf full_day_schedule(int32_t chn)
{
    Buf b(1216);
    b.i32(0, chn);
    for (int d = 0; d < 7; d++) {
        size_t day = 68 + 136 * static_cast<size_t>(d);
        b.i32(day, d).i32(day + 4, 1);
        for (size_t s = 0; s < 4; s++)
            b.i32(day + 8 + 16 * s + 8, 24);
    }
    return b;
}

inline std::vector<int32_t> codes_of(const std::vector<nvrtest::DaemonMsg> &msgs)
{
    std::vector<int32_t> codes;
    for (const nvrtest::DaemonMsg &m : msgs)
        codes.push_back(m.code);
    return codes;
}

// Checks an operation-log record of motion (main 4, sub 204, parameter 909).
inline void expect_motion_log(const Bytes &rec, int32_t chn_field)
{
    ASSERT_GE(rec.size(), 672u);
    EXPECT_EQ(word_at(rec, 0), 4);
    EXPECT_EQ(word64_at(rec, 8), 204);
    EXPECT_EQ(word_at(rec, 24), 909);
    EXPECT_EQ(word_at(rec, 28), 1);
    EXPECT_EQ(word_at(rec, 32), chn_field);
}

// A schedule whose 48 segments of every day hold text, for checking what a
// route clears.
inline ScheduleRecord full_schedule(const char *tag)
{
    ScheduleRecord s;
    memset(&s, 0, sizeof s);
    for (int d = 0; d < SCHEDULE_DAYS; d++) {
        for (int g = 0; g < SCHEDULE_SEGMENTS; g++) {
            ScheduleSegment &seg = s.day[d].seg[g];
            snprintf(seg.start_time, sizeof seg.start_time, "%s%d.%d", tag, d, g);
            snprintf(seg.end_time, sizeof seg.end_time, "%s-end", tag);
            seg.action_type = d * 100 + g;
        }
        s.day[d].valid = 7;
        s.day[d].action = 9;
    }
    return s;
}

inline MotionRecord motion_record(int32_t chn)
{
    MotionRecord m;
    memset(&m, 0, sizeof m);
    m.chnid = chn;
    return m;
}

} // namespace motiontest
