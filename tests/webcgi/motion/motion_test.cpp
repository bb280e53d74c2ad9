// Motion detection routes: settings, schedules, actions and the camera's
// motion map, through the real program and a fake core daemon.
#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

#include <json-c/json.h>

#include "motion_fixture.h"

using namespace nvrtest;
using namespace motiontest;

namespace {

const std::string kOk = text_answer("OK");
const std::string kTextError = text_answer("CGI ERROR");
const std::string kJsonError = json_answer("{status:\"CGI ERROR\"}");

std::string basic_body(const std::string &overrides)
{
    // Later members of the same name win in json-c, so overrides go last.
    std::string body = R"({"camId":3,"enable":1,"sensitivity":4,"triChannels":"1010","triAlarms":6,)"
                       R"("interval":30,"motionTable":"ffff","enableQX":1)";
    return body + (overrides.empty() ? "" : "," + overrides) + "}";
}

// ---- "/6012" -------------------------------------------------------------------

TEST_F(MotionTest, SetBasicStoresTheRecordAndTellsDaemonAndCamera)
{
    MotionRecord old = motion_record(3);
    old.email_interval = 77;
    copy_text(old.tri_chn_alarms[1], "0101");
    old.audio_id = 5;
    ASSERT_EQ(write_motion(CONFIG_DB_PATH, &old), 0);

    std::string chans(64, '0');
    chans[0] = chans[31] = chans[40] = '1';
    std::string table(400, 'a');
    table[298] = 'Y';
    table[299] = 'Z';   // the 300th character reaches the store, not the camera

    struct Case {
        int qx;
        std::vector<int32_t> codes;
    } cases[] = {
        {1, {1403, 3207, 3212, 3209, 3485}},
        {0, {1403, 3207, 3212, 3485}},
        {2, {1403, 3207, 3212, 3485}},
    };
    for (const Case &c : cases) {
        std::string body = R"({"camId":3,"enable":2,"sensitivity":4,"triChannels":")" + chans +
                           R"(","triAlarms":6,"interval":30,"motionTable":")" + table +
                           R"(","enableQX":)" + std::to_string(c.qx) + "}";
        CgiResult r = post("/6012", body);
        EXPECT_EQ(r.out, kOk);
        ASSERT_EQ(codes_of(r.requests), c.codes) << "enableQX " << c.qx;

        EXPECT_EQ(r.requests[0].payload, le32(3));
        Bytes cam = Buf(332).text(4, table.substr(0, 299)).i32(304, 4).i32(308, 3).b;
        EXPECT_EQ(hex(r.requests[1].payload), hex(cam));
        Bytes mode = Buf(268).i32(0, 3).i32(4, c.qx == 1 ? 1 : 0).b;
        EXPECT_EQ(r.requests[2].payload, mode);
        if (c.qx == 1)
            EXPECT_EQ(hex(r.requests[3].payload), hex(full_day_schedule(3).b));
        expect_motion_log(r.requests.back().payload, 4);
        EXPECT_EQ(r.requests.back().payload.size(), 672u);

        MotionRecord m;
        ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 3), 0);
        EXPECT_EQ(m.enable, 2);
        EXPECT_EQ(m.sensitivity, 4);
        EXPECT_EQ(m.tri_alarms, 6);
        EXPECT_EQ(m.interval, 30);
        EXPECT_EQ(m.enable_qx, c.qx);
        EXPECT_EQ(std::string(m.tri_channels, field_len(m.tri_channels)), chans);
        // Only channels 0-31 reach the mask.
        EXPECT_EQ(m.tri_channel_mask, 0x80000001u);
        EXPECT_EQ(std::string(m.motion_table, field_len(m.motion_table)), table.substr(0, 367));
        // Fields the route does not own keep their stored values.
        EXPECT_EQ(m.email_interval, 77);
        EXPECT_STREQ(m.tri_chn_alarms[1], "0101");
        EXPECT_EQ(m.audio_id, 5);
    }
}

