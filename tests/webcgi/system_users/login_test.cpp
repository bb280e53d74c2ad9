// Login ("/1000") and the login from an e-mail link ("/1018").
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <ctime>

#include "harness.h"
#include "outside/qxdb.h"
#include "users_fixture.h"
#include "web_utils/oplog.h"

using namespace nvrtest;

namespace {

class LoginTest : public UsersTest {
protected:
    CgiResult login(const std::string &body, const std::string &cookie = "")
    {
        CgiRequest req = post_json("/1000", body);
        req.cookie = cookie;
        return run(req);
    }

    // Cuts the 32-digit session id out of a login answer (and checks it).
    static std::string take_session(std::string &body)
    {
        const std::string key = "\"sessionId\": \"";
        size_t at = body.find(key);
        if (at == std::string::npos)
            return "";
        at += key.size();
        std::string id = body.substr(at, 32);
        if (body.compare(at + 32, 1, "\"") != 0)
            return "";
        body.replace(at, 32, "<id>");
        return id;
    }
};

const char kDigest[] = "0123456789abcdef0123456789abcdef";

TEST_F(LoginTest, GoodLoginAnswersRightsSessionAndLogsTheLoginName)
{
    UserRecord u = make_user(4, "admin", kDigest, 1);
    u.permission = -1;
    u.remote_permission = 7;
    for (int i = 0; i < 10; i++) {
        u.local_rights[i] = i;
        u.remote_rights[i] = 10 + i;
    }
    copy_text(u.local_liveview, "1111");
    copy_text(u.local_playback, "1100");
    copy_text(u.remote_liveview, "0011");
    copy_text(u.remote_playback, "0101");
    write_user(CONFIG_DB_PATH, &u);
    set_param_int(CONFIG_DB_PATH, "failover_mode", 1);
    set_param_int(CONFIG_DB_PATH, "same_channel_exist", 2);
    set_param_value(CONFIG_DB_PATH, "hardware_version", "V2.0");
    set_param_value(CONFIG_DB_PATH, "software_version", "8.0.1");
    set_param_value(CONFIG_DB_PATH, "model", "N64");

    // The cookie names someone else: the log entry carries the login name.
    CgiResult r = login("{\"userName\":\"admin\",\"md5\":\"0123456789ABCDEF0123456789abcdef\"}",
                        "userName=someone");
    EXPECT_EQ(r.header, "Content-type: text/plain\r\n");
    std::string body = r.body;
    std::string session = take_session(body);
    EXPECT_EQ(body, "{ \"type\": 1, \"userName\": \"admin\", \"permission\": -1, "
                    "\"localLiveView\": 0, \"localPlayback\": 1, \"localRetrieve\": 2, \"localSmartAnalysis\": 3, "
                    "\"localEvent\": 4, \"localCamera\": 5, \"localStorage\": 6, \"localSettings\": 7, "
                    "\"localStatus\": 8, \"localShutdown\": 9, \"localliveview\": \"1111\", "
                    "\"localplayback\": \"1100\", \"remotePermisson\": 7, "
                    "\"remoteLiveView\": 10, \"remotePlayback\": 11, \"remoteRetrieve\": 12, "
                    "\"remoteSmartAnalysis\": 13, \"remoteEvent\": 14, \"remoteCamera\": 15, "
                    "\"remoteStorage\": 16, \"remoteSettings\": 17, \"remoteStatus\": 18, \"remoteShutdown\": 19, "
                    "\"remoteliveview\": \"0011\", \"remoteplayback\": \"0101\", \"sessionId\": \"<id>\", "
                    "\"failoverMode\": 1, \"sameChannel\": 1, \"hardwareVersion\": \"V2.0\", "
                    "\"softwareVersion\": \"8.0.1\", \"model\": \"N64\" }");
    ASSERT_EQ(session.size(), 32u);
    for (char c : session)
        EXPECT_TRUE(isdigit(static_cast<unsigned char>(c))) << session;

    ASSERT_EQ(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].code, 3485);
    EXPECT_EQ(r.requests[0].payload, bytes_of(oplog(201, 900, "admin")));
    EXPECT_TRUE(root.exists("/mnt/nand/ssl/tmp"));
}

