// User accounts: list, add, edit, delete, preset users and small notices.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "outside/qxdb.h"
#include "users_fixture.h"

using namespace nvrtest;

namespace {

class UserAccountsTest : public UsersTest {
protected:
    CgiResult send(const std::string &path, const std::string &body)
    {
        CgiRequest req = post_json(path, body);
        req.cookie = "lang=en; userName=admin";
        return run(req);
    }

    // Every stored slot, for checking that a refused request changed nothing.
    static std::string store_bytes()
    {
        std::string all;
        for (int32_t id = 0; id < QXDB_MAX_USERS; id++)
            all += bytes_of(stored_user(id));
        return all;
    }
};

std::string codes_of(const CgiResult &r)
{
    std::string s;
    for (const DaemonMsg &m : r.requests)
        s += std::to_string(m.code) + "(" + std::to_string(m.payload.size()) + ") ";
    return s;
}

// ---- "/6070" -----------------------------------------------------------------

TEST_F(UserAccountsTest, ListShowsEnabledAccountsInSlotOrder)
{
    UserRecord ops = make_user(2, "ops", "abc", 2);
    ops.permission = 5;
    ops.remote_permission = 6;
    ops.local_rights[4] = 1;
    ops.remote_rights[9] = 1;
    copy_text(ops.local_liveview, "1");
    copy_text(ops.remote_liveview, "01");
    UserRecord off = make_user(3, "off", "abc", 1);
    off.enable = 0;
    // A name and password that fill their fields to the last byte.
    UserRecord full = make_user(5, "", "", 1);
    memset(full.name, 'n', sizeof full.name);
    memset(full.password, 'p', sizeof full.password);
    for (const UserRecord *u : {&full, &off, &ops})
        write_user(CONFIG_DB_PATH, u);

    CgiResult r = run(nvrtest::get("/6070"));
    EXPECT_EQ(r.header, "Content-type: application/json\r\n");
    const std::string first =
        "[ { \"id\": 2, \"enable\": 1, \"name\": \"ops\", \"password\": \"abc\", \"type\": 2, \"permission\": 5, "
        "\"localLiveView\": 0, \"localPlayback\": 0, \"localRetrieve\": 0, \"localSmartAnalysis\": 0, "
        "\"localEvent\": 1, \"localCamera\": 0, \"localStorage\": 0, \"localSettings\": 0, \"localStatus\": 0, "
        "\"localShutdown\": 0, \"localliveview\": \"1\", \"localplayback\": \"\", \"remotePermission\": 6, "
        "\"remoteLiveView\": 0, \"remotePlayback\": 0, \"remoteRetrieve\": 0, \"remoteSmartAnalysis\": 0, "
        "\"remoteEvent\": 0, \"remoteCamera\": 0, \"remoteStorage\": 0, \"remoteSettings\": 0, "
        "\"remoteStatus\": 0, \"remoteShutdown\": 1, \"remoteliveview\": \"01\", \"remoteplayback\": \"\" }, "
        "{ \"id\": 5, \"enable\": 1, \"name\": \"" +
        std::string(64, 'n') + "\", \"password\": \"" + std::string(36, 'p') + "\", \"type\": 1, ";
    EXPECT_EQ(r.body.substr(0, first.size()), first);
    EXPECT_EQ(r.body.find("\"off\""), std::string::npos);
    EXPECT_EQ(r.body.substr(r.body.size() - 2), " ]");
    EXPECT_TRUE(r.requests.empty());
}

TEST_F(UserAccountsTest, ListOfAnEmptyStoreIsAnEmptyArray)
{
    EXPECT_EQ(run(nvrtest::get("/6070")).out, json_answer("[ ]"));
}

// ---- "/6071" -----------------------------------------------------------------

TEST_F(UserAccountsTest, AddStoresTheAccountNotifiesAndLogs)
{
    std::string local_playback(40, '0');
    local_playback[1] = '1';
    local_playback[33] = '1';    // past the 32 channels a mask holds
    const std::string body = "{\"name\":\"" + std::string(70, 'a') +
                             "\",\"password\":\"0123456789abcdef0123456789abcdefXX\",\"type\":2,"
                             "\"permission\":-1,\"remotePermission\":3,\"localliveview\":\"1010\","
                             "\"localplayback\":\"" + local_playback + "\",\"remoteliveview\":\"1\","
                             "\"remoteplayback\":\"x1\",\"localEvent\":1,\"localCamera\":\"4\","
                             "\"remoteShutdown\":1}";
    CgiResult r = send("/6071", body);
    EXPECT_EQ(r.out, text_answer("id=0"));

    UserRecord want = make_user(0, std::string(63, 'a').c_str(), "0123456789abcdef0123456789abcdef", 2);
    want.permission = -1;
    want.remote_permission = 3;
    copy_text(want.local_liveview, "1010");
    copy_text(want.local_playback, local_playback.c_str());
    copy_text(want.remote_liveview, "1");
    copy_text(want.remote_playback, "x1");
    want.channel_mask[0] = 5;
    want.channel_mask[1] = 2;
    want.channel_mask[2] = 1;
    want.channel_mask[3] = 2;
    want.local_rights[4] = 1;
    want.local_rights[5] = 4;
    want.remote_rights[9] = 1;
    copy_text(want.created, "0");
    EXPECT_EQ(hex(bytes_of(stored_user(0))), hex(bytes_of(want)));

    ASSERT_EQ(r.requests.size(), 2u) << codes_of(r);
    EXPECT_EQ(r.requests[0].code, 3505);
    EXPECT_EQ(r.requests[0].payload, "");
    EXPECT_EQ(r.requests[1].code, 3485);
    EXPECT_EQ(r.requests[1].payload, bytes_of(oplog(204, 921, "admin")));
}

TEST_F(UserAccountsTest, AddTakesTheFirstFreeSlotUpToTheHundredthAccount)
{
    for (int32_t id = 0; id < QXDB_MAX_USERS; id++) {
        UserRecord u = make_user(id, ("user" + std::to_string(id)).c_str(), "x", 1);
        u.enable = id == 57 ? 0 : 1;
        write_user(CONFIG_DB_PATH, &u);
    }
    const std::string body = "{\"name\":\"new\",\"type\":1,\"permission\":0,\"remotePermission\":0}";
    EXPECT_EQ(send("/6071", body).out, text_answer("id=57"));
    EXPECT_EQ(read_user_count(CONFIG_DB_PATH), 100);

    // Full: refused before the body is even looked at.
    for (const char *b : {"{\"name\":\"more\",\"type\":1,\"permission\":0,\"remotePermission\":0}", "garbage"}) {
        CgiResult r = send("/6071", b);
        EXPECT_EQ(r.out, text_answer("FAILED_FULL")) << b;
        EXPECT_TRUE(r.requests.empty()) << b;
    }
}

TEST_F(UserAccountsTest, AddsAtTheSameTimeGetDifferentSlots)
{
    const int n = 6;
    std::vector<std::string> answers(n);
    std::vector<std::thread> workers;
    for (int i = 0; i < n; i++) {
        workers.emplace_back([i, &answers] {
            CgiRequest req = post_json("/6071", "{\"name\":\"u" + std::to_string(i) +
                                                    "\",\"type\":1,\"permission\":0,\"remotePermission\":0}");
            answers[i] = run_cgi(req).out;
        });
    }
    for (std::thread &t : workers)
        t.join();
    std::set<std::string> distinct(answers.begin(), answers.end());
    EXPECT_EQ(distinct.size(), static_cast<size_t>(n));
    for (int id = 0; id < n; id++) {
        EXPECT_EQ(distinct.count(text_answer("id=" + std::to_string(id))), 1u) << id;
        EXPECT_EQ(stored_user(id).enable, 1);
    }
    EXPECT_EQ(read_user_count(CONFIG_DB_PATH), n);
}

TEST(UserStoreTest, AddIntoAFullStoreWritesNothing)
{
    TestRoot root;
    for (int32_t id = 0; id < QXDB_MAX_USERS; id++) {
        UserRecord u;
        memset(&u, 0, sizeof u);
        u.id = id;
        u.enable = 1;
        write_user(CONFIG_DB_PATH, &u);
    }
    UserRecord extra;
    memset(&extra, 0, sizeof extra);
    extra.enable = 1;
    copy_text(extra.name, "extra");
    EXPECT_EQ(add_user(CONFIG_DB_PATH, &extra), -1);
    UserRecord found;
    EXPECT_EQ(read_user_by_name(CONFIG_DB_PATH, "extra", &found), -1);
    EXPECT_EQ(read_user_count(CONFIG_DB_PATH), QXDB_MAX_USERS);
}

TEST_F(UserAccountsTest, AddRefusesBadBodiesWithoutAnswer)
{
    UserRecord u = make_user(0, "admin", "x", 0);
    write_user(CONFIG_DB_PATH, &u);
    const std::string before = store_bytes();
    const char *bodies[] = {
        "",
        "name=bob&type=1",
        "[1,2]",
        "{\"name\":\"bob\",\"permission\":0,\"remotePermission\":0}",
        "{\"name\":\"bob\",\"type\":4,\"permission\":0,\"remotePermission\":0}",
        "{\"name\":\"bob\",\"type\":-1,\"permission\":0,\"remotePermission\":0}",
        "{\"name\":\"bob\",\"type\":1,\"permission\":-2,\"remotePermission\":0}",
        "{\"name\":\"bob\",\"type\":1,\"permission\":0}",
        "{\"name\":\"bob\",\"type\":1,\"permission\":0,\"remotePermission\":-2}",
        "{\"name\":\"bob\",\"type\":\"abc\",\"permission\":0,\"remotePermission\":0}",
        "{\"name\":\"bob\",\"type\":1.5,\"permission\":0,\"remotePermission\":0}",
        "{\"name\":\"bob\",\"type\":1,\"permission\":0,\"remotePermission\":0,\"localEvent\":\"yes\"}",
        "{\"name\":\"bob\",\"type\":1,\"permission\":0,\"remotePermission\":0,\"remoteCamera\":null}",
    };
    for (const char *b : bodies) {
        CgiResult r = send("/6071", b);
        EXPECT_EQ(r.out, "") << b;
        EXPECT_TRUE(r.requests.empty()) << b;
    }
    EXPECT_EQ(store_bytes(), before);
}

TEST_F(UserAccountsTest, DuplicateNamesAreToldApartByTheirFirst31Characters)
{
    const std::string a31(31, 'A');
    UserRecord longname = make_user(0, (a31 + "Y").c_str(), "x", 1);
    UserRecord old = make_user(1, "old", "x", 1);
    old.enable = 0;    // a free slot keeps no name
    write_user(CONFIG_DB_PATH, &longname);
    write_user(CONFIG_DB_PATH, &old);
    struct Case {
        std::string name;
        const char *answer;
    } cases[] = {
        {a31 + "Z", "SAMEUSER"},
        {a31 + "Y", "SAMEUSER"},
        {a31, "SAMEUSER"},
        {"old", "id=1"},
        {"old", "SAMEUSER"},
        {std::string(30, 'A') + "BY", "id=2"},
    };
    for (const Case &c : cases) {
        CgiResult r = send("/6071", "{\"name\":\"" + c.name + "\",\"type\":1,\"permission\":0,\"remotePermission\":0}");
        EXPECT_EQ(r.out, text_answer(c.answer)) << c.name;
        if (strcmp(c.answer, "SAMEUSER") == 0)
            EXPECT_TRUE(r.requests.empty()) << c.name;
    }
    EXPECT_STREQ(stored_user(0).name, (a31 + "Y").c_str());
    EXPECT_EQ(read_user_count(CONFIG_DB_PATH), 3);
}

// ---- "/6072" -----------------------------------------------------------------

class EditUserTest : public UserAccountsTest {
protected:
    UserRecord bob = make_user(2, "bob", "oldpass", 1);
    UserRecord carol = make_user(3, "carol", "x", 2);

