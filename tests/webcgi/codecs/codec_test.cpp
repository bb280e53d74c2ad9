// Shared JSON codecs: schedules, copy masks and event actions, each over a
// fresh config store under a temporary NVR_ROOT.
#include <gtest/gtest.h>

#include "harness.h"


#include <cstdlib>
#include <cstring>
#include <string>

#include "outside/qxdb.h"
#include "outside/qxdb_store.h"
#include "web_utils/event_codecs.h"
#include "web_utils/schedule_codec.h"

namespace {


// A parsed request object, released at the end of the scope.
struct Json {
    explicit Json(const char *text) : obj(json_tokener_parse(text)) { EXPECT_NE(obj, nullptr) << text; }
    ~Json() { json_object_put(obj); }
    json_object *get(const char *name) const
    {
        json_object *v = nullptr;
        return json_object_object_get_ex(obj, name, &v) ? v : nullptr;
    }
    json_object *obj;
};

// The text of a built value (which is released).
std::string text(json_object *v)
{
    std::string s = v ? json_object_to_json_string(v) : "(null)";
    json_object_put(v);
    return s;
}

class Codec : public ::testing::Test {
protected:
    nvrtest::TestRoot root; // a fresh store for every test
    void TearDown() override { qxdb::close_all(); }
};

// A page's schedule member: day d, segment g = ["dd:gg", "<31 x's + tail>", d*100+g].
std::string week_json(int days, int segs)
{
    std::string s = "[";
    for (int d = 0; d < days; d++) {
        s += d ? ",[" : "[";
        for (int g = 0; g < segs; g++) {
            char seg[160];
            snprintf(seg, sizeof seg, "%s[\"%02d:%02d\",\"%s\",%d]", g ? "," : "", d, g,
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxTAIL", d * 100 + g);
            s += seg;
        }
        s += "]";
    }
    return s + "]";
}

using Reader = int (*)(json_object *, const char *, ScheduleRecord *);
using Builder = json_object *(*)(const ScheduleRecord *);

struct SchedulePair {
    const char *name;
    Reader read;
    Builder build;
};
const SchedulePair kPairs[] = {
    {"plain", get_schedule_by_json, get_schedule_json_object},
    {"ex", get_schedule_by_json_ex, get_schedule_json_object_ex},
    {"ipc", get_schedule_by_json_ipc, get_schedule_json_object_ipc},
};

TEST_F(Codec, ScheduleReadsTwelveSegmentsOfEightDaysAndClearsTheRest)
{
    Json req(("{\"schedule\":" + week_json(9, 13) + "}").c_str());
    for (const SchedulePair &p : kPairs) {
        static ScheduleRecord s;
        memset(&s, 0x41, sizeof s);
        ASSERT_EQ(p.read(req.obj, "schedule", &s), 0) << p.name;
        EXPECT_STREQ(s.day[7].seg[11].start_time, "07:11") << p.name;
        EXPECT_EQ(strlen(s.day[0].seg[0].end_time), 31u) << "cut to the field";
        EXPECT_EQ(s.day[7].seg[11].action_type, 711);
        EXPECT_EQ(s.day[3].seg[12].start_time[0], 0) << "segment 12 is never read";
        EXPECT_EQ(s.day[5].seg[47].action_type, 0) << "old slots are cleared";
        EXPECT_EQ(s.day[2].action, 0);
        EXPECT_EQ(s.day[2].valid, p.read == get_schedule_by_json_ipc ? 1 : 0) << p.name;
    }
}

TEST_F(Codec, ScheduleAnswersTwelveObjectsPerDay)
{
    static ScheduleRecord s;
    memset(&s, 0, sizeof s);
    copy_text(s.day[0].seg[0].start_time, "00:00");
    copy_text(s.day[0].seg[0].end_time, "24:00");
    s.day[0].seg[0].action_type = 1;
    memset(s.day[1].seg[0].start_time, 'a', 32);    // a full field, no NUL inside
    s.day[0].valid = 1;
    for (const SchedulePair &p : kPairs) {
        json_object *days = p.build(&s);
        ASSERT_TRUE(json_object_is_type(days, json_type_array));
        ASSERT_EQ(json_object_array_length(days), 8u);
        json_object *day0 = json_object_array_get_idx(days, 0);
        ASSERT_EQ(json_object_array_length(day0), 12u);
        EXPECT_STREQ(json_object_to_json_string(json_object_array_get_idx(day0, 0)),
                     "{ \"startTime\": \"00:00\", \"endTime\": \"24:00\", \"actionType\": 1 }")
            << p.name;
        json_object *day1seg0 = json_object_array_get_idx(json_object_array_get_idx(days, 1), 0);
        json_object *start = nullptr;
        json_object_object_get_ex(day1seg0, "startTime", &start);
        // The camera-side form answers a day that is not valid with empty segments.
        EXPECT_EQ(strlen(json_object_get_string(start)), p.build == get_schedule_json_object_ipc ? 0u : 32u)
            << p.name;
        json_object_put(days);
    }
    EXPECT_EQ(get_schedule_json_object(nullptr), nullptr);
}

TEST_F(Codec, ScheduleRoundTripsThroughTheStore)
{
    Json req(("{\"audible\":" + week_json(8, 12) + "}").c_str());
    static ScheduleRecord s, back;
    ASSERT_EQ(get_schedule_by_json_ex(req.obj, "audible", &s), 0);
    ASSERT_EQ(write_motion_audible_schedule(CONFIG_DB_PATH, &s, 12), 0);
    ASSERT_EQ(read_motion_audible_schedule(CONFIG_DB_PATH, &back, 12), 0);
    std::string once = text(get_schedule_json_object_ex(&back));
    // Page form in, answer form out, and the answer's values read back equal.
    EXPECT_NE(once.find("{ \"startTime\": \"06:03\", \"endTime\": \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\", "
                        "\"actionType\": 603 }"),
              std::string::npos);
}

TEST_F(Codec, ScheduleMembersOfTheWrongShapeAreReadSafely)
{
    struct Case {
        const char *req;
        int result;
        const char *d0s0_start;    // day 0, segment 0 (nullptr: record untouched)
        const char *d2s1_end;      // day 2, segment 1
        int d2s1_action;
    } cases[] = {
        {"{}", -1, nullptr, nullptr, 0},
        {"{\"s\":null}", -1, nullptr, nullptr, 0},
        {"{\"s\":\"junk\"}", -1, nullptr, nullptr, 0},
        {"{\"s\":{\"0\":[]}}", -1, nullptr, nullptr, 0},
        {"{\"s\":17}", -1, nullptr, nullptr, 0},
        {"{\"s\":[]}", 0, "", "", 0},
        {"{\"s\":[[[\"01:00\",\"02:00\",1]]]}", 0, "01:00", "", 0},
        {"{\"s\":[[[\"only\"]]]}", 0, "only", "", 0},
        {"{\"s\":[5,\"x\",[7,[\"a\",\"b\"]],null]}", 0, "", "b", 0},
        {"{\"s\":[{},{},[{\"startTime\":\"x\"},[\"a\",\"b\",\"9\"]]]}", 0, "", "b", 9},
        {"{\"s\":[[[1,2.5,\"3\"]]]}", 0, "1", "", 0},
        {"{\"s\":[[[null,null,null]]]}", 0, "", "", 0},
    };
    for (const auto &c : cases) {
        Json req(c.req);
        static ScheduleRecord s;
        memset(&s, 0x41, sizeof s);
        s.day[0].seg[0].start_time[31] = 0;
        EXPECT_EQ(get_schedule_by_json(req.obj, "s", &s), c.result) << c.req;
        if (!c.d0s0_start) {
            EXPECT_EQ(s.day[0].seg[0].end_time[0], 0x41) << c.req << ": must stay untouched";
            continue;
        }
        EXPECT_STREQ(s.day[0].seg[0].start_time, c.d0s0_start) << c.req;
        EXPECT_STREQ(s.day[2].seg[1].end_time, c.d2s1_end) << c.req;
        EXPECT_EQ(s.day[2].seg[1].action_type, c.d2s1_action) << c.req;
        EXPECT_EQ(s.day[7].seg[47].action_type, 0) << c.req;
    }
    static ScheduleRecord s;
    Json req("{\"s\":[]}");
    EXPECT_EQ(get_schedule_by_json(nullptr, "s", &s), -1);
    EXPECT_EQ(get_schedule_by_json(req.obj, nullptr, &s), -1);
    EXPECT_EQ(get_schedule_by_json(req.obj, "s", nullptr), -1);
}

TEST_F(Codec, CopyMaskTakesTheCountedChannelsInRange)
{
    struct Case {
        const char *req;
        uint64_t mask;
    } cases[] = {
        {"{\"copyCnt\":3,\"copyChn\":[0,5,70]}", (1ull << 0) | (1ull << 5)},
        {"{\"copyCnt\":0,\"copyChn\":[0,5]}", 0},
        {"{\"copyCnt\":-2,\"copyChn\":[0,5]}", 0},
        {"{\"copyChn\":[0,5]}", 0},
        {"{\"copyCnt\":2}", 0},
        {"{\"copyCnt\":2,\"copyChn\":5}", 0},
        {"{\"copyCnt\":2,\"copyChn\":{\"0\":1}}", 0},
        {"{\"copyCnt\":1,\"copyChn\":[3,4]}", 1ull << 3},
        {"{\"copyCnt\":10,\"copyChn\":[63,1]}", (1ull << 63) | (1ull << 1)},
        {"{\"copyCnt\":\"2\",\"copyChn\":[8,9]}", (1ull << 8) | (1ull << 9)},
        {"{\"copyCnt\":6,\"copyChn\":[-1,64,null,\"x\",\"12\",[2]]}", 1ull << 12},
    };
    for (const auto &c : cases) {
        Json req(c.req);
        EXPECT_EQ(get_copy_flag_by_json(req.obj, "copyChn", "copyCnt"), c.mask) << c.req;
    }
    EXPECT_EQ(get_copy_flag_by_json(nullptr, "copyChn", "copyCnt"), 0u);
}

TEST_F(Codec, AlarmOutputTriggers)
{
    MotionRecord m{};
    copy_text(m.tri_chn_alarms[0], "0101");
    memset(m.tri_chn_alarms[1], '1', sizeof m.tri_chn_alarms[1]);    // full field
    EXPECT_EQ(text(get_event_chn_alarmout_object(m.tri_chn_alarms[0], m.tri_chn_alarms[1])),
              "[ \"0101\", \"" + std::string(65, '1') + "\" ]");

    Json req(("{\"triChnAlarms\":[\"11\",\"" + std::string(100, '0') + "\"],\"one\":[\"1\"],\"bad\":\"1\"}").c_str());
    AlarmOutTrigger e[2];
    memset(e, 0, sizeof e);
    ASSERT_EQ(get_event_chn_alarmout_by_object(4, req.obj, "triChnAlarms", e), 0);
    EXPECT_EQ(e[0].channel, 4);
    EXPECT_EQ(e[1].index, 1);
    EXPECT_STREQ(e[0].text, "11");
    EXPECT_EQ(strlen(e[1].text), 64u);

    memset(e, 0, sizeof e);
    ASSERT_EQ(get_event_chn_alarmout_by_object(4, req.obj, "one", e), 0);
    EXPECT_STREQ(e[0].text, "1");
    EXPECT_EQ(e[1].channel, 0) << "no second item, entry untouched";
    EXPECT_EQ(get_event_chn_alarmout_by_object(4, req.obj, "bad", e), -1);
    EXPECT_EQ(get_event_chn_alarmout_by_object(4, req.obj, "missing", e), -1);
}

TEST_F(Codec, WhiteInfoReadsEitherFormInTheFormItsTextSelects)
{
    struct Case {
        const char *member;
        int result;
        WhiteLedEntry e0, e1;
        int used;    // entries after e1 that are filled
    } cases[] = {
        {"[[1,2,3],[4,5,6]]", 0, {7, 1, 2, 3}, {7, 4, 5, 6}, 0},
        {"[{\"chnid\":1,\"mode\":2,\"time\":3},{\"time\":6,\"mode\":5,\"chnid\":4}]", 0, {7, 1, 2, 3}, {7, 4, 5, 6}, 0},
        // mixed: "chnid" appears, so every item is read as an object
        {"[[1,2,3],{\"chnid\":4,\"mode\":5,\"time\":6}]", 0, {7, 0, 0, 0}, {7, 4, 5, 6}, 0},
        // no "chnid": objects are read as arrays, which they are not
        {"[{\"mode\":2},[4,5]]", 0, {7, 0, 0, 0}, {7, 4, 5, 0}, 0},
        {"[[1,2,3],null,[4,5,6]]", 0, {7, 1, 2, 3}, {0, 0, 0, 0}, 0},
        {"[[1,1,1],[2,2,2],[3],[4],[5],[6],[7],[8],[9],[10]]", 0, {7, 1, 1, 1}, {7, 2, 2, 2}, 6},
        {"{\"chnid\":1}", -1, {9, 9, 9, 9}, {9, 9, 9, 9}, 6},
        {"\"chnid\"", -1, {9, 9, 9, 9}, {9, 9, 9, 9}, 6},
    };
    for (const auto &c : cases) {
        Json req(("{\"whiteInfo\":" + std::string(c.member) + "}").c_str());
        WhiteLedParams p;
        for (WhiteLedEntry &e : p.entry)
            e = {9, 9, 9, 9};
        EXPECT_EQ(get_white_params_by_json(7, &p, req.obj, "whiteInfo"), c.result) << c.member;
        EXPECT_EQ(memcmp(&p.entry[0], &c.e0, sizeof c.e0), 0) << c.member;
        EXPECT_EQ(memcmp(&p.entry[1], &c.e1, sizeof c.e1), 0) << c.member;
        int used = 0;
        for (int i = 2; i < WHITELED_ENTRIES; i++)
            used += p.entry[i].owner != 0;
        EXPECT_EQ(used, c.used) << c.member;
    }
}

TEST_F(Codec, WhiteInfoAnswersTheStoredEntries)
{
    Json req("{\"whiteInfo\":[[1,2,3],[4,5,6]]}");
    WhiteLedParams p;
    ASSERT_EQ(get_white_params_by_json(3, &p, req.obj, "whiteInfo"), 0);
    ASSERT_EQ(write_whiteled_params_all(CONFIG_DB_PATH, "motion_white_led_params", 3, &p), 0);
    EXPECT_EQ(text(get_white_params_json_object(3, "motion_white_led_params")),
              "[ { \"chnid\": 1, \"mode\": 2, \"time\": 3 }, { \"chnid\": 4, \"mode\": 5, \"time\": 6 } ]");
    EXPECT_EQ(text(get_white_params_json_object(4, "motion_white_led_params")), "[ ]");
    EXPECT_EQ(text(get_white_params_json_object(3, "video_loss_white_led_params")), "[ ]");
    EXPECT_EQ(text(get_white_params_json_object(99, "motion_white_led_params")), "[ ]");

    ASSERT_EQ(get_pcnt_white_params_by_json(2, &p, req.obj, "whiteInfo"), 0);
    EXPECT_EQ(p.entry[1].owner, 2);
    ASSERT_EQ(write_peoplecnt_wled_params_all(CONFIG_DB_PATH, 2, &p), 0);
    EXPECT_EQ(text(get_pcnt_white_params_json_object(2)),
              "[ { \"chnid\": 1, \"mode\": 2, \"time\": 3 }, { \"chnid\": 4, \"mode\": 5, \"time\": 6 } ]");
}

TEST_F(Codec, HttpParamsAreStoredExactlyAsSent)
{
    const char *table = "motion_http_notification_params";
    Json req("{\"httpParams\":{\"url\":\"http://cam/a%20b?x=%25s&y=%d\",\"username\":\"admin\","
             "\"password\":\"p%40ss\"},\"bad\":[1]}");
    HttpNotificationParams p;
    memset(&p, 0x7F, sizeof p);
    ASSERT_EQ(get_http_params_by_json(5, &p, req.obj, "httpParams"), 0);
    EXPECT_EQ(p.channel, 5);
    EXPECT_STREQ(p.url, "http://cam/a%20b?x=%25s&y=%d");
    ASSERT_EQ(write_http_notification_params(CONFIG_DB_PATH, table, &p), 0);
    EXPECT_EQ(text(get_http_params_json_object(5, table)),
              "{ \"chnId\": 5, \"url\": \"http:\\/\\/cam\\/a%20b?x=%25s&y=%d\", \"username\": \"admin\", "
              "\"password\": \"p%40ss\" }");
    EXPECT_EQ(text(get_http_params_json_object(6, table)),
              "{ \"chnId\": 6, \"url\": \"\", \"username\": \"\", \"password\": \"\" }");

    HttpNotificationParams untouched;
    memset(&untouched, 0x7F, sizeof untouched);
    EXPECT_EQ(get_http_params_by_json(5, &untouched, req.obj, "bad"), -1);
    EXPECT_EQ(get_http_params_by_json(5, &untouched, req.obj, "missing"), -1);
    EXPECT_EQ(untouched.channel, 0x7F7F7F7F);

    // Texts longer than their fields are cut.
    Json big(("{\"h\":{\"url\":\"" + std::string(600, 'u') + "\",\"username\":\"" + std::string(200, 'n') +
              "\",\"password\":\"" + std::string(100, 'p') + "\"}}")
                 .c_str());
    ASSERT_EQ(get_http_params_by_json(1, &p, big.obj, "h"), 0);
    EXPECT_EQ(strlen(p.url), 512u);
    EXPECT_EQ(strlen(p.username), 96u);
    EXPECT_EQ(strlen(p.password), 64u);
}

TEST_F(Codec, PtzParamsStoreAndAnswerTheEntriesInUse)
{
    Json req("{\"ptzParams\":[{\"acto_ptz_channel\":2,\"acto_ptz_type\":1,\"acto_ptz_preset\":7,"
             "\"acto_ptz_patrol\":0,\"acto_ptz_pattern\":4},"
             "{\"acto_ptz_channel\":0,\"acto_ptz_type\":2,\"acto_ptz_patrol\":3},"
             "\"junk\","
             "{\"acto_ptz_channel\":5,\"acto_ptz_type\":2,\"acto_ptz_patrol\":3}]}");
    json_object *arr = req.get("ptzParams");
    EXPECT_EQ(set_ptz_params_by_json(3, 1, arr), 1);
    PtzActionRecord r;
    int32_t count = 0;
    ASSERT_EQ(read_ptz_params(CONFIG_DB_PATH, &r, 1, 3, &count), 0);
    EXPECT_EQ(r.entry[0].chn_id, 3);
    EXPECT_EQ(r.entry[0].acto_ptz_pattern, 4);
    EXPECT_EQ(r.entry[2].chn_id, 3);
    EXPECT_EQ(r.entry[2].acto_ptz_channel, 0);
    const char *answer = "[ { \"acto_ptz_channel\": 2, \"acto_ptz_type\": 1, \"acto_ptz_preset\": 7, "
                         "\"acto_ptz_patrol\": 0 }, { \"acto_ptz_channel\": 5, \"acto_ptz_type\": 2, "
                         "\"acto_ptz_preset\": 0, \"acto_ptz_patrol\": 3 } ]";
    EXPECT_EQ(text(get_ptz_params_json_object(1, 3)), answer);
    EXPECT_EQ(text(get_ptz_params_json_object(2, 3)), "[ ]");

    // People counting keeps its own list.
    EXPECT_EQ(set_ptz_params_by_json(1, QXDB_PTZ_KIND_PEOPLECNT, arr), 1);
    EXPECT_EQ(text(get_ptz_params_json_object(QXDB_PTZ_KIND_PEOPLECNT, 1)), answer);
    EXPECT_EQ(text(get_ptz_params_json_object(1, 1)), "[ ]");
}

TEST_F(Codec, PtzParamsAreRefusedOutsideEventsZeroToSeven)
{
    Json req("{\"ptzParams\":[{\"acto_ptz_channel\":2}],\"obj\":{\"acto_ptz_channel\":2}}");
    PtzActionRecord r;
    memset(&r, 0x22, sizeof r);
    EXPECT_EQ(get_ptz_params_by_json(8, 1, req.get("ptzParams"), &r), -1);
    EXPECT_EQ(get_ptz_params_by_json(-1, 1, req.get("ptzParams"), &r), -1);
    EXPECT_EQ(get_ptz_params_by_json(1, 1, req.get("obj"), &r), -1);
    EXPECT_EQ(get_ptz_params_by_json(1, 1, nullptr, &r), -1);
    EXPECT_EQ(get_ptz_params_by_json(1, 1, req.get("ptzParams"), nullptr), -1);
    EXPECT_EQ(r.entry[0].chn_id, 0x22222222);

    EXPECT_EQ(set_ptz_params_by_json(8, 1, req.get("ptzParams")), 0);
    EXPECT_EQ(set_ptz_params_by_json(2, 1, req.get("obj")), 0);
    EXPECT_EQ(set_ptz_params_by_json(2, 1, nullptr), 0);
    EXPECT_EQ(set_ptz_params_by_json(2, 64, req.get("ptzParams")), 0) << "no such kind: not stored";
    int32_t count = 0;
    ASSERT_EQ(read_ptz_params(CONFIG_DB_PATH, &r, 1, 8, &count), 0);
    EXPECT_EQ(r.entry[0].acto_ptz_channel, 0);
    ASSERT_EQ(read_ptz_params(CONFIG_DB_PATH, &r, 1, 2, &count), 0);
    EXPECT_EQ(r.entry[0].acto_ptz_channel, 0);
}

TEST_F(Codec, AudioFileMaskHasTheEntriesHoldingAFile)
{
    EXPECT_EQ(get_audio_file_id_mask(), 0u);
    for (int id : {0, 3, 9}) {
        AlarmAudioFile f{};
        f.id = id;
        f.enable = id == 3 ? 0 : 1;
        ASSERT_EQ(write_alarm_audio_file(CONFIG_DB_PATH, &f), 0);
    }
    EXPECT_EQ(get_audio_file_id_mask(), (1u << 0) | (1u << 9));
}

} // namespace