TEST_F(LoginTest, DefaultsOfTheDeviceFields)
{
    UserRecord u = make_user(0, "op", kDigest, 0);
    write_user(CONFIG_DB_PATH, &u);
    set_param_int(CONFIG_DB_PATH, "same_channel_exist", 1);
    CgiResult r = login("{\"userName\":\"op\",\"md5\":\"0123456789abcdef0123456789abcdef\"}");
    std::string body = r.body;
    take_session(body);
    const std::string tail = "\"sessionId\": \"<id>\", \"failoverMode\": 0, \"sameChannel\": 0, "
                             "\"hardwareVersion\": \"V1.1\", \"softwareVersion\": \"7x.7.0.9\", \"model\": \"\" }";
    ASSERT_GE(body.size(), tail.size());
    EXPECT_EQ(body.substr(body.size() - tail.size()), tail);
    EXPECT_EQ(body.compare(0, 12, "{ \"type\": 0,"), 0) << body;
}

TEST_F(LoginTest, SessionIdsAreFreshForEveryLogin)
{
    UserRecord u = make_user(0, "admin", kDigest, 2);
    write_user(CONFIG_DB_PATH, &u);
    const std::string body = "{\"userName\":\"admin\",\"md5\":\"" + std::string(kDigest) + "\"}";
    // Logins well within one second of each other.
    std::string ids[3];
    for (std::string &id : ids) {
        std::string b = login(body).body;
        id = take_session(b);
        ASSERT_EQ(id.size(), 32u);
    }
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_NE(ids[1], ids[2]);
    EXPECT_NE(ids[0], ids[2]);
}

TEST_F(LoginTest, RefusedLoginsAnswerTheTypeAlone)
{
    UserRecord admin = make_user(0, "admin", kDigest, 1);
    UserRecord viewer = make_user(1, "viewer", kDigest, 3);
    UserRecord gone = make_user(2, "gone", kDigest, 1);
    gone.enable = 0;
    UserRecord nopass = make_user(3, "nopass", "", 1);
    for (const UserRecord *u : {&admin, &viewer, &gone, &nopass})
        write_user(CONFIG_DB_PATH, u);
    const std::string good = kDigest;
    struct Case {
        std::string body;
        const char *answer;
    } cases[] = {
        {"{\"userName\":\"admin\",\"md5\":\"ffff\"}", "{ \"type\": -1 }"},
        {"{\"userName\":\"admin\",\"md5\":\"" + good.substr(0, 31) + "\"}", "{ \"type\": -1 }"},
        {"{\"userName\":\"admin\"}", "{ \"type\": -1 }"},
        {"{\"userName\":\"Admin\",\"md5\":\"" + good + "\"}", "{ \"type\": -1 }"},
        {"{\"userName\":\"admin \",\"md5\":\"" + good + "\"}", "{ \"type\": -1 }"},
        // Type 3 stays out of the web pages, right password or not.
        {"{\"userName\":\"viewer\",\"md5\":\"" + good + "\"}", "{ \"type\": -2 }"},
        {"{\"userName\":\"viewer\",\"md5\":\"bad\"}", "{ \"type\": -2 }"},
        {"{\"userName\":\"nobody\",\"md5\":\"\"}", "{ \"type\": -1 }"},
        {"{\"userName\":\"nobody\",\"md5\":\"" + good + "\"}", "{ \"type\": -1 }"},
        {"{\"userName\":\"gone\",\"md5\":\"" + good + "\"}", "{ \"type\": -1 }"},
        // An account stored without a password does not open to an empty digest.
        {"{\"userName\":\"nopass\",\"md5\":\"\"}", "{ \"type\": -1 }"},
        {"{\"userName\":\"nopass\"}", "{ \"type\": -1 }"},
        {"{\"md5\":\"\"}", "{ \"type\": -1 }"},
    };
    for (const Case &c : cases) {
        CgiResult r = login(c.body);
        EXPECT_EQ(r.out, text_answer(c.answer)) << c.body;
        EXPECT_TRUE(r.requests.empty()) << c.body;
    }
}