TEST_F(MotionTest, SetBasicRefusesBadRequestsWithoutAnyTrace)
{
    MotionRecord old = motion_record(3);
    old.sensitivity = 9;
    ASSERT_EQ(write_motion(CONFIG_DB_PATH, &old), 0);
    const std::string cases[] = {
        basic_body(R"("enable":3)"),
        basic_body(R"("enable":-1)"),
        basic_body(R"("camId":64)"),
        basic_body(R"("camId":-1)"),
        basic_body(R"("sensitivity":-1)"),
        basic_body(R"("triAlarms":-1)"),
        basic_body(R"("interval":-5)"),
        R"({"camId":3,"enable":1,"sensitivity":4,"triAlarms":6,"interval":30,"motionTable":"f","enableQX":1})",
        R"({"camId":3,"enable":1,"sensitivity":4,"triChannels":"1","triAlarms":6,"interval":30,"enableQX":1})",
        R"({"camId":3,"enable":1,"sensitivity":4,"triChannels":"1","triAlarms":6,"interval":30,"motionTable":"f"})",
        R"({"enable":1,"sensitivity":4,"triChannels":"1","triAlarms":6,"interval":30,"motionTable":"f","enableQX":1})",
        "{\"camId\":3,",
        "[3]",
        "",
    };
    for (const std::string &body : cases) {
        CgiResult r = post("/6012", body);
        EXPECT_EQ(r.out, "") << body;
        EXPECT_TRUE(r.requests.empty()) << body;
    }
    MotionRecord m;
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 3), 0);
    EXPECT_EQ(hex(bytes_of(m)), hex(bytes_of(old)));
}

TEST_F(MotionTest, StoreThatCannotBeOpenedIsNotReportedAsSuccess)
{
    qxdb::close_all();
    ASSERT_EQ(unlink(root.path(CONFIG_DB_PATH).c_str()) == 0 || errno == ENOENT, true);
    root.mkdirs(CONFIG_DB_PATH);   // a directory where the store file should be
    CgiResult r = post("/6012", basic_body(""));
    EXPECT_EQ(r.out, kTextError);
    EXPECT_TRUE(r.requests.empty());
}

// ---- Schedules -----------------------------------------------------------------

struct SegmentValue {
    std::string start, end;
    int type;
};

SegmentValue page_segment(int d, int g)
{
    return {"s" + std::to_string(d) + ":" + std::to_string(g), "e" + std::to_string(d), d * 100 + g};
}

// 8 days of 12 [start, end, type] arrays as the pages send them; the
// first segment of day 2 has a start text longer than its field.
std::string schedule_request()
{
    std::string s = "[";
    for (int d = 0; d < 8; d++) {
        s += d ? ",[" : "[";
        for (int g = 0; g < 12; g++) {
            SegmentValue v = page_segment(d, g);
            if (d == 2 && g == 0)
                v.start = std::string(40, 'x');
            s += (g ? "," : "") + std::string("[\"") + v.start + "\",\"" + v.end + "\"," + std::to_string(v.type) + "]";
        }
        s += "]";
    }
    return s + "]";
}

// The answer form, in json-c's default text form.
std::string schedule_answer()
{
    std::string s = "[ ";
    for (int d = 0; d < 8; d++) {
        s += d ? ", [ " : "[ ";
        for (int g = 0; g < 12; g++) {
            SegmentValue v = page_segment(d, g);
            if (d == 2 && g == 0)
                v.start = std::string(31, 'x');
            s += (g ? ", " : "") + std::string("{ \"startTime\": \"") + v.start + "\", \"endTime\": \"" + v.end +
                 "\", \"actionType\": " + std::to_string(v.type) + " }";
        }
        s += " ]";
    }
    return s + " ]";
}

struct ScheduleRoute {
    const char *set_path;
    const char *get_path;    // nullptr: no read route of its own
    int32_t (*read)(const char *, ScheduleRecord *, int32_t);
    int32_t (*write)(const char *, const ScheduleRecord *, int32_t);
};

const ScheduleRoute kScheduleRoutes[] = {
    {"/6013", nullptr, read_motion_schedule, write_motion_schedule},
    {"/6118", "/6120", read_motion_email_schedule, write_motion_email_schedule},
    {"/6152", "/6153", read_motion_effective_schedule, write_motion_effective_schedule},
    {"/6159", "/6158", read_motion_ptz_schedule, write_motion_ptz_schedule},
};

