// Changing camera channels: "/2004" add, "/2003" edit, "/2005" clear,
// "/2017" login and "/2031" transport.
#include <gtest/gtest.h>

#include "camera_fixture.h"

using namespace nvrtest;
using namespace cameratest;

namespace {

class CameraChangeTest : public RouteTest {
protected:
    // A request that must leave no trace: no answer, no daemon request, no
    // store change.
    void expect_nothing(const std::string &path, const std::string &body)
    {
        Bytes before = camera_snapshot();
        CgiResult r = post(path, body);
        EXPECT_EQ(r.out, "") << path << " " << body;
        EXPECT_TRUE(r.requests.empty()) << path << " " << body;
        EXPECT_EQ(camera_snapshot() == before, true) << path << " " << body;
    }
};

const char *kFullAdd =
    "{\"id\": 5, \"name\": \"Lobby\", \"enable\": 1, \"camProtocol\": 1, \"ipAddr\": \"10.0.0.9\", "
    "\"managePort\": 8000, \"userName\": \"admin\", \"password\": \"pw1\", \"transmitProtocol\": 1, "
    "\"enableSubStream\": 1, \"syncTime\": 1, \"minorid\": 3, \"mainRtspPort\": 554, \"mainSourcePath\": \"/main\", "
    "\"subRtspPort\": 555, \"subSourcePath\": \"/sub\", \"mainrtspurl\": \"rtsp://10.0.0.9/main\", "
    "\"subrtspurl\": \"rtsp://10.0.0.9/sub\", \"mac_addr\": \"AA:BB\", \"poechannel\": 2, \"physicalport\": 4, "
    "\"ddns\": \"lobby.ddns\", \"otherPoe\": 1}";

TEST_F(CameraChangeTest, AddStoresTheCameraTellsTheDaemonAndLogs)
{
    // What the add does not set stays: record stream type, ANR, unnamed bytes.
    CameraRecord before = camera(5, "1.1.1.1", 1, 0, 0, 0);
    before.record_stream = 2;
    before.anr = 1;
    before.reserved12[0] = 0x5a;
    before.cleared = 1;
    write_camera(CONFIG_DB_PATH, &before);
    OsdRecord osd;
    read_osd(CONFIG_DB_PATH, &osd, 5);
    osd.show_date = 1;
    write_osd(CONFIG_DB_PATH, &osd);

    CgiResult r = post("/2004", kFullAdd);
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{1201, 1206, 3485}));
    EXPECT_EQ(r.requests[0].payload, le32(5));
    EXPECT_EQ(r.requests[1].payload, le32(5) + le32(1));
    expect_camera_log(r.requests[2], 210, 901, 6, change_detail(901, "10.0.0.9", 8000, 6, "RTSP", "TCP", 1));

    CameraRecord want = before;
    want.enable = 1;
    copy_text(want.ip_addr, "10.0.0.9");
    want.manage_port = 8000;
    want.model = 1;
    copy_text(want.user_name, "admin");
    copy_text(want.password, "pw1");
    want.transmit_protocol = 1;
    want.enable_sub_stream = 1;
    want.sync_time = 1;
    want.minorid = 3;
    want.main_rtsp_port = 554;
    copy_text(want.main_source_path, "/main");
    want.sub_rtsp_port = 555;
    copy_text(want.sub_source_path, "/sub");
    copy_text(want.main_rtsp_url, "rtsp://10.0.0.9/main");
    copy_text(want.sub_rtsp_url, "rtsp://10.0.0.9/sub");
    copy_text(want.mac_addr, "AA:BB");
    want.poechannel = 2;
    want.physicalport = 4;
    copy_text(want.ddns, "lobby.ddns");
    EXPECT_EQ(hex(bytes_of(stored_camera(5))), hex(bytes_of(want)));

    OsdRecord o = stored_osd(5);
    EXPECT_EQ(o.chnid, 5);
    EXPECT_STREQ(o.name, "Lobby");
    EXPECT_EQ(o.show_date, 1);
}

