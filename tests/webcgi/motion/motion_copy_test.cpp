// "/6112": the motion settings dialog and its copy to other channels.
#include <gtest/gtest.h>

#include "motion_fixture.h"

using namespace nvrtest;
using namespace motiontest;

namespace {

const int32_t kSrc = 2;

class MotionCopyTest : public MotionTest {
protected:
    // A source channel with something in every table a copy takes along,
    // and a bystander channel 1 that no copy may touch.
    void SetUp() override
    {
        MotionTest::SetUp();
        MotionRecord m = motion_record(kSrc);
        m.enable = 1;
        m.sensitivity = 3;
        m.enable_qx = 0;
        m.audio_id = 6;
        copy_text(m.motion_table, "stored-grid");
        copy_text(m.tri_channels, "1");
        m.tri_channel_mask = 1;
        ASSERT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
        MotionRecord other = motion_record(1);
        other.audio_id = 99;
        ASSERT_EQ(write_motion(CONFIG_DB_PATH, &other), 0);

        static ScheduleRecord s;
        s = full_schedule("src");
        ASSERT_EQ(write_motion_effective_schedule(CONFIG_DB_PATH, &s, kSrc), 0);
        ASSERT_EQ(write_motion_audible_schedule(CONFIG_DB_PATH, &s, kSrc), 0);
        ASSERT_EQ(write_motion_email_schedule(CONFIG_DB_PATH, &s, kSrc), 0);
        ASSERT_EQ(write_motion_ptz_schedule(CONFIG_DB_PATH, &s, kSrc), 0);
        ASSERT_EQ(write_whiteled_effective_schedule(CONFIG_DB_PATH, "motion_whiteled_esche", &s, kSrc), 0);
        ASSERT_EQ(write_http_notification_schedule(CONFIG_DB_PATH, "motion_http_notification_sche", &s, kSrc), 0);
        WhiteLedParams w;
        memset(&w, 0, sizeof w);
        w.entry[0] = {kSrc, 9, 1, 10};
        ASSERT_EQ(write_whiteled_params_all(CONFIG_DB_PATH, "motion_white_led_params", kSrc, &w), 0);
        HttpNotificationParams h;
        memset(&h, 0, sizeof h);
        h.channel = kSrc;
        copy_text(h.url, "http://src");
        ASSERT_EQ(write_http_notification_params(CONFIG_DB_PATH, "motion_http_notification_params", &h), 0);
        PtzActionRecord p;
        memset(&p, 0, sizeof p);
        p.entry[0] = {kSrc, 3, 0, 1, 4, 0, 0};
        ASSERT_EQ(write_ptz_params_all(CONFIG_DB_PATH, &p, 1, kSrc), 0);
    }

