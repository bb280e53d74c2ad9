// "/6100": the disk list, merged from the daemon's reply and the store.
#include <gtest/gtest.h>

#include <json-c/json.h>

#include "storage_fixture.h"

using namespace nvrtest;
using namespace storagetest;

namespace {

class DiskListTest : public RouteTest {
protected:
    // The one disk object of an answer, parsed (the caller releases root).
    json_object *only_disk(const CgiResult &r, json_object **root)
    {
        *root = json_tokener_parse(r.body.c_str());
        json_object *hdd = nullptr;
        if (!*root || !json_object_object_get_ex(*root, "HDD", &hdd) || !json_object_is_type(hdd, json_type_array) ||
            json_object_array_length(hdd) != 1)
            return nullptr;
        return json_object_array_get_idx(hdd, 0);
    }
    int64_t member_int(json_object *o, const char *key)
    {
        json_object *m = nullptr;
        return json_object_object_get_ex(o, key, &m) ? json_object_get_int64(m) : -999;
    }
    std::string member_text(json_object *o, const char *key)
    {
        json_object *m = nullptr;
        return json_object_object_get_ex(o, key, &m) ? json_object_get_string(m) : "<missing>";
    }
};

TEST_F(DiskListTest, MergesReportedAndConfiguredDisks)
{
    StorageInfoRecord old1 = reported(1, 1, "old");
    StorageInfoRecord r1 = reported(1, 1, "WDC WD40");
    r1.usable = 1;
    r1.total_size = (2000ull << 20) + 12345; // sizes are whole MiB, rounded down
    r1.used_size = 500ull << 20;
    r1.free_size = (1500ull << 20) + 7;
    r1.group = 2;
    StorageInfoRecord r3 = reported(3, HDD_TYPE_RAID, "RAID5");
    r3.state = 1;
    r3.usable = 1;
    r3.raid_level = 5;
    r3.raid_state = 1;
    r3.raid_progress = 40;
    r3.raid_sata_cnt = 2;
    r3.raid_sata_port[0] = 1;
    r3.raid_sata_port[1] = 3;
    StorageInfoRecord r5 = reported(5, HDD_TYPE_NFS, "NFS");
    copy_text(r5.address, "10.0.0.9");
    copy_text(r5.directory, "/daemon");
    r5.usable = 1;
    r5.total_size = 100ull << 20;
    daemon.reply(3433, records({r5, old1, r1, reported(0, 1, "zero"), r3, reported(40, 1, "forty")}));

    DiskRecord s1 = stored(1, 1, "storevendor"); // a local disk keeps what the daemon says
    DiskRecord s5 = stored(5, HDD_TYPE_NFS, "nas-a", "10.0.0.5", "/vol/rec", "rec@x", "p w");
    DiskRecord s7 = stored(7, HDD_TYPE_SMB, "smb-b", "srv", "/share/cam", "bob", "");
    s7.group = 1;
    s7.property = 1;
    DiskRecord s9 = stored(9, 1, "off");
    s9.enable = 0;
    for (const DiskRecord &d : {s1, s5, s7, s9})
        ASSERT_EQ(write_disk(CONFIG_DB_PATH, &d), 0);
    set_param_int(CONFIG_DB_PATH, "esata_type", 1);

    CgiResult r = get("/6100");
    const std::string zeros_raid = "\"raid_level\": 0, \"raid_state\": 0, \"raid_progress\": 0, \"raid_sata_cnt\": 0, "
                                   "\"raid_task\": 0, ";
    EXPECT_EQ(r.out,
              json_answer(
                  "{ \"resultString\": \"OK\", \"esataType\": 1, \"HDD\": [ "
                  "{ \"portId\": 1, \"vendorName\": \"WDC WD40\", \"address\": \"\", \"directory\": \"\", "
                  "\"totalSize\": 2000, \"usedSize\": 500, \"freeSize\": 1500, \"hddType\": 1, \"state\": 0, "
                  "\"group\": 2, \"property\": 0, \"bUsable\": 1, \"raid_id\": 1, " +
                  zeros_raid +
                  "\"userName\": \"\", \"password\": \"\", \"raid_sata_port\": 0 }, "
                  "{ \"portId\": 3, \"vendorName\": \"RAID5\", \"address\": \"\", \"directory\": \"\", "
                  "\"totalSize\": 0, \"usedSize\": 0, \"freeSize\": 0, \"hddType\": 4, \"state\": 1, "
                  "\"group\": 0, \"property\": 0, \"bUsable\": 1, \"raid_id\": 3, \"raid_level\": 5, "
                  "\"raid_state\": 1, \"raid_progress\": 40, \"raid_sata_cnt\": 2, \"raid_task\": 40, "
                  "\"userName\": \"\", \"password\": \"\", \"raid_sata_port\": 10 }, "
                  "{ \"portId\": 5, \"vendorName\": \"nas-a\", \"address\": \"10.0.0.5\", "
                  "\"directory\": \"\\/vol\\/rec\", \"totalSize\": 100, \"usedSize\": 0, \"freeSize\": 0, "
                  "\"hddType\": 3, \"state\": 0, \"group\": 0, \"property\": 0, \"bUsable\": 1, \"raid_id\": 5, " +
                  zeros_raid +
                  "\"userName\": \"rec%40x\", \"password\": \"p%20w\", \"raid_sata_port\": 0 }, "
                  "{ \"portId\": 7, \"vendorName\": \"smb-b\", \"address\": \"srv\", "
                  "\"directory\": \"\\/share\\/cam\", \"totalSize\": 0, \"usedSize\": 0, \"freeSize\": 0, "
                  "\"hddType\": 10, \"state\": 2, \"group\": 1, \"property\": 1, \"bUsable\": 0, \"raid_id\": 7, " +
                  zeros_raid +
                  "\"userName\": \"bob\", \"password\": \"\", \"raid_sata_port\": 0 } "
                  "], \"maxDiskNum\": 36 }"));
    ASSERT_EQ(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].code, 3433);
    EXPECT_EQ(r.requests[0].payload, "");
}

