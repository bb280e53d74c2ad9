// Reading camera channels: "/2001" and "/2007" live list, "/2000" stored
// settings, "/2012" channel names, "/2008" protocols and models, and the
// small reads "/2016", "/2018", "/2034".
#include <gtest/gtest.h>

#include "camera_fixture.h"

using namespace nvrtest;
using namespace cameratest;

namespace {

class CameraReadTest : public RouteTest {};

// One camera status record of reply 8201 (976 bytes).
struct Status {
    int32_t id = 0, port = 0, protocol = 0, state = 0, rtsp = 0;
    std::string ip, vendor, sn, fw, mac, model;
    int32_t ints[10] = {}; // poechannel .. connectState, offsets 808 to 844
    std::string sn_real, ddns;

    Bytes bytes() const
    {
        Bytes b(976, '\0');
        put32(b, 0, id);
        put32(b, 4, port);
        put32(b, 8, protocol);
        put32(b, 12, state);
        put32(b, 16, rtsp);
        put_text(b, 20, ip);
        put_text(b, 52, vendor);
        put_text(b, 244, sn);
        put_text(b, 372, fw);
        put_text(b, 436, mac);
        put_text(b, 484, model);
        for (int i = 0; i < 10; i++)
            put32(b, 808 + 4 * static_cast<size_t>(i), ints[i]);
        put_text(b, 848, sn_real);
        put_text(b, 912, ddns);
        return b;
    }
};

TEST_F(CameraReadTest, CameraListTurnsEachStatusRecordIntoAnObject)
{
    set_param_int(CONFIG_DB_PATH, "max_cameras", 16);
    store_osd_name(0, "Door");

    Status a;
    a.id = 0;
    a.port = 80;
    a.protocol = 2;
    a.state = 1;
    a.rtsp = 554;
    a.ip = "192.168.1.64";
    a.vendor = "ACME";
    a.sn = "SN1";
    a.fw = "V5.1";
    a.mac = "00:11:22:33:44:55";
    a.model = "IPC-200";
    for (int i = 0; i < 10; i++)
        a.ints[i] = i + 1;
    a.sn_real = "SN1-FULL";
    a.ddns = "cam.example";

    // Fields filled to their end are read within them; a channel id outside
    // the channels has no name; a trailing partial record is left out.
    Status b;
    b.id = 70;
    b.ip = std::string(32, '1');
    b.vendor = "X";
    b.ddns = std::string(64, 'd');
    daemon.reply(3201, a.bytes() + b.bytes() + Bytes(100, '\x7f'));

    const std::string expected = json_answer(
        "{ \"IPC\": [ "
        "{ \"id\": 0, \"enable\": 1, \"name\": \"Door\", \"ipAddr\": \"192.168.1.64\", \"managePort\": 80, "
        "\"camProtocol\": 2, \"vendor\": \"ACME\", \"sn\": \"SN1\", \"snReal\": \"SN1-FULL\", "
        "\"mac\": \"00:11:22:33:44:55\", \"model\": \"IPC-200\", \"fwVersion\": \"V5.1\", \"state\": 1, "
        "\"mainRtspPort\": 554, \"physicalport\": 2, \"poechannel\": 1, \"alarmin\": 3, \"alarmout\": 4, "
        "\"whiteLed\": 5, \"ledAlarm\": 6, \"ledManual\": 7, \"minorid\": 8, \"subState\": 9, "
        "\"connectState\": 10, \"ddns\": \"cam.example\" }, "
        "{ \"id\": 70, \"enable\": 1, \"name\": \"\", \"ipAddr\": \"" + std::string(32, '1') +
        "\", \"managePort\": 0, \"camProtocol\": 0, \"vendor\": \"X\", \"sn\": \"\", \"snReal\": \"\", "
        "\"mac\": \"\", \"model\": \"\", \"fwVersion\": \"\", \"state\": 0, \"mainRtspPort\": 0, "
        "\"physicalport\": 0, \"poechannel\": 0, \"alarmin\": 0, \"alarmout\": 0, \"whiteLed\": 0, "
        "\"ledAlarm\": 0, \"ledManual\": 0, \"minorid\": 0, \"subState\": 0, \"connectState\": 0, "
        "\"ddns\": \"" + std::string(64, 'd') + "\" } ], \"maxIPCNums\": 16 }");
    for (const char *path : {"/2001", "/2007"}) {
        CgiResult r = get(path);
        EXPECT_EQ(r.out, expected) << path;
        ASSERT_EQ(r.requests.size(), 1u) << path;
        EXPECT_EQ(r.requests[0].code, 3201);
        EXPECT_EQ(r.requests[0].payload, "");
    }
}

TEST_F(CameraReadTest, CameraListWithoutAWholeRecordIsTheErrorAnswer)
{
    // 3201 waits 6000 ticks: the one list test that sits out the wait.
    daemon.reply(3201, Bytes(975, '\0'));
    CgiResult r = get("/2001");
    EXPECT_EQ(r.out, kJsonError);
    EXPECT_EQ(codes_of(r.requests), (std::vector<int32_t>{3201}));
}

TEST_F(CameraReadTest, StoredCameraSettingsOfAChannel)
{
    CameraRecord c = camera(3, "10.0.0.3", 8000, 5, 1, 1);
    copy_text(c.user_name, "admin");
    copy_text(c.password, "secret");
    c.main_rtsp_port = 554;
    copy_text(c.main_source_path, "/live/main");
    c.enable_sub_stream = 1;
    c.sub_rtsp_port = 555;
    copy_text(c.sub_source_path, "/live/sub");
    copy_text(c.main_rtsp_url, "rtsp://m");
    copy_text(c.sub_rtsp_url, "rtsp://s");
    c.physicalport = 4;
    c.poechannel = 2;
    copy_text(c.mac_addr, "AA:BB:CC:DD:EE:FF");
    c.minorid = 9;
    memset(c.ddns, 'z', sizeof c.ddns); // a full field, no terminator
    write_camera(CONFIG_DB_PATH, &c);
    store_osd_name(3, "Gate");
    IpcModelRecord m = {5, 1, "Bullet", 0, 0};
    write_ipc_model(CONFIG_DB_PATH, &m);

    CgiResult r = post("/2000", "{\"chnid\": 3}");
    EXPECT_EQ(r.out, json_answer("{ \"id\": 3, \"name\": \"Gate\", \"ipAddr\": \"10.0.0.3\", \"managePort\": 8000, "
                                 "\"protocol\": 1, \"model\": 5, \"userName\": \"admin\", \"password\": \"secret\", "
                                 "\"transmitProtocol\": 1, \"mainRtspPort\": 554, "
                                 "\"mainSourcePath\": \"\\/live\\/main\", \"subRtspEnable\": 1, "
                                 "\"subRtspPort\": 555, \"subSourcePath\": \"\\/live\\/sub\", \"syncTime\": 1, "
                                 "\"mainRtspUrl\": \"rtsp:\\/\\/m\", \"subRtspUrl\": \"rtsp:\\/\\/s\", "
                                 "\"physicalport\": 4, \"poechannel\": 2, \"mac_addr\": \"AA:BB:CC:DD:EE:FF\", "
                                 "\"minorid\": 9, \"ddns\": \"" + std::string(64, 'z') + "\" }"));
    EXPECT_TRUE(r.requests.empty());
}

TEST_F(CameraReadTest, StoredSettingsOnlyForChannelsZeroToSeven)
{
    EXPECT_EQ(post("/2000", "{\"chnid\": 7}").body.rfind("{ \"id\": 7, \"name\": \"\",", 0), 0u);
    EXPECT_EQ(post("/2000", "{\"chnid\": \"2\"}").body.rfind("{ \"id\": 2,", 0), 0u);
    for (const char *req : {"{\"chnid\": 8}", "{\"chnid\": -1}", "{\"chnid\": \"abc\"}", "{\"chnid\": \"3x\"}",
                            "{\"chnid\": 2.5}", "{\"chnid\": null}", "{\"chnid\": 4294967296}", "{}", "{", "",
                            "[1]"}) {
        CgiResult r = post("/2000", req);
        EXPECT_EQ(r.out, kJsonError) << req;
        EXPECT_TRUE(r.requests.empty()) << req;
    }
}

TEST_F(CameraReadTest, ChannelNamesUpToMaxCameras)
{
    store_osd_name(0, "A");
    store_osd_name(2, "C");
    OsdRecord full;
    read_osd(CONFIG_DB_PATH, &full, 1);
    memset(full.name, 'n', sizeof full.name);
    write_osd(CONFIG_DB_PATH, &full);

    set_param_int(CONFIG_DB_PATH, "max_cameras", 3);
    EXPECT_EQ(get("/2012").out, json_answer("{ \"IPC\": [ { \"id\": 0, \"name\": \"A\" }, { \"id\": 1, \"name\": \"" +
                                            std::string(64, 'n') + "\" }, { \"id\": 2, \"name\": \"C\" } ] }"));
    set_param_int(CONFIG_DB_PATH, "max_cameras", 0);
    EXPECT_EQ(get("/2012").out, json_answer("{ \"IPC\": [ ] }"));

    // More than the recorder's 64 channels are never listed.
    set_param_int(CONFIG_DB_PATH, "max_cameras", 500);
    CgiResult r = get("/2012");
    EXPECT_NE(r.body.find("{ \"id\": 63, \"name\": \"\" } ] }"), std::string::npos);
    EXPECT_EQ(r.body.find("\"id\": 64"), std::string::npos);
}

TEST_F(CameraReadTest, DefaultChannelCountIs32)
{
    CgiResult r = get("/2012");
    EXPECT_NE(r.body.find("{ \"id\": 31, \"name\": \"\" } ] }"), std::string::npos);
    EXPECT_EQ(r.body.find("\"id\": 32"), std::string::npos);
}

TEST_F(CameraReadTest, ProtocolsWithTheirModels)
{
    IpcProtocolRecord onvif = {0, "ONVIF", 3, 1, 1};
    IpcProtocolRecord qxsf = {2, "QXSF", 7, 1, 1};
    write_ipc_protocol(CONFIG_DB_PATH, &onvif);
    write_ipc_protocol(CONFIG_DB_PATH, &qxsf);
    IpcModelRecord models[] = {{0, 0, "Generic", 1, 1}, {3, 2, "QX-1", 0, 0}, {9, 0, "Dome", 2, 0}};
    for (const IpcModelRecord &m : models)
        write_ipc_model(CONFIG_DB_PATH, &m);

    const std::string expected = json_answer(
        "{ \"protocols\": [ "
        "{ \"id\": 0, \"name\": \"ONVIF\", \"protocolFunction\": 3, \"enable\": 1, \"display_model\": 1, "
        "\"models\": [ { \"id\": 0, \"name\": \"Generic\", \"alarm_type\": 1, \"default_model\": 1 }, "
        "{ \"id\": 9, \"name\": \"Dome\", \"alarm_type\": 2, \"default_model\": 0 } ] }, "
        "{ \"id\": 2, \"name\": \"QXSF\", \"protocolFunction\": 7, \"enable\": 1, \"display_model\": 0, "
        "\"models\": [ { \"id\": 3, \"name\": \"QX-1\", \"alarm_type\": 0, \"default_model\": 0 } ] } ] }");
    EXPECT_EQ(get("/2008").out, expected);

    // The maker's protocol lost its model display in the store as well.
    IpcProtocolRecord list[QXDB_MAX_IPC_PROTOCOLS];
    int32_t n = 0;
    read_ipc_protocols(CONFIG_DB_PATH, list, QXDB_MAX_IPC_PROTOCOLS, &n);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(list[0].display_model, 1);
    EXPECT_EQ(list[1].display_model, 0);
    EXPECT_STREQ(list[1].name, "QXSF");
    EXPECT_EQ(get("/2008").out, expected);
}

TEST_F(CameraReadTest, NoProtocolsStored)
{
    EXPECT_EQ(get("/2008").out, json_answer("{ \"protocols\": [ ] }"));
}

TEST_F(CameraReadTest, SmallReads)
{
    EXPECT_EQ(get("/2016").out, text_answer("kq5820"));
    EXPECT_EQ(get("/2018").out, text_answer("0"));
    EXPECT_EQ(get("/2034").out, text_answer("0"));

    set_param_value(CONFIG_DB_PATH, "poepsd", "Poe#2024");
    set_param_int(CONFIG_DB_PATH, "max_poe_num", 8);
    EXPECT_EQ(get("/2016").out, text_answer("Poe#2024"));
    EXPECT_EQ(get("/2018").out, text_answer("8"));
    set_param_value(CONFIG_DB_PATH, "poepsd", std::string(100, 'p').c_str());
    EXPECT_EQ(get("/2016").out, text_answer(std::string(63, 'p')));
}

TEST_F(CameraReadTest, Ipv6IsThereWhenAnInterfaceOtherThanLoopbackHasAnAddress)
{
    const std::string lo = "00000000000000000000000000000001 01 80 10 80       lo\n";
    const std::string eth = "fe800000000000000211223344556677 02 40 20 80     eth0\n";
    struct Case {
        std::string file;
        const char *answer;
    } cases[] = {{lo, "0"}, {lo + eth, "1"}, {"", "0"}, {"garbage\n", "0"}};
    for (const Case &c : cases) {
        root.write_file("/proc/net/if_inet6", c.file);
        EXPECT_EQ(get("/2034").out, text_answer(c.answer)) << c.file;
    }
}

} // namespace
