// "/2014" and "/2015": does a camera answer with this address and login.
#include <gtest/gtest.h>

#include "camera_fixture.h"

using namespace nvrtest;
using namespace cameratest;

namespace {

class CameraConnectTest : public RouteTest {};

// Connection test record of request 3202 (208 bytes).
Bytes test_record(const std::string &ip, int32_t port, const std::string &user, const std::string &pw,
                  int32_t model)
{
    Bytes b(208, '\0');
    put_text(b, 0, ip);
    put32(b, 32, port);
    put_text(b, 36, user);
    put_text(b, 100, pw);
    put32(b, 136, model);
    return b;
}

// Connection login record of request 3227 (148 bytes).
Bytes login_record(const std::string &ip, int32_t port, const std::string &user, const std::string &pw,
                   int32_t model)
{
    Bytes b(148, '\0');
    put_text(b, 4, ip);
    put32(b, 36, port);
    put_text(b, 40, user);
    put_text(b, 104, pw);
    put32(b, 140, model);
    return b;
}

struct Route {
    const char *path;
    int32_t request, reply;
};
const Route kRoutes[] = {{"/2014", 3202, 8202}, {"/2015", 3227, 8227}};

TEST_F(CameraConnectTest, ResultsBecomeTexts)
{
    struct Case {
        int32_t result;
        const char *answer;
    } cases[] = {{0, "OK"},           {4, "OK"},          {1, "NETWORKERROR"}, {2, "USERERROR"},
                 {5, "BANDWIDTHERROR"}, {3, "UNKOWNERROR"}, {-1, "UNKOWNERROR"}};
    const std::string body =
        "{\"ipAddr\": \"10.0.0.9\", \"managePort\": 8000, \"userName\": \"admin\", \"password\": \"pw\", "
        "\"camProtocol\": 2}";
    for (const Route &rt : kRoutes) {
        for (const Case &c : cases) {
            daemon.on(rt.request, {{rt.reply, le32(c.result)}});
            CgiResult r = post(rt.path, body);
            EXPECT_EQ(r.out, text_answer(c.answer)) << rt.path << " " << c.result;
            ASSERT_EQ(r.requests.size(), 1u);
            EXPECT_EQ(r.requests[0].code, rt.request);
            EXPECT_EQ(hex(r.requests[0].payload),
                      hex(rt.request == 3202 ? test_record("10.0.0.9", 8000, "admin", "pw", 2)
                                             : login_record("10.0.0.9", 8000, "admin", "pw", 2)));
        }
    }
}

TEST_F(CameraConnectTest, RecordsCarryPortAndCutTexts)
{
    const std::string pw40(40, 'p'), user70(70, 'u'), ip40(40, '1');
    struct Case {
        const char *path;
        std::string body;
        Bytes payload;
    } cases[] = {
        // The login test raises a managing port below 80 to 80; the plain test does not.
        {"/2014", "{\"ipAddr\": \"a\", \"managePort\": 8, \"camProtocol\": 0}", test_record("a", 8, "", "", 0)},
        {"/2015", "{\"ipAddr\": \"a\", \"managePort\": 8, \"camProtocol\": 0}", login_record("a", 80, "", "", 0)},
        {"/2015", "{\"ipAddr\": \"a\", \"managePort\": 8080, \"camProtocol\": 7}", login_record("a", 8080, "", "", 7)},
        {"/2015", "{\"ipAddr\": \"a\", \"managePort\": 80, \"camProtocol\": 1}", login_record("a", 80, "", "", 1)},
        // Passwords go as at most 32 characters, names and addresses cut to their fields.
        {"/2014",
         "{\"ipAddr\": \"" + ip40 + "\", \"managePort\": 1, \"userName\": \"" + user70 + "\", \"password\": \"" + pw40 +
             "\", \"camProtocol\": 3}",
         test_record(std::string(31, '1'), 1, std::string(63, 'u'), std::string(32, 'p'), 3)},
        {"/2015",
         "{\"ipAddr\": \"" + ip40 + "\", \"managePort\": 1, \"userName\": \"" + user70 + "\", \"password\": \"" + pw40 +
             "\", \"camProtocol\": 3}",
         login_record(std::string(31, '1'), 80, std::string(63, 'u'), std::string(32, 'p'), 3)},
    };
    daemon.reply_status(3202, 0);
    daemon.reply_status(3227, 0);
    for (const Case &c : cases) {
        CgiResult r = post(c.path, c.body);
        EXPECT_EQ(r.out, text_answer("OK")) << c.body;
        ASSERT_EQ(r.requests.size(), 1u);
        EXPECT_EQ(hex(r.requests[0].payload), hex(c.payload)) << c.path << " " << c.body;
    }
}

TEST_F(CameraConnectTest, UnusableRequestsSendNothing)
{
    daemon.reply_status(3202, 0);
    daemon.reply_status(3227, 0);
    for (const Route &rt : kRoutes) {
        for (const char *body :
             {"", "{", "{\"managePort\": 80, \"camProtocol\": 0}",
              "{\"ipAddr\": \"\", \"managePort\": 80, \"camProtocol\": 0}",
              "{\"ipAddr\": \"a\", \"camProtocol\": 0}", "{\"ipAddr\": \"a\", \"managePort\": -1, \"camProtocol\": 0}",
              "{\"ipAddr\": \"a\", \"managePort\": \"x\", \"camProtocol\": 0}",
              "{\"ipAddr\": \"a\", \"managePort\": 80}", "{\"ipAddr\": \"a\", \"managePort\": 80, \"camProtocol\": 8}",
              "{\"ipAddr\": \"a\", \"managePort\": 80, \"camProtocol\": -1}"}) {
            CgiResult r = post(rt.path, body);
            EXPECT_EQ(r.out, "") << rt.path << " " << body;
            EXPECT_TRUE(r.requests.empty()) << rt.path << " " << body;
        }
    }
}

TEST_F(CameraConnectTest, EmptyReplyIsTheTextErrorAnswer)
{
    // 3202 waits 6000 ticks: the one test that sits out that wait.
    daemon.reply(3202, "");
    CgiResult r = post("/2014", "{\"ipAddr\": \"a\", \"managePort\": 80, \"camProtocol\": 0}");
    EXPECT_EQ(r.out, text_answer("CGI ERROR"));
    EXPECT_EQ(codes_of(r.requests), (std::vector<int32_t>{3202}));
}

} // namespace