TEST_F(DiskListTest, ReplyWithoutDisksListsTheConfiguredOnes)
{
    // Empty payloads never reach a reply function; a reply shorter than one
    // record is how the daemon says it sees no disk.
    daemon.reply(3433, le32(0));
    EXPECT_EQ(get("/6100").out,
              json_answer("{ \"resultString\": \"NO\", \"esataType\": 0, \"HDD\": [ ], \"maxDiskNum\": 36 }"));

    DiskRecord s = stored(36, HDD_TYPE_SMB, "smb", "srv", "/s");
    write_disk(CONFIG_DB_PATH, &s);
    json_object *root = nullptr;
    CgiResult r = get("/6100");
    json_object *d = only_disk(r, &root);
    ASSERT_NE(d, nullptr) << r.out;
    EXPECT_EQ(member_text(root, "resultString"), "OK");
    EXPECT_EQ(member_int(d, "portId"), 36);
    EXPECT_EQ(member_int(d, "state"), 2);
    EXPECT_EQ(member_text(d, "directory"), "/s");
    json_object_put(root);
}

TEST_F(DiskListTest, LongShareTextsOfAnAbsentNetworkDiskAreKept)
{
    // A share path longer than 63 characters must reach the page whole: the
    // page edits network disks from this list and stores what it shows.
    const std::string dir = "/" + std::string(126, 'd');
    DiskRecord s = stored(4, HDD_TYPE_NFS, std::string(63, 'v').c_str(), std::string(63, 'a').c_str(), dir.c_str(),
                          std::string(32, 'u').c_str(), std::string(32, '#').c_str());
    write_disk(CONFIG_DB_PATH, &s);
    daemon.reply(3433, le32(0));
    json_object *root = nullptr;
    CgiResult r = get("/6100");
    json_object *d = only_disk(r, &root);
    ASSERT_NE(d, nullptr) << r.out;
    EXPECT_EQ(member_text(d, "vendorName"), std::string(63, 'v'));
    EXPECT_EQ(member_text(d, "address"), std::string(63, 'a'));
    EXPECT_EQ(member_text(d, "directory"), dir);
    EXPECT_EQ(member_text(d, "userName"), std::string(32, 'u'));
    // 32 escapes would be 96 characters: well inside the 127 allowed.
    std::string pw;
    for (int i = 0; i < 32; i++)
        pw += "%23";
    EXPECT_EQ(member_text(d, "password"), pw);
    json_object_put(root);
}

TEST_F(DiskListTest, FullTextFieldsOfTheReplyAreReadWithinTheField)
{
    StorageInfoRecord d = reported(2, 1);
    memset(d.vendor, 'V', sizeof d.vendor);
    memset(d.address, 'A', sizeof d.address);
    memset(d.directory, 'D', sizeof d.directory);
    memset(d.user, 'u', sizeof d.user);
    memset(d.password, 'p', sizeof d.password);
    daemon.reply(3433, bytes_of(d));
    json_object *root = nullptr;
    CgiResult r = get("/6100");
    json_object *o = only_disk(r, &root);
    ASSERT_NE(o, nullptr) << r.out;
    EXPECT_EQ(member_text(o, "vendorName"), std::string(64, 'V'));
    EXPECT_EQ(member_text(o, "address"), std::string(64, 'A'));
    EXPECT_EQ(member_text(o, "directory"), std::string(128, 'D'));
    EXPECT_EQ(member_text(o, "userName"), std::string(33, 'u'));
    EXPECT_EQ(member_text(o, "password"), std::string(33, 'p'));
    json_object_put(root);
}

TEST_F(DiskListTest, RaidMemberMask)
{
    struct Case {
        const char *what;
        int32_t count;
        std::vector<int32_t> members;
        int64_t mask;
    } cases[] = {
        {"members 1 and 3", 2, {1, 3}, 10},
        {"only the counted members", 1, {1, 3}, 2},
        {"empty entries skipped", 3, {0, 2, 0}, 4},
        {"negative count", -4, {1, 2}, 0},
        {"slots that do not fit the mask", 4, {-1, 32, 40, 31}, int64_t{1} << 31},
        {"all sixteen", 16, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 0x1FFFE},
        // The record holds 16 members; the user name follows them.
        {"count past the record", 17, {}, 0},
        {"huge count", 1000, {6}, 64},
    };
    for (const Case &c : cases) {
        StorageInfoRecord d = reported(12, HDD_TYPE_RAID);
        d.raid_sata_cnt = c.count;
        for (size_t i = 0; i < c.members.size() && i < 16; i++)
            d.raid_sata_port[i] = c.members[i];
        memcpy(d.user, "\x05\0\0\0\x07", 5); // would read as member slots 5 and 7
        daemon.reply(3433, bytes_of(d));
        json_object *root = nullptr;
        CgiResult r = get("/6100");
        json_object *o = only_disk(r, &root);
        ASSERT_NE(o, nullptr) << c.what << r.out;
        EXPECT_EQ(member_int(o, "raid_sata_port"), c.mask) << c.what;
        EXPECT_EQ(member_int(o, "raid_sata_cnt"), c.count) << c.what;
        json_object_put(root);
    }
}

TEST_F(DiskListTest, NoReplyGivesTheJsonError)
{
    EXPECT_EQ(get("/6100").out, json_answer("{status:\"CGI ERROR\"}"));
}

} // namespace