TEST_F(MotionTest, ScheduleRoutesExchangeTwelveSegmentsAndClearTheRest)
{
    static ScheduleRecord before, after;
    before = full_schedule("old");
    for (const ScheduleRoute &rt : kScheduleRoutes) {
        ASSERT_EQ(rt.write(CONFIG_DB_PATH, &before, 5), 0);
        CgiResult r = post(rt.set_path, R"({"camId":5,"enable":1,"interval":60,"schedule":)" + schedule_request() + "}");
        EXPECT_EQ(r.out, kOk) << rt.set_path;
        ASSERT_EQ(codes_of(r.requests), std::vector<int32_t>{1403}) << rt.set_path;
        EXPECT_EQ(r.requests[0].payload, le32(5));

        ASSERT_EQ(rt.read(CONFIG_DB_PATH, &after, 5), 0);
        for (int d = 0; d < SCHEDULE_DAYS; d++) {
            for (int g = 0; g < SCHEDULE_SEGMENTS; g++) {
                const ScheduleSegment &seg = after.day[d].seg[g];
                if (g < 12) {
                    SegmentValue v = page_segment(d, g);
                    if (d == 2 && g == 0)
                        v.start = std::string(31, 'x');
                    EXPECT_EQ(seg.start_time, v.start);
                    EXPECT_EQ(seg.end_time, v.end);
                    EXPECT_EQ(seg.action_type, v.type);
                } else {
                    ASSERT_EQ(hex(bytes_of(seg)), hex(Bytes(sizeof seg, '\0')))
                        << rt.set_path << " day " << d << " slot " << g;
                }
            }
            EXPECT_EQ(after.day[d].valid, 0);
            EXPECT_EQ(after.day[d].action, 0);
        }
        if (rt.get_path)
            EXPECT_EQ(get(rt.get_path, "5").out, json_answer(schedule_answer())) << rt.get_path;
    }
    // "/6011" answers the buzzer schedule.
    ASSERT_EQ(write_motion_audible_schedule(CONFIG_DB_PATH, &after, 5), 0);
    EXPECT_EQ(get("/6011", "5").out, json_answer(schedule_answer()));
}

TEST_F(MotionTest, EmailScheduleRouteAlsoSetsTheEmailFields)
{
    MotionRecord old = motion_record(5);
    old.sensitivity = 8;
    ASSERT_EQ(write_motion(CONFIG_DB_PATH, &old), 0);
    EXPECT_EQ(post("/6118", R"({"camId":5,"enable":1,"interval":60,"schedule":[]})").out, kOk);
    MotionRecord m;
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 5), 0);
    EXPECT_EQ(m.email_enable, 1);
    EXPECT_EQ(m.email_interval, 60);
    EXPECT_EQ(m.sensitivity, 8);
}

TEST_F(MotionTest, ScheduleSetRoutesRefuseChannelsOutsideTheRecorder)
{
    static ScheduleRecord before, after;
    before = full_schedule("keep");
    const char *bodies[] = {
        R"({"camId":64,"schedule":[]})",
        R"({"camId":-1,"schedule":[]})",
        R"({"schedule":[]})",
        R"({"camId":5})",       // no schedule: the stored one is not wiped
        R"({"camId":5,"schedule":{"a":1}})",
        "not json",
    };
    for (const ScheduleRoute &rt : kScheduleRoutes) {
        ASSERT_EQ(rt.write(CONFIG_DB_PATH, &before, 5), 0);
        for (const char *body : bodies) {
            if (std::string(rt.set_path) == "/6118" && std::string(body).find("\"camId\":5") != std::string::npos)
                continue;   // the e-mail fields alone are a valid request there
            CgiResult r = post(rt.set_path, body);
            EXPECT_EQ(r.out, kTextError) << rt.set_path << " " << body;
            EXPECT_TRUE(r.requests.empty()) << rt.set_path << " " << body;
        }
        ASSERT_EQ(rt.read(CONFIG_DB_PATH, &after, 5), 0);
        EXPECT_EQ(memcmp(&before, &after, sizeof before), 0) << rt.set_path;
    }
}

TEST_F(MotionTest, ScheduleReadRoutesAnswerOnlyForAChannel)
{
    for (const char *path : {"/6011", "/6120", "/6153", "/6158"})
        for (const char *query : {"", "abc", "64", "-1"})
            EXPECT_EQ(get(path, query).out, "") << path << " " << query;
}

// ---- "/6098" ------------------------------------------------------------------