TEST_F(CameraChangeTest, AddVariants)
{
    struct Case {
        const char *what;
        int32_t chn;
        std::string body;
        int32_t poe_flag;
        Bytes detail;
        std::string ip;
    } cases[] = {
        {"ONVIF over UDP, no PoE flag", 0,
         "{\"id\": 0, \"name\": \"a\", \"enable\": 0, \"camProtocol\": 0, \"ipAddr\": \"10.0.0.1\", "
         "\"managePort\": 80, \"transmitProtocol\": 0}",
         0, change_detail(901, "10.0.0.1", 80, 1, "ONVIF", "UDP", 0), "10.0.0.1"},
        {"maker's protocol, otherPoe 2 is no flag", 63,
         "{\"id\": 63, \"name\": \"b\", \"enable\": 1, \"camProtocol\": 2, \"ipAddr\": \"10.0.0.2\", "
         "\"managePort\": 0, \"transmitProtocol\": 2, \"syncTime\": 1, \"otherPoe\": 2}",
         0, change_detail(901, "10.0.0.2", 0, 64, "QXSF", "TCP", 1), "10.0.0.2"},
        {"model 7 needs no address or port", 1,
         "{\"id\": 1, \"name\": \"c\", \"enable\": 1, \"camProtocol\": 7, \"transmitProtocol\": 1, \"otherPoe\": 1}",
         1, change_detail(901, "", 0, 2, "QXSF", "TCP", 0), ""},
        {"numbers as texts", 2,
         "{\"id\": \"2\", \"name\": \"d\", \"enable\": \"1\", \"camProtocol\": \"0\", \"ipAddr\": \"10.0.0.4\", "
         "\"managePort\": \"81\", \"transmitProtocol\": \"0\"}",
         0, change_detail(901, "10.0.0.4", 81, 3, "ONVIF", "UDP", 0), "10.0.0.4"},
    };
    for (const Case &c : cases) {
        const int32_t chn = c.chn;
        // Values stored before: the RTSP fields and the MAC text.
        CameraRecord old = camera(chn, "9.9.9.9", 9, 1, 1, 1);
        old.main_rtsp_port = 7;
        copy_text(old.main_source_path, "/old");
        copy_text(old.mac_addr, "OLD-MAC");
        write_camera(CONFIG_DB_PATH, &old);

        CgiResult r = post("/2004", c.body);
        EXPECT_EQ(r.out, text_answer("OK")) << c.what;
        ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{1201, 1206, 3485})) << c.what;
        EXPECT_EQ(r.requests[0].payload, le32(chn)) << c.what;
        EXPECT_EQ(r.requests[1].payload, le32(chn) + le32(c.poe_flag)) << c.what;
        expect_camera_log(r.requests[2], 210, 901, chn + 1, c.detail);

        CameraRecord s = stored_camera(chn);
        EXPECT_STREQ(s.ip_addr, c.ip.c_str()) << c.what;
        // RTSP fields are only taken for the RTSP protocol.
        EXPECT_EQ(s.main_rtsp_port, 7) << c.what;
        EXPECT_STREQ(s.main_source_path, "/old") << c.what;
        // An absent MAC text is stored empty; absent credentials too.
        EXPECT_STREQ(s.mac_addr, "") << c.what;
        EXPECT_STREQ(s.user_name, "") << c.what;
    }
}

TEST_F(CameraChangeTest, LongTextsAreCutToTheirFields)
{
    std::string body = "{\"id\": 4, \"name\": \"" + std::string(80, 'N') + "\", \"enable\": 1, \"camProtocol\": 0, " +
                       "\"ipAddr\": \"" + std::string(70, '1') + "\", \"managePort\": 80, \"transmitProtocol\": 0, " +
                       "\"userName\": \"" + std::string(90, 'u') + "\", \"mac_addr\": \"" + std::string(40, 'm') +
                       "\"}";
    CgiResult r = post("/2004", body);
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(r.requests.size(), 3u);
    expect_camera_log(r.requests[2], 210, 901, 5, change_detail(901, std::string(63, '1'), 80, 5, "ONVIF", "UDP", 0));
    CameraRecord s = stored_camera(4);
    EXPECT_EQ(std::string(s.ip_addr), std::string(63, '1'));
    EXPECT_EQ(std::string(s.user_name), std::string(63, 'u'));
    EXPECT_EQ(std::string(s.mac_addr), std::string(31, 'm'));
    EXPECT_EQ(std::string(stored_osd(4).name), std::string(63, 'N'));
}