TEST_F(LoginTest, MissingOrMalformedBodyWritesNothing)
{
    UserRecord u = make_user(0, "admin", kDigest, 1);
    write_user(CONFIG_DB_PATH, &u);
    for (const char *body : {"", "userName=admin&md5=x", "{\"userName\":", "[\"admin\"]", "7"}) {
        CgiResult r = login(body);
        EXPECT_EQ(r.out, "") << body;
        EXPECT_TRUE(r.requests.empty()) << body;
    }
}

// ---- "/1018" ---------------------------------------------------------------

std::string cookie_line(const char *name, const char *value, time_t when)
{
    static const char *const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm gt;
    gmtime_r(&when, &gt);
    char line[256];
    snprintf(line, sizeof line, "Set-Cookie: %s=%s; domain=%s; expires=%s, %02d-%s-%04d %02d:%02d:%02d GMT; path=/\r\n",
             name, value, "192.168.1.10", days[gt.tm_wday], gt.tm_mday, months[gt.tm_mon], gt.tm_year + 1900,
             gt.tm_hour, gt.tm_min, gt.tm_sec);
    return line;
}

std::string email_login_headers(time_t now)
{
    time_t when = now + 600;
    return cookie_line("userName", "temp", when) + cookie_line("userType", "2", when) +
           cookie_line("permission", "0", when) + cookie_line("sessionId", "0", when) +
           cookie_line("language", "en-US", when) + "Location: ../../html/index.html\r\n\r\n";
}

class EmailLoginTest : public UsersTest {};

TEST_F(EmailLoginTest, AcceptedLinkSetsTheTemporaryCookiesAndGoesToTheIndex)
{
    daemon.reply_status(3504, 0);
    time_t before = time(nullptr);
    CgiResult r = run(nvrtest::get("/1018", "key=abc&chn=3"));
    time_t after = time(nullptr);
    bool matched = false;
    for (time_t t = before; t <= after && !matched; t++)
        matched = r.out == email_login_headers(t);
    EXPECT_TRUE(matched) << r.out;

    ASSERT_EQ(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].code, 3504);
    std::string link(256, '\0');
    link.replace(0, 13, "key=abc&chn=3");
    EXPECT_EQ(r.requests[0].payload, link);
}

TEST_F(EmailLoginTest, CookieDomainIsTheHostWithoutPortCutTo49)
{
    daemon.reply_status(3504, 0);
    struct Case {
        std::string host;
        std::string domain;
    } cases[] = {
        {"nvr.example:8080", "nvr.example"},
        {std::string(60, 'h'), std::string(49, 'h')},
        {"", ""},
    };
    for (const Case &c : cases) {
        CgiRequest req = nvrtest::get("/1018", "key=abc");
        req.env["HTTP_HOST"] = c.host;
        CgiResult r = run(req);
        EXPECT_EQ(r.out.rfind("Set-Cookie: userName=temp; domain=" + c.domain + "; expires=", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("Set-Cookie: language=en-US; domain=" + c.domain + "; "), std::string::npos) << r.out;
    }
}

TEST_F(EmailLoginTest, RefusedLinkGoesHomeAndTheLinkIsCutTo255)
{
    daemon.reply_status(3504, 5);
    std::string text(300, 'k');
    CgiRequest req = post_json("/1018", text);
    req.content_type = "application/x-www-form-urlencoded";
    CgiResult r = run(req);
    EXPECT_EQ(r.out, "Location: ../../html/home.html\r\n\r\n");
    ASSERT_EQ(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].payload, std::string(255, 'k') + std::string(1, '\0'));
}

TEST_F(EmailLoginTest, NoTextNoRequestAndNoReplyGivesTheTextError)
{
    CgiResult r = run(nvrtest::get("/1018", ""));
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.requests.empty());

    // A reply too short to hold the value counts as none.
    daemon.reply(3504, std::string("\x01\x00", 2));
    r = run(nvrtest::get("/1018", "key=abc"));
    EXPECT_EQ(r.out, text_answer("CGI ERROR"));
}

} // namespace