TEST_F(MotionTest, MotionMapIsAnsweredFromTheCameraReply)
{
    Bytes rec = Buf(332).i32(0, 1).text(4, std::string(300, 'm')).i32(304, 3).i32(308, 7).i32(312, 2)
                    .i32(316, 5).i32(320, 6).i32(324, 8).i32(328, 9).b;
    daemon.reply(3206, rec + rec);
    CgiResult r = post("/6098", R"({"id":7})");
    // The map fills its field: it is read no further than the field.
    EXPECT_EQ(r.out, json_answer("{ \"map\": \"" + std::string(300, 'm') +
                                 "\", \"sensitivity\": 3, \"result\": 2, \"enable\": 1, \"modelType\": 5, "
                                 "\"fishdisplay\": 6, \"fishtransfer\": 8, \"fishinstall\": 9 }"));
    ASSERT_EQ(codes_of(r.requests), std::vector<int32_t>{3206});
    EXPECT_EQ(r.requests[0].payload, le32(7));
}

TEST_F(MotionTest, MotionMapWithoutAUsableReplyGivesTheErrorText)
{
    struct Case {
        const char *what;
        std::vector<DaemonReply> replies;
    } cases[] = {
        {"no reply", {}},
        {"short reply", {{8206, Bytes(331, 'x')}}},
    };
    for (const Case &c : cases) {
        daemon.on(3206, c.replies);
        EXPECT_EQ(post("/6098", R"({"id":1})").out, kTextError) << c.what;
    }
}

TEST_F(MotionTest, MotionMapRefusesBadIdsWithoutAsking)
{
    for (const char *body : {R"({"id":-1})", R"({"id":64})", R"({"chnid":1})", "x"}) {
        CgiResult r = post("/6098", body);
        EXPECT_EQ(r.out, "") << body;
        EXPECT_TRUE(r.requests.empty()) << body;
    }
}

// ---- "/6113", "/6114", "/6119" ----------------------------------------------------

TEST_F(MotionTest, BasicAndTriggerRoutesNeedAStoredChannel)
{
    for (int32_t chn = 0; chn < 4; chn++) {
        MotionRecord m = motion_record(chn);
        m.audio_id = 40 + chn;
        ASSERT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
    }
    for (const char *path : {"/6113", "/6114"}) {
        for (const char *body : {R"({"camId":4,"sensitivity":1})", R"({"camId":-1,"sensitivity":1})",
                                 R"({"sensitivity":1})", "{"}) {
            CgiResult r = post(path, body);
            EXPECT_EQ(r.out, "") << path << " " << body;
            EXPECT_TRUE(r.requests.empty()) << path << " " << body;
        }
    }

    // "/6113" takes any enable, and sends the camera mode but no log.
    CgiResult r = post("/6113", R"({"camId":3,"sensitivity":2,"enableQX":1,"enable":5,"triAlarms":1,"interval":9,)"
                                R"("schedule":)" + schedule_request() + "}");
    EXPECT_EQ(r.out, kOk);
    EXPECT_EQ(codes_of(r.requests), (std::vector<int32_t>{1403, 1403, 3212, 3209}));
    EXPECT_EQ(hex(r.requests[3].payload), hex(full_day_schedule(3).b));
    MotionRecord m;
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 3), 0);
    EXPECT_EQ(m.enable, 5);
    EXPECT_EQ(m.sensitivity, 2);
    EXPECT_EQ(m.audio_id, 43);
    static ScheduleRecord s;
    ASSERT_EQ(read_motion_schedule(CONFIG_DB_PATH, &s, 3), 0);
    EXPECT_STREQ(s.day[7].seg[11].start_time, "s7:11");

    r = post("/6114", R"({"camId":2,"sensitivity":6,"triChannels":"0110","triAlarms":3,"interval":1,"enableQX":0})");
    EXPECT_EQ(r.out, kOk);
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{1403, 3485}));
    EXPECT_EQ(r.requests[0].payload, le32(2));
    expect_motion_log(r.requests[1].payload, 3);
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 2), 0);
    EXPECT_STREQ(m.tri_channels, "0110");
    EXPECT_EQ(m.tri_channel_mask, 6u);
    EXPECT_EQ(m.tri_alarms, 3);
    EXPECT_EQ(m.audio_id, 42);
}