TEST_F(CameraChangeTest, InvalidCameraObjectsWriteNothing)
{
    CameraRecord stored = camera(1, "10.0.0.1", 80, 0, 0, 0);
    write_camera(CONFIG_DB_PATH, &stored);
    const std::string ok_tail = "\"name\": \"x\", \"enable\": 1, \"camProtocol\": 0, \"ipAddr\": \"10.0.0.1\", "
                                "\"managePort\": 80, \"transmitProtocol\": 0}";
    const std::string cases[] = {
        "", "{", "[1, 2]", "\"text\"",
        "{" + ok_tail,                                  // no id
        "{\"id\": 64, " + ok_tail,                      // no channel 64 to store it in
        "{\"id\": 65, " + ok_tail,
        "{\"id\": -1, " + ok_tail,
        "{\"id\": \"abc\", " + ok_tail,
        "{\"id\": 1.5, " + ok_tail,
        "{\"id\": 1, \"enable\": 1, \"camProtocol\": 0, \"ipAddr\": \"a\", \"managePort\": 80, \"transmitProtocol\": 0}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 2, \"camProtocol\": 0, \"ipAddr\": \"a\", \"managePort\": 80, "
        "\"transmitProtocol\": 0}",
        "{\"id\": 1, \"name\": \"x\", \"camProtocol\": 0, \"ipAddr\": \"a\", \"managePort\": 80, \"transmitProtocol\": 0}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 1, \"camProtocol\": 8, \"ipAddr\": \"a\", \"managePort\": 80, "
        "\"transmitProtocol\": 0}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 1, \"camProtocol\": -1, \"ipAddr\": \"a\", \"managePort\": 80, "
        "\"transmitProtocol\": 0}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 1, \"ipAddr\": \"a\", \"managePort\": 80, \"transmitProtocol\": 0}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 1, \"camProtocol\": 0, \"ipAddr\": \"\", \"managePort\": 80, "
        "\"transmitProtocol\": 0}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 1, \"camProtocol\": 1, \"managePort\": 80, \"transmitProtocol\": 0}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 1, \"camProtocol\": 0, \"ipAddr\": \"a\", \"managePort\": -1, "
        "\"transmitProtocol\": 0}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 1, \"camProtocol\": 0, \"ipAddr\": \"a\", \"transmitProtocol\": 0}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 1, \"camProtocol\": 0, \"ipAddr\": \"a\", \"managePort\": 80, "
        "\"transmitProtocol\": 3}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 1, \"camProtocol\": 7, \"transmitProtocol\": -1}",
        "{\"id\": 1, \"name\": \"x\", \"enable\": 1, \"camProtocol\": 0, \"ipAddr\": \"a\", \"managePort\": 80}",
    };
    for (const std::string &body : cases) {
        expect_nothing("/2004", body);
        expect_nothing("/2003", body);
    }
}

TEST_F(CameraChangeTest, EditTakesCredentialsOnlyForTypeZero)
{
    struct Case {
        const char *type_member;
        bool takes;
    } cases[] = {{"", true}, {"\"type\": 0, ", true}, {"\"type\": 1, ", false},
                 {"\"type\": 2, ", false}, {"\"type\": \"abc\", ", false}};
    for (const Case &c : cases) {
        CameraRecord old = camera(2, "10.0.0.2", 80, 0, 0, 0);
        copy_text(old.user_name, "olduser");
        copy_text(old.password, "oldpw");
        copy_text(old.mac_addr, "MAC");
        old.poechannel = 3;
        old.physicalport = 4;
        old.record_stream = 1;
        write_camera(CONFIG_DB_PATH, &old);

        std::string body = std::string("{") + c.type_member +
                           "\"id\": 2, \"name\": \"Hall\", \"enable\": 1, \"camProtocol\": 2, \"ipAddr\": \"10.0.0.22\", "
                           "\"managePort\": 85, \"transmitProtocol\": 1, \"syncTime\": 1, \"userName\": \"new\", "
                           "\"password\": \"newpw\", \"mac_addr\": \"X\", \"poechannel\": 9, \"physicalport\": 9, "
                           "\"ddns\": \"d\", \"otherPoe\": 1}";
        CgiResult r = post("/2003", body);
        EXPECT_EQ(r.out, text_answer("OK")) << body;
        ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{1203, 3485})) << body;
        EXPECT_EQ(r.requests[0].payload, le32(2));
        expect_camera_log(r.requests[1], 204, 903, 3, change_detail(903, "10.0.0.22", 85, 3, "QXSF", "TCP", 1));

        CameraRecord s = stored_camera(2);
        EXPECT_STREQ(s.user_name, c.takes ? "new" : "olduser") << body;
        EXPECT_STREQ(s.password, c.takes ? "newpw" : "oldpw") << body;
        EXPECT_STREQ(s.ip_addr, "10.0.0.22");
        EXPECT_EQ(s.manage_port, 85);
        EXPECT_STREQ(s.ddns, "d");
        // The PoE binding and MAC stay as stored.
        EXPECT_STREQ(s.mac_addr, "MAC");
        EXPECT_EQ(s.poechannel, 3);
        EXPECT_EQ(s.physicalport, 4);
        EXPECT_EQ(s.record_stream, 1);
        EXPECT_STREQ(stored_osd(2).name, "Hall");
    }
}