    // Everything of channel chn that a copy writes, as bytes.
    Bytes channel_state(int32_t chn)
    {
        static ScheduleRecord s;
        Bytes out;
        MotionRecord m;
        read_motion(CONFIG_DB_PATH, &m, chn);
        out += bytes_of(m);
        for (auto rd : {read_motion_effective_schedule, read_motion_audible_schedule, read_motion_email_schedule,
                        read_motion_ptz_schedule}) {
            rd(CONFIG_DB_PATH, &s, chn);
            out += bytes_of(s);
        }
        read_whiteled_effective_schedule(CONFIG_DB_PATH, "motion_whiteled_esche", &s, chn);
        out += bytes_of(s);
        read_http_notification_schedule(CONFIG_DB_PATH, "motion_http_notification_sche", &s, chn);
        out += bytes_of(s);
        WhiteLedParams w;
        int32_t n = 0;
        read_whiteled_params(CONFIG_DB_PATH, "motion_white_led_params", chn, &w, &n);
        out += bytes_of(w);
        HttpNotificationParams h;
        read_http_notification_params(CONFIG_DB_PATH, "motion_http_notification_params", &h, chn);
        out += bytes_of(h);
        PtzActionRecord p;
        read_ptz_params(CONFIG_DB_PATH, &p, 1, chn, &n);
        out += bytes_of(p);
        return out;
    }
};

TEST_F(MotionCopyTest, CopySendsBatchRecordsAndCopiesEveryTable)
{
    Bytes bystander = channel_state(1);
    CgiResult r = post("/6112", R"({"chnid":2,"enableQX":1,"sensitivity":5,"motionTable":"grid",)"
                                R"("copyChn":[5,0,70,"x",5,63],"copyCnt":6})");
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{3509, 3251, 1410, 3212, 3252}));
    const uint64_t mask = (1ull << 0) | (1ull << 5) | (1ull << 63);

    const Bytes &log = r.requests[0].payload;
    ASSERT_EQ(log.size(), 680u);
    expect_motion_log(log, 0);
    EXPECT_EQ(static_cast<uint64_t>(word64_at(log, 672)), mask);

    Bytes batch = Buf(572).text(0, "grid").i32(300, 5).i32(304, kSrc).i32(308, 1)
                      .i32(312, 0).i32(316, 5).i32(320, 63).i32(568, 3).b;
    EXPECT_EQ(hex(r.requests[1].payload), hex(batch));
    EXPECT_EQ(r.requests[2].payload, Buf(8).u64(0, mask).b);
    Bytes mode = Buf(268).i32(0, kSrc).i32(4, 1).i32(8, 0).i32(12, 5).i32(16, 63).i32(264, 3).b;
    EXPECT_EQ(hex(r.requests[3].payload), hex(mode));
    // The channel list lies over the free slots of day 6 and the tail.
    Bytes sched = full_day_schedule(0).i32(956, 0).i32(960, 5).i32(964, 63).i32(1212, 3).b;
    EXPECT_EQ(hex(r.requests[4].payload), hex(sched));

    Bytes src_state = channel_state(kSrc);
    for (int32_t target : {0, 5, 63}) {
        MotionRecord m;
        ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, target), 0);
        EXPECT_EQ(m.chnid, target);
        EXPECT_EQ(m.sensitivity, 5);
        EXPECT_EQ(m.enable_qx, 1);
        EXPECT_EQ(m.audio_id, 6);
        // The grid is not stored by this route.
        EXPECT_STREQ(m.motion_table, "stored-grid");
        // Beyond the motion record, every table holds the source's entries
        // (with the target as owner where the entry names one).
        static ScheduleRecord s;
        ASSERT_EQ(read_motion_ptz_schedule(CONFIG_DB_PATH, &s, target), 0);
        EXPECT_STREQ(s.day[7].seg[47].start_time, "src7.47") << target;
        ASSERT_EQ(read_http_notification_schedule(CONFIG_DB_PATH, "motion_http_notification_sche", &s, target), 0);
        EXPECT_STREQ(s.day[0].seg[0].start_time, "src0.0") << target;
        WhiteLedParams w;
        int32_t n = 0;
        ASSERT_EQ(read_whiteled_params(CONFIG_DB_PATH, "motion_white_led_params", target, &w, &n), 0);
        EXPECT_EQ(w.entry[0].owner, target);
        EXPECT_EQ(w.entry[0].chnid, 9);
        HttpNotificationParams h;
        ASSERT_EQ(read_http_notification_params(CONFIG_DB_PATH, "motion_http_notification_params", &h, target), 0);
        EXPECT_STREQ(h.url, "http://src");
        PtzActionRecord p;
        ASSERT_EQ(read_ptz_params(CONFIG_DB_PATH, &p, 1, target, &n), 0);
        EXPECT_EQ(p.entry[0].chn_id, target);
        EXPECT_EQ(p.entry[0].acto_ptz_preset, 4);
    }
    EXPECT_EQ(channel_state(kSrc), src_state);
    EXPECT_EQ(hex(channel_state(1)), hex(bystander));
}

TEST_F(MotionCopyTest, EmptyCopyAndCameraModeOff)
{
    Bytes before = channel_state(0);
    CgiResult r = post("/6112", R"({"chnid":2,"enableQX":0,"sensitivity":5,"motionTable":"g","copyChn":[0,1],"copyCnt":0})");
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{3509, 3251, 1410, 3212}));
    EXPECT_EQ(word64_at(r.requests[0].payload, 672), 0);
    EXPECT_EQ(word_at(r.requests[1].payload, 568), 0);
    EXPECT_EQ(r.requests[2].payload, Bytes(8, '\0'));
    EXPECT_EQ(hex(r.requests[3].payload), hex(Buf(268).i32(0, kSrc).b));
    EXPECT_EQ(hex(channel_state(0)), hex(before));
}

TEST_F(MotionCopyTest, ShortCopyArrayNeverTargetsChannelZero)
{
    CgiResult r = post("/6112", R"({"chnid":2,"enableQX":0,"sensitivity":5,"motionTable":"g","copyChn":[3],"copyCnt":5})");
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{3509, 3251, 1410, 3212}));
    EXPECT_EQ(r.requests[2].payload, Buf(8).u64(0, 1ull << 3).b);
    MotionRecord m;
    int32_t count = 0;
    static MotionRecord all[64];
    ASSERT_EQ(read_motions(CONFIG_DB_PATH, all, &count), 0);
    ASSERT_EQ(count, 3);   // 1, 2 and the copy on 3
    EXPECT_EQ(all[0].chnid, 1);
    EXPECT_EQ(all[2].chnid, 3);
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 3), 0);
    EXPECT_EQ(m.sensitivity, 5);
}