    void SetUp() override
    {
        bob.permission = 9;
        bob.remote_permission = 8;
        copy_text(bob.local_liveview, "1111");
        copy_text(bob.remote_playback, "0001");
        bob.channel_mask[0] = 0xF;
        bob.channel_mask[3] = 0x8;
        copy_text(bob.created, "0");
        write_user(CONFIG_DB_PATH, &bob);
        write_user(CONFIG_DB_PATH, &carol);
    }
};

TEST_F(EditUserTest, EditChangesTheGivenFieldsAndNotifiesWithTheId)
{
    CgiResult r = send("/6072", "{\"id\":2,\"name\":\"robert\",\"password\":\"NEWPASS\",\"type\":0,"
                                "\"permission\":-1,\"remotePermission\":-1,\"localliveview\":\"1\","
                                "\"remoteShutdown\":1,\"localStatus\":\"3\"}");
    EXPECT_EQ(r.out, text_answer("OK"));

    UserRecord want = bob;
    copy_text(want.name, "robert");
    copy_text(want.password, "NEWPASS");
    want.type = 0;
    copy_text(want.local_liveview, "1");
    // The mask follows its channel string; permissions stay as they were.
    want.channel_mask[0] = 1;
    want.remote_rights[9] = 1;
    want.local_rights[8] = 3;
    EXPECT_EQ(hex(bytes_of(stored_user(2))), hex(bytes_of(want)));

    ASSERT_EQ(r.requests.size(), 1u) << codes_of(r);
    EXPECT_EQ(r.requests[0].code, 3505);
    EXPECT_EQ(r.requests[0].payload, le32(2));
}

TEST_F(EditUserTest, EditToAnotherAccountsNameIsRefused)
{
    const std::string before = store_bytes();
    CgiResult r = send("/6072", "{\"id\":2,\"name\":\"carol\",\"password\":\"changed\"}");
    EXPECT_EQ(r.out, text_answer("SAMEUSER"));
    EXPECT_TRUE(r.requests.empty());
    EXPECT_EQ(store_bytes(), before);

    // Its own name is no clash.
    EXPECT_EQ(send("/6072", "{\"id\":2,\"name\":\"bob\",\"password\":\"changed\"}").out, text_answer("OK"));
    EXPECT_STREQ(stored_user(2).password, "changed");
}

TEST_F(EditUserTest, EditOutsideTheSlotsOrWithBadNumbersWritesNothing)
{
    const std::string before = store_bytes();
    const char *bodies[] = {
        "",
        "not json",
        "{\"id\":100,\"name\":\"x\"}",
        "{\"id\":-1,\"name\":\"x\"}",
        "{\"id\":\"abc\",\"name\":\"x\"}",
        "{\"id\":2.5,\"name\":\"x\"}",
        "{\"id\":4294967298,\"name\":\"x\"}",
        "{\"id\":2,\"type\":4}",
        "{\"id\":2,\"type\":\"x\"}",
        "{\"id\":2,\"localEvent\":\"x\"}",
    };
    for (const char *b : bodies) {
        CgiResult r = send("/6072", b);
        EXPECT_EQ(r.out, "") << b;
        EXPECT_TRUE(r.requests.empty()) << b;
    }
    EXPECT_EQ(store_bytes(), before);
}

TEST_F(EditUserTest, EditOfAFreeSlotStoresTheSlotNumber)
{
    struct Case {
        const char *body;
        int32_t id;
    } cases[] = {
        {"{\"id\":7,\"name\":\"seven\"}", 7},
        {"{\"id\":\"9\",\"name\":\"nine\"}", 9},
        {"{\"name\":\"zero\"}", 0},    // no id: slot 0
    };
    for (const Case &c : cases) {
        CgiResult r = send("/6072", c.body);
        EXPECT_EQ(r.out, text_answer("OK")) << c.body;
        UserRecord u = stored_user(c.id);
        EXPECT_EQ(u.id, c.id) << c.body;
        EXPECT_EQ(u.enable, 1) << c.body;
        ASSERT_EQ(r.requests.size(), 1u) << c.body;
        EXPECT_EQ(r.requests[0].payload, le32(c.id)) << c.body;
    }
    EXPECT_STREQ(stored_user(0).name, "zero");
}

// ---- "/6073" -----------------------------------------------------------------

TEST_F(EditUserTest, DeleteFreesTheSlotNotifiesAndLogs)
{
    CgiResult r = send("/6073", "{\"id\":3,\"type\":2}");
    EXPECT_EQ(r.out, text_answer("OK"));
    UserRecord freed;
    memset(&freed, 0, sizeof freed);
    freed.id = 3;
    EXPECT_EQ(hex(bytes_of(stored_user(3))), hex(bytes_of(freed)));
    ASSERT_EQ(r.requests.size(), 2u) << codes_of(r);
    EXPECT_EQ(r.requests[0].code, 3505);
    EXPECT_EQ(r.requests[0].payload, le32(3));
    EXPECT_EQ(r.requests[1].code, 3485);
    EXPECT_EQ(r.requests[1].payload, bytes_of(oplog(204, 922, "admin")));
    EXPECT_EQ(read_user_count(CONFIG_DB_PATH), 1);
}

TEST_F(EditUserTest, DeleteRefusesBadIdsAndTypes)
{
    const std::string before = store_bytes();
    const char *bodies[] = {
        "", "junk", "{\"id\":100,\"type\":1}", "{\"id\":-1,\"type\":1}", "{\"id\":3,\"type\":4}",
        "{\"id\":3}", "{\"type\":1}", "{\"id\":\"3x\",\"type\":1}", "{\"id\":3,\"type\":\"\"}",
    };
    for (const char *b : bodies) {
        CgiResult r = send("/6073", b);
        EXPECT_EQ(r.out, "") << b;
        EXPECT_TRUE(r.requests.empty()) << b;
    }
    EXPECT_EQ(store_bytes(), before);
}

// ---- "/6074" -----------------------------------------------------------------

TEST_F(UserAccountsTest, PresetListOnlyWhenTheFileExists)
{
    CgiResult r = run(nvrtest::get("/6074"));
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(root.exists(OEM_DB_PATH));

    PresetUserRecord p[3];
    memset(p, 0, sizeof p);
    const int32_t ids[3] = {0, 1, 4};
    for (int i = 0; i < 3; i++) {
        p[i].id = ids[i];
        p[i].enable = i == 1 ? 0 : 1;
        p[i].type = i;
        p[i].permission = -1;
        p[i].remote_permission = i;
        copy_text(p[i].name, i == 0 ? "installer" : "service");
        copy_text(p[i].password, "abc");
        write_user_oem(OEM_DB_PATH, &p[i]);
    }
    r = run(nvrtest::get("/6074"));
    EXPECT_EQ(r.out, json_answer("[ { \"id\": 0, \"enable\": 1, \"name\": \"installer\", \"password\": \"abc\", "
                                 "\"type\": 0, \"permission\": -1, \"remotePermission\": 0 }, "
                                 "{ \"id\": 4, \"enable\": 1, \"name\": \"service\", \"password\": \"abc\", "
                                 "\"type\": 2, \"permission\": -1, \"remotePermission\": 2 } ]"));
}

// ---- "/6075" to "/6077", "/1024" ---------------------------------------------

TEST_F(UserAccountsTest, PoePasswordChangeAnswersTheDaemonsResult)
{
    daemon.reply_status(3265, -3);
    CgiResult r = run(nvrtest::get("/6075"));
    EXPECT_EQ(r.out, text_answer("-3"));
    ASSERT_EQ(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].code, 3265);
    EXPECT_EQ(r.requests[0].payload, "");

    daemon.on(3265, {});
    EXPECT_EQ(run(nvrtest::get("/6075")).out, json_answer("{status:\"CGI ERROR\"}"));
}

TEST_F(UserAccountsTest, NoticesAnswerOk)
{
    struct Case {
        const char *path;
        int32_t code;
    } cases[] = {{"/6076", 3267}, {"/6077", 3505}};
    for (const Case &c : cases) {
        CgiResult r = run(nvrtest::get(c.path));
        EXPECT_EQ(r.out, text_answer("OK")) << c.path;
        ASSERT_EQ(r.requests.size(), 1u) << c.path;
        EXPECT_EQ(r.requests[0].code, c.code) << c.path;
        EXPECT_EQ(r.requests[0].payload, "") << c.path;
    }
}

TEST_F(UserAccountsTest, PermissionUpdateFlagIsCleared)
{
    set_param_int(CONFIG_DB_PATH, "permission_update", 1);
    CgiResult r = run(nvrtest::get("/1024"));
    EXPECT_EQ(r.out, text_answer("OK"));
    EXPECT_EQ(get_param_int(CONFIG_DB_PATH, "permission_update", -1), 0);
    EXPECT_TRUE(r.requests.empty());
}

} // namespace