TEST_F(CameraChangeTest, ClearingAChannel)
{
    PrivacyMaskRecord mask;
    memset(&mask, 0, sizeof mask);
    mask.chnid = 7;
    for (int i = 0; i < PRIVACY_MASK_AREAS; i++) {
        PrivacyMaskArea &a = mask.area[i];
        a = {i, 1, 10, 20, 30, 40, 704, 576, 0xff00, {1, 2, 3, 4}};
    }
    write_privacy_mask(CONFIG_DB_PATH, &mask);
    CameraRecord c = camera(7, "10.0.0.7", 80, 1, 1, 1);
    copy_text(c.password, "pw");
    c.record_stream = 2;
    c.anr = 1;
    c.reserved1328[5] = 9;
    write_camera(CONFIG_DB_PATH, &c);
    OsdRecord osd;
    read_osd(CONFIG_DB_PATH, &osd, 7);
    copy_text(osd.name, "Back door");
    osd.show_date = 1;
    write_osd(CONFIG_DB_PATH, &osd);

    CgiResult r = post("/2005", "{\"chnid\": 7}");
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{1202, 1206, 3485}));
    EXPECT_EQ(r.requests[0].payload, le32(7));
    EXPECT_EQ(r.requests[1].payload, le32(7) + le32(0));
    expect_camera_log(r.requests[2], 211, 902, 8);

    PrivacyMaskRecord m;
    read_privacy_mask(CONFIG_DB_PATH, &m, 7);
    EXPECT_EQ(m.chnid, 7);
    for (int i = 0; i < PRIVACY_MASK_AREAS; i++) {
        const PrivacyMaskArea &a = m.area[i];
        EXPECT_EQ(a.area_id, i);
        EXPECT_EQ(a.enable + a.start_x + a.start_y + a.width + a.height, 0) << i;
        EXPECT_EQ(a.pic_width, 704);
        EXPECT_EQ(a.pic_height, 576);
        EXPECT_EQ(a.color, 0xff00);
        EXPECT_EQ(a.reserved[3], 4);
    }

    CameraRecord want;
    memset(&want, 0, sizeof want);
    want.id = 7;
    want.cleared = 1;
    want.record_stream = 2;
    EXPECT_EQ(hex(bytes_of(stored_camera(7))), hex(bytes_of(want)));

    OsdRecord o = stored_osd(7);
    EXPECT_STREQ(o.name, "CAM8");
    EXPECT_EQ(o.show_date, 1);
}

TEST_F(CameraChangeTest, ClearingAnEmptyChannelNamesIt)
{
    CgiResult r = post("/2005", "{\"chnid\": \"0\"}");
    EXPECT_EQ(r.out, text_answer("OK"));
    EXPECT_EQ(codes_of(r.requests), (std::vector<int32_t>{1202, 1206, 3485}));
    EXPECT_STREQ(stored_osd(0).name, "CAM1");
    EXPECT_EQ(stored_camera(0).cleared, 1);
}

TEST_F(CameraChangeTest, ClearingOnlyForChannelsZeroToSeven)
{
    CameraRecord c = camera(8, "10.0.0.8", 80, 0, 0, 0);
    write_camera(CONFIG_DB_PATH, &c);
    for (const char *req : {"{\"chnid\": 8}", "{\"chnid\": -1}", "{\"chnid\": \"abc\"}", "{\"chnid\": \"\"}",
                            "{\"chnid\": [0]}", "{}", "{", ""}) {
        Bytes before = camera_snapshot();
        CgiResult r = post("/2005", req);
        EXPECT_EQ(r.out, kJsonError) << req;
        EXPECT_TRUE(r.requests.empty()) << req;
        EXPECT_TRUE(camera_snapshot() == before) << req;
    }
}