TEST_F(MotionCopyTest, MissingValuesComeFromTheSourceRecord)
{
    CgiResult r = post("/6112", R"({"chnid":2,"copyChn":[4],"copyCnt":1})");
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{3509, 3251, 1410, 3212}));
    Bytes batch = Buf(572).text(0, "stored-grid").i32(300, 3).i32(304, kSrc).i32(308, 0).i32(312, 4).i32(568, 1).b;
    EXPECT_EQ(hex(r.requests[1].payload), hex(batch));
}

TEST_F(MotionCopyTest, DialogIsSavedForItsOwnChannelBeforeTheCopy)
{
    CgiResult r = post("/6112",
                       R"({"chnid":2,"enableQX":0,"sensitivity":5,"motionTable":"g","copyChn":[7],"copyCnt":1,)"
                       R"("dialog":{"chnid":2,"enable":0,"http_notification_interval":33,)"
                       R"("httpParams":{"url":"http://new/%41","username":"u","password":"p"},)"
                       R"("ptzChnId":2,"ptzType":1,"ptzParams":[{"acto_ptz_channel":6,"acto_ptz_type":2,"acto_ptz_patrol":3}]}})");
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{1403, 3509, 3251, 1410, 3212}));
    EXPECT_EQ(r.requests[0].payload, le32(kSrc));
    for (int32_t chn : {kSrc, 7}) {
        MotionRecord m;
        ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, chn), 0);
        EXPECT_EQ(m.enable, 0) << chn;
        EXPECT_EQ(m.http_notification_interval, 33) << chn;
        HttpNotificationParams h;
        ASSERT_EQ(read_http_notification_params(CONFIG_DB_PATH, "motion_http_notification_params", &h, chn), 0);
        EXPECT_STREQ(h.url, "http://new/%41") << chn;
        PtzActionRecord p;
        int32_t n = 0;
        ASSERT_EQ(read_ptz_params(CONFIG_DB_PATH, &p, 1, chn, &n), 0);
        EXPECT_EQ(p.entry[0].acto_ptz_channel, 6) << chn;
        EXPECT_EQ(p.entry[0].acto_ptz_patrol, 3) << chn;
    }
}

TEST_F(MotionCopyTest, NoValidSourceChannelMeansNoTrace)
{
    Bytes before0 = channel_state(0), before2 = channel_state(kSrc);
    const char *bodies[] = {
        R"({"enableQX":1,"copyChn":[0],"copyCnt":1,"dialog":{"chnid":2,"enable":0}})",
        R"({"chnid":64,"enableQX":1,"copyChn":[0],"copyCnt":1,"dialog":{"chnid":2,"enable":0}})",
        R"({"chnid":-1,"enableQX":1,"copyChn":[0],"copyCnt":1,"dialog":{"chnid":2,"enable":0}})",
        R"({"chnid":"two","enableQX":1,"copyChn":[0],"copyCnt":1})",
        "{",
    };
    for (const char *body : bodies) {
        CgiResult r = post("/6112", body);
        EXPECT_EQ(r.out, "") << body;
        EXPECT_TRUE(r.requests.empty()) << body;
    }
    EXPECT_EQ(hex(channel_state(0)), hex(before0));
    EXPECT_EQ(hex(channel_state(kSrc)), hex(before2));
}

} // namespace

namespace {

TEST_F(MotionCopyTest, DialogChannelDecidesWhereTheDialogGoes)
{
    struct Case {
        const char *dialog;
        int32_t saved_on;   // -1: the dialog is not saved at all
    } cases[] = {
        {R"({"enable":0})", 0},
        {R"({"chnid":1,"enable":0})", 1},
        {R"({"chnid":64,"enable":0})", -1},
        {R"({"chnid":-1,"enable":0})", -1},
        {R"({"chnid":"x","enable":0})", -1},
    };
    for (const Case &c : cases) {
        for (int32_t chn : {0, 1}) {
            MotionRecord m = motion_record(chn);
            m.enable = 1;
            ASSERT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
        }
        CgiResult r = post("/6112", std::string(R"({"chnid":2,"copyCnt":0,"dialog":)") + c.dialog + "}");
        EXPECT_EQ(r.out, text_answer("OK")) << c.dialog;
        std::vector<int32_t> codes = {3509, 3251, 1410, 3212};
        if (c.saved_on >= 0)
            codes.insert(codes.begin(), 1403);
        ASSERT_EQ(codes_of(r.requests), codes) << c.dialog;
        if (c.saved_on >= 0)
            EXPECT_EQ(r.requests[0].payload, le32(c.saved_on)) << c.dialog;
        for (int32_t chn : {0, 1}) {
            MotionRecord m;
            ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, chn), 0);
            EXPECT_EQ(m.enable, chn == c.saved_on ? 0 : 1) << c.dialog << " channel " << chn;
        }
    }
}

} // namespace
