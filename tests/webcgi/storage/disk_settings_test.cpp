// "/6101" disk property and group, "/6103" disk number, "/6207" removing a
// disk entry.
#include <gtest/gtest.h>

#include "storage_fixture.h"

using namespace nvrtest;
using namespace storagetest;

namespace {

class DiskSettingsTest : public RouteTest {};

Bytes words(std::initializer_list<int32_t> v)
{
    Bytes b;
    for (int32_t x : v)
        b += le32(x);
    return b;
}

TEST_F(DiskSettingsTest, PropertyIsStoredAnnouncedAndLogged)
{
    DiskRecord s = stored(3, 1, "WDC", "", "", "", "");
    s.group = 1;
    write_disk(CONFIG_DB_PATH, &s);

    CgiRequest req = post_json("/6101", "{\"portId\": 3, \"property\": 1, \"group\": 2}");
    req.cookie = "userName=admin";
    CgiResult r = run(req);
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{3435, 3485}));
    EXPECT_EQ(r.requests[0].payload, words({3, 1, 2, 0}));
    expect_oplog(r.requests[1], 204, 919, 3);
    EXPECT_STREQ(oplog_of(r.requests[1]).user, "admin");

    DiskRecord after;
    read_disk(CONFIG_DB_PATH, &after, 3);
    DiskRecord want = s;
    want.group = 2;
    want.property = 1;
    EXPECT_EQ(bytes_of(after), bytes_of(want)); // the rest of the record is kept
}

TEST_F(DiskSettingsTest, PropertyOfAnUnstoredSlotWritesARecordWithThatSlot)
{
    // A page may send numbers as texts; without "group" the stored one stays.
    EXPECT_EQ(post("/6101", "{\"portId\": \"0\", \"property\": 0}").out, text_answer("OK"));
    EXPECT_EQ(post("/6101", "{\"portId\": 35, \"property\": 1}").out, text_answer("OK"));
    DiskRecord disks[QXDB_MAX_DISKS];
    int32_t n = 0;
    read_disks(CONFIG_DB_PATH, disks, &n);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(disks[0].slot, 0);
    EXPECT_EQ(disks[1].slot, 35);
    EXPECT_EQ(disks[1].property, 1);
    EXPECT_EQ(disks[1].group, 0);
    EXPECT_EQ(disks[1].enable, 0);
}

TEST_F(DiskSettingsTest, RefusedPropertyRequestsDoNothing)
{
    DiskRecord s = stored(3, 1, "WDC");
    write_disk(CONFIG_DB_PATH, &s);
    const Bytes before = store_snapshot();
    for (const char *body : {
             "{\"portId\": 3, \"property\": 2}",
             "{\"portId\": 3, \"property\": -1}",
             "{\"portId\": 36, \"property\": 1}",
             "{\"portId\": -1, \"property\": 1}",
             "{\"property\": 1}",
             "{\"portId\": 3}",
             "{\"portId\": \"abc\", \"property\": 1}",
             "{\"portId\": 3, \"property\": \"x\"}",
             "{\"portId\": 3, \"property\": 1, \"group\": \"x\"}",
             "{\"portId\": [3], \"property\": 1}",
             "[3, 1]",
             "not json",
             "",
         }) {
        CgiResult r = post("/6101", body);
        EXPECT_EQ(r.out, "") << body;
        EXPECT_TRUE(r.requests.empty()) << body;
    }
    EXPECT_EQ(store_snapshot(), before);
}

TEST_F(DiskSettingsTest, DiskNumberCheck)
{
    struct Case {
        const char *text;
        std::string out;
    } cases[] = {
        {"0", text_answer("OK")}, {"16", text_answer("OK")}, {"17", ""}, {"-1", ""},
        {"abc", ""},              {"", ""},                  {"3x", ""},
    };
    for (const Case &c : cases) {
        CgiResult r = get("/6103", c.text);
        EXPECT_EQ(r.out, c.out) << c.text;
        EXPECT_TRUE(r.requests.empty()) << c.text;
    }
}