TEST_F(CameraChangeTest, CameraLogin)
{
    CameraRecord c = camera(4, "10.1.1.4", 80, 0, 0, 1);
    copy_text(c.user_name, "admin");
    copy_text(c.password, "old");
    write_camera(CONFIG_DB_PATH, &c);

    CgiResult r = post("/2017", "{\"id\": 4, \"userName\": \"u2\", \"password\": \"" + std::string(70, 'p') + "\"}");
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{1203, 3485}));
    EXPECT_EQ(r.requests[0].payload, le32(4));
    expect_camera_log(r.requests[1], 204, 903, 5, change_detail(903, "10.1.1.4", 80, 5, "ONVIF", "UDP", 1));
    CameraRecord want = c;
    copy_text(want.user_name, "u2");
    copy_text(want.password, std::string(63, 'p').c_str());
    EXPECT_EQ(hex(bytes_of(stored_camera(4))), hex(bytes_of(want)));

    // A channel never stored is made with its own id.
    r = post("/2017", "{\"id\": 63, \"userName\": \"a\", \"password\": \"b\"}");
    EXPECT_EQ(r.out, text_answer("OK"));
    EXPECT_EQ(stored_camera(63).id, 63);
    EXPECT_STREQ(stored_camera(63).user_name, "a");
}

TEST_F(CameraChangeTest, CameraLoginRefusals)
{
    for (const char *body :
         {"", "{", "{\"userName\": \"a\", \"password\": \"b\"}", "{\"id\": -1, \"userName\": \"a\", \"password\": \"b\"}",
          "{\"id\": 64, \"userName\": \"a\", \"password\": \"b\"}",
          "{\"id\": \"x\", \"userName\": \"a\", \"password\": \"b\"}", "{\"id\": 1, \"password\": \"b\"}",
          "{\"id\": 1, \"userName\": \"\", \"password\": \"b\"}", "{\"id\": 1, \"userName\": \"a\"}",
          "{\"id\": 1, \"userName\": \"a\", \"password\": \"\"}"})
        expect_nothing("/2017", body);
}

TEST_F(CameraChangeTest, CameraTransport)
{
    CameraRecord c = camera(1, "10.2.2.2", 8080, 2, 0, 0);
    copy_text(c.user_name, "keep");
    write_camera(CONFIG_DB_PATH, &c);

    CgiResult r = post("/2031", "{\"id\": 1, \"transmitProtocol\": 1, \"syncTime\": 1}");
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{1203, 3485}));
    EXPECT_EQ(r.requests[0].payload, le32(1));
    expect_camera_log(r.requests[1], 204, 903, 2, change_detail(903, "10.2.2.2", 8080, 2, "QXSF", "TCP", 1));
    CameraRecord want = c;
    want.transmit_protocol = 1;
    want.sync_time = 1;
    EXPECT_EQ(hex(bytes_of(stored_camera(1))), hex(bytes_of(want)));

    // Absent values are 0.
    r = post("/2031", "{\"id\": 1}");
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(r.requests.size(), 2u);
    expect_camera_log(r.requests[1], 204, 903, 2, change_detail(903, "10.2.2.2", 8080, 2, "QXSF", "UDP", 0));
    EXPECT_EQ(stored_camera(1).transmit_protocol, 0);
    EXPECT_EQ(stored_camera(1).sync_time, 0);
}

TEST_F(CameraChangeTest, CameraTransportWithoutAChannelWritesNothing)
{
    CameraRecord stored = camera(0, "10.0.0.1", 80, 0, 1, 1);
    write_camera(CONFIG_DB_PATH, &stored);
    for (const char *body : {"", "{", "not json", "{\"transmitProtocol\": 1}", "{\"id\": \"abc\", \"syncTime\": 1}",
                             "{\"id\": 64, \"syncTime\": 1}", "{\"id\": -1}", "{\"id\": null}"})
        expect_nothing("/2031", body);
}

} // namespace