TEST_F(MotionTest, TriggerTypesChangeOneFieldEach)
{
    struct Case {
        const char *body;
        const char *channels;
        uint32_t mask;
        int32_t alarms;
    } cases[] = {
        {R"({"camId":6,"type":1,"triChannels":"11","triAlarms":9})", "11", 3, 4},
        {R"({"camId":6,"type":2,"triChannels":"11","triAlarms":9})", "01", 2, 9},
        {R"({"camId":6,"type":3,"triChannels":"11","triAlarms":9})", "01", 2, 4},
    };
    for (const Case &c : cases) {
        MotionRecord old = motion_record(6);
        copy_text(old.tri_channels, "01");
        old.tri_channel_mask = 2;
        old.tri_alarms = 4;
        ASSERT_EQ(write_motion(CONFIG_DB_PATH, &old), 0);
        CgiResult r = post("/6119", c.body);
        EXPECT_EQ(r.out, kOk) << c.body;
        EXPECT_EQ(codes_of(r.requests), (std::vector<int32_t>{1403, 3485})) << c.body;
        MotionRecord m;
        ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 6), 0);
        EXPECT_STREQ(m.tri_channels, c.channels) << c.body;
        EXPECT_EQ(m.tri_channel_mask, c.mask) << c.body;
        EXPECT_EQ(m.tri_alarms, c.alarms) << c.body;
    }
    for (const char *body : {R"({"camId":64,"type":2,"triAlarms":9})", R"({"camId":-3,"type":2})"}) {
        CgiResult r = post("/6119", body);
        EXPECT_EQ(r.out, kTextError) << body;
        EXPECT_TRUE(r.requests.empty()) << body;
    }
    int32_t count = 0;
    static MotionRecord all[64];
    ASSERT_EQ(read_motions(CONFIG_DB_PATH, all, &count), 0);
    EXPECT_EQ(count, 1);   // nothing was written for the refused channels
}

// ---- "/6117" ---------------------------------------------------------------------

TEST_F(MotionTest, ActionRouteChangesOnlyWhatItIsGiven)
{
    MotionRecord old = motion_record(9);
    old.sensitivity = 3;
    old.enable = 0;
    copy_text(old.tri_chn_alarms[0], "first");
    copy_text(old.tri_chn_alarms[1], "second");
    ASSERT_EQ(write_motion(CONFIG_DB_PATH, &old), 0);

    CgiResult r = post("/6117", R"({"chnid":9,"enable":1})");
    EXPECT_EQ(r.out, kOk);
    ASSERT_EQ(codes_of(r.requests), std::vector<int32_t>{1403});
    EXPECT_EQ(r.requests[0].payload, le32(9));
    MotionRecord m;
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 9), 0);
    MotionRecord expect = old;
    expect.enable = 1;
    EXPECT_EQ(hex(bytes_of(m)), hex(bytes_of(expect)));

    // No action keys: nothing stored, the notice and "OK" all the same.
    r = post("/6117", R"({"chnid":9})");
    EXPECT_EQ(r.out, kOk);
    EXPECT_EQ(codes_of(r.requests), std::vector<int32_t>{1403});

    // A one-item alarm-output array keeps the second stored string.
    r = post("/6117", R"({"chnid":9,"triChnAlarms":["new"],"triChannels":"0000000001","tri_channels_pic":"11",)"
                      R"("white_interval":12,"whiteInfo":[[4,1,30]],"white":)" + schedule_request() + "}");
    EXPECT_EQ(r.out, kOk);
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 9), 0);
    EXPECT_STREQ(m.tri_chn_alarms[0], "new");
    EXPECT_STREQ(m.tri_chn_alarms[1], "second");
    EXPECT_EQ(m.tri_channel_mask, 1u << 9);
    EXPECT_STREQ(m.tri_channels_pic, "11");
    EXPECT_EQ(m.white_interval, 12);
    WhiteLedParams w;
    int32_t n = 0;
    ASSERT_EQ(read_whiteled_params(CONFIG_DB_PATH, "motion_white_led_params", 9, &w, &n), 0);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(w.entry[0].owner, 9);
    EXPECT_EQ(w.entry[0].chnid, 4);
    EXPECT_EQ(w.entry[0].time, 30);
    static ScheduleRecord s;
    ASSERT_EQ(read_whiteled_effective_schedule(CONFIG_DB_PATH, "motion_whiteled_esche", &s, 9), 0);
    EXPECT_STREQ(s.day[1].seg[1].start_time, "s1:1");

    for (const char *body : {R"({"chnid":64,"enable":1})", R"({"enable":1})", "nope"}) {
        r = post("/6117", body);
        EXPECT_EQ(r.out, kJsonError) << body;
        EXPECT_TRUE(r.requests.empty()) << body;
    }
}

// ---- "/6010" --------------------------------------------------------------------