TEST_F(DiskSettingsTest, RemoveSendsTheRequestOfTheDiskType)
{
    RaidRequest raid;
    memset(&raid, 0, sizeof raid);
    raid.id = 12;
    SlotList nas;
    memset(&nas, 0, sizeof nas);
    nas.count = 1;
    nas.slots[0] = 6;
    struct Case {
        std::string body;
        int32_t code, reply, status;
        Bytes payload;
        std::string out;
        bool logged;
    } cases[] = {
        {"{\"port\": 12, \"hddType\": 4}", 3421, 8421, 0, bytes_of(raid), "OK", true},
        {"{\"port\": 12, \"hddType\": 4}", 3421, 8421, -1, bytes_of(raid), "Error", true},
        {"{\"port\": 6, \"hddType\": 3}", 3508, 8508, 0, bytes_of(nas), "OK", false},
        {"{\"port\": 6, \"hddType\": 10}", 3508, 8508, 2, bytes_of(nas), "Error", false},
        {"{\"port\": 6, \"hddType\": 1}", 3496, 8496, 0, le32(6), "OK", true},
        {"{\"port\": \"6\", \"hddType\": \"0\"}", 3496, 8496, 1, le32(6), "Error", true},
    };
    for (const Case &c : cases) {
        daemon.reply_status(c.code, c.status);
        CgiResult r = post("/6207", c.body);
        EXPECT_EQ(r.out, text_answer(c.out)) << c.body;
        ASSERT_GE(r.requests.size(), 1u) << c.body;
        EXPECT_EQ(r.requests[0].code, c.code) << c.body;
        EXPECT_EQ(r.requests[0].payload, c.payload) << c.body;
        ASSERT_EQ(r.requests.size(), c.logged ? 2u : 1u) << c.body;
        if (c.logged)
            expect_oplog(r.requests[1], 224, 900, c.code == 3421 ? 12 : 6);
    }
}

TEST_F(DiskSettingsTest, RemovingALocalDiskResetsItsStoredRecord)
{
    DiskRecord s = stored(6, 1, "WDC", "", "", "", "");
    s.group = 3;
    write_disk(CONFIG_DB_PATH, &s);
    DiskRecord raid = stored(12, HDD_TYPE_RAID, "R");
    DiskRecord nas = stored(7, HDD_TYPE_NFS, "N", "srv", "/x");
    write_disk(CONFIG_DB_PATH, &raid);
    write_disk(CONFIG_DB_PATH, &nas);
    daemon.reply_status(3496, 0);
    EXPECT_EQ(post("/6207", "{\"port\": 6, \"hddType\": 1}").out, text_answer("OK"));
    DiskRecord after;
    read_disk(CONFIG_DB_PATH, &after, 6);
    DiskRecord want;
    memset(&want, 0, sizeof want);
    want.slot = 6;
    want.property = 1;
    EXPECT_EQ(bytes_of(after), bytes_of(want));

    // RAID arrays and network disks are removed by the daemon; their records stay.
    daemon.reply_status(3421, 0);
    daemon.reply_status(3508, 0);
    const Bytes before = store_snapshot();
    post("/6207", "{\"port\": 12, \"hddType\": 4}");
    post("/6207", "{\"port\": 7, \"hddType\": 3}");
    EXPECT_EQ(store_snapshot(), before);
}

TEST_F(DiskSettingsTest, RefusedRemoveRequestsDoNothing)
{
    DiskRecord s = stored(6, 1, "WDC");
    write_disk(CONFIG_DB_PATH, &s);
    const Bytes before = store_snapshot();
    for (const char *body : {
             "not json",
             "",
             "{\"hddType\": 1}",
             "{\"port\": 6}",
             "{\"port\": \"abc\", \"hddType\": 1}",
             "{\"port\": 6, \"hddType\": \"abc\"}",
             // a local disk's port becomes a store key
             "{\"port\": 37, \"hddType\": 1}",
             "{\"port\": 0, \"hddType\": 1}",
             "{\"port\": -2, \"hddType\": 2}",
         }) {
        CgiResult r = post("/6207", body);
        EXPECT_EQ(r.out, "") << body;
        EXPECT_TRUE(r.requests.empty()) << body;
    }
    EXPECT_EQ(store_snapshot(), before);
}

TEST_F(DiskSettingsTest, RemoveWithoutReplyAnswersCgiErrorAndStillLogs)
{
    CgiResult r = post("/6207", "{\"port\": 6, \"hddType\": 1}");
    EXPECT_EQ(r.out, text_answer("CGI ERROR"));
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{3496, 3485}));
    expect_oplog(r.requests[1], 224, 900, 6);
}

} // namespace