TEST_F(MotionTest, SettingsAnswerCarriesEveryActionInOrder)
{
    MotionRecord m = motion_record(4);
    m.enable = 1;
    m.sensitivity = 3;
    copy_text(m.tri_channels, "0011");
    copy_text(m.motion_table, "grid");
    copy_text(m.tri_chn_alarms[0], "a0");
    copy_text(m.tri_chn_alarms[1], "a1");
    m.audio_id = 2;
    m.http_notification_interval = 15;
    ASSERT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
    static ScheduleRecord s;
    s = full_schedule("eff");
    ASSERT_EQ(write_motion_effective_schedule(CONFIG_DB_PATH, &s, 4), 0);
    WhiteLedParams w;
    memset(&w, 0, sizeof w);
    w.entry[0] = {4, 7, 1, 20};
    ASSERT_EQ(write_whiteled_params_all(CONFIG_DB_PATH, "motion_white_led_params", 4, &w), 0);
    HttpNotificationParams h;
    memset(&h, 0, sizeof h);
    h.channel = 4;
    copy_text(h.url, "http://x/%20y");
    ASSERT_EQ(write_http_notification_params(CONFIG_DB_PATH, "motion_http_notification_params", &h), 0);
    PtzActionRecord p;
    memset(&p, 0, sizeof p);
    p.entry[1] = {4, 2, 0, 1, 5, 0, 0};
    ASSERT_EQ(write_ptz_params_all(CONFIG_DB_PATH, &p, 1, 4), 0);
    for (int32_t id : {0, 2}) {
        AlarmAudioFile f = {id, 1, "f"};
        ASSERT_EQ(write_alarm_audio_file(CONFIG_DB_PATH, &f), 0);
    }

    CgiResult r = post("/6010", R"({"chnid":4})");
    ASSERT_EQ(r.header.find("application/json") != std::string::npos, true) << r.out;
    EXPECT_TRUE(r.requests.empty());
    json_object *o = json_tokener_parse(r.body.c_str());
    ASSERT_NE(o, nullptr) << r.body;
    std::vector<std::string> keys;
    json_object_object_foreach(o, key, val)
    {
        (void)val;
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{
                        "chnid", "enable", "sensitivity", "triChannels", "triAlarms", "interval", "enableQX",
                        "motionTable", "email_enable", "email_interval", "email_pic_enable", "tri_channels_pic",
                        "ptz_interval", "alarmout_interval", "http_notification_interval", "effective", "audible",
                        "email", "ptz", "triChnAlarms", "white", "whiteInfo", "white_interval", "httpSche",
                        "httpParams", "audioId", "audioIdMask", "ptzParams"}));
    auto text = [&](const char *k) {
        json_object *v = nullptr;
        json_object_object_get_ex(o, k, &v);
        return std::string(json_object_to_json_string_ext(v, JSON_C_TO_STRING_PLAIN));
    };
    EXPECT_EQ(text("chnid"), "4");
    EXPECT_EQ(text("triChannels"), "\"0011\"");
    EXPECT_EQ(text("motionTable"), "\"grid\"");
    EXPECT_EQ(text("triChnAlarms"), "[\"a0\",\"a1\"]");
    EXPECT_EQ(text("whiteInfo"), "[{\"chnid\":7,\"mode\":1,\"time\":20}]");
    EXPECT_EQ(text("httpParams"), "{\"chnId\":4,\"url\":\"http:\\/\\/x\\/%20y\",\"username\":\"\",\"password\":\"\"}");
    EXPECT_EQ(text("audioIdMask"), "5");
    EXPECT_EQ(text("ptzParams"),
              "[{\"acto_ptz_channel\":2,\"acto_ptz_type\":1,\"acto_ptz_preset\":5,\"acto_ptz_patrol\":0}]");
    EXPECT_EQ(text("http_notification_interval"), "15");
    json_object *eff = nullptr;
    ASSERT_TRUE(json_object_object_get_ex(o, "effective", &eff));
    ASSERT_EQ(json_object_array_length(eff), 8u);
    json_object *day7 = json_object_array_get_idx(eff, 7);
    ASSERT_EQ(json_object_array_length(day7), 12u);
    EXPECT_EQ(std::string(json_object_to_json_string_ext(json_object_array_get_idx(day7, 11), JSON_C_TO_STRING_PLAIN)),
              "{\"startTime\":\"eff7.11\",\"endTime\":\"eff-end\",\"actionType\":711}");
    json_object_put(o);

    for (const char *body : {R"({"chnid":64})", R"({"chnid":-1})", "{}", ""})
        EXPECT_EQ(post("/6010", body).out, kJsonError) << body;
}

} // namespace
