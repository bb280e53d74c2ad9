// The daemon request channel through the real program and a fake daemon.
#include <gtest/gtest.h>

#include "harness.h"
#include "outside/qxsocket.h"
#include "web_utils/oplog.h"

using namespace nvrtest;

namespace {

class ChannelTest : public RouteTest {
protected:
    CgiResult probe(const std::string &path, const std::string &query, std::map<std::string, std::string> env = {})
    {
        CgiRequest req = nvrtest::get(path, query);
        req.env = std::move(env);
        return run(req, PROBE_BIN);
    }
};

const std::string kCgiErrorJson = json_answer("{status:\"CGI ERROR\"}");

TEST_F(ChannelTest, WaitedRequestCarriesCodeAndPayloadAndGetsTheAnswer)
{
    daemon.reply_status(3433, 0);
    CgiResult r = probe("/q", "3433&abc");
    EXPECT_EQ(r.out, json_answer("{ \"status\": 0 }"));
    ASSERT_EQ(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].code, 3433);
    EXPECT_EQ(r.requests[0].payload, "abc");
}

TEST_F(ChannelTest, ReplyThatComesAtOnceEndsTheWaitAtOnce)
{
    // With one-second ticks, a wait that only looks at the flag once a tick
    // would take a whole second; the wake-up must come with the reply. (The
    // margin leaves room for slow sanitizer and emulated runs.)
    daemon.reply_status(3433, 5);
    double best = 1e9;
    for (int i = 0; i < 3; i++) {
        CgiResult r = probe("/q", "3433", {{"NVR_IPC_TICK_MS", "1000"}});
        ASSERT_EQ(r.body, "{ \"status\": 5 }");
        best = std::min(best, r.ms);
    }
    EXPECT_LT(best, 500.0);
}

TEST_F(ChannelTest, NoWaitNoticeDoesNotWaitForAnAnswer)
{
    // The daemon never answers 1403; a waited request would sit out 1000
    // one-second ticks.
    CgiResult r = probe("/n", "1403", {{"NVR_IPC_TICK_MS", "1000"}});
    EXPECT_EQ(r.out, text_answer("OK"));
    EXPECT_LT(r.ms, 5000.0);
    ASSERT_EQ(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].code, 1403);
    EXPECT_EQ(r.requests[0].payload, le32(7));
}

TEST_F(ChannelTest, MissingOrUnusableRepliesGiveTheErrorAnswer)
{
    struct Case {
        const char *what;
        std::vector<DaemonReply> replies;
    } cases[] = {
        {"no reply", {}},
        {"empty reply", {{8433, ""}}},
        {"short reply", {{8433, "\x01\x02"}}},
        {"other reply code", {{9999, le32(0)}}},
        {"reply too late", {{8433, le32(0), 1500}}},
    };
    for (const Case &c : cases) {
        daemon.on(3433, c.replies);
        CgiResult r = probe("/q", "3433");
        EXPECT_EQ(r.out, kCgiErrorJson) << c.what;
        EXPECT_EQ(r.status, 0) << c.what;
    }
}

TEST_F(ChannelTest, MalformedMessagesFromTheDaemonAreDropped)
{
    QxMsgHead bad_magic = {0x12345678, 32, 1, 8433, 1, 4, {0, 0}};
    QxMsgHead bad_size = {QX_MSG_MAGIC, 32, 1, 8433, 1, (16u << 20) + 1, {0, 0}};
    QxMsgHead bad_head = {QX_MSG_MAGIC, 28, 1, 8433, 1, 4, {0, 0}};
    for (const QxMsgHead &h : {bad_magic, bad_size, bad_head}) {
        daemon.reply_raw(3433, bytes_of(h) + le32(0));
        CgiResult r = probe("/q", "3433");
        EXPECT_EQ(r.out, kCgiErrorJson);
    }
}

TEST_F(ChannelTest, FirstOfSeveralRepliesAnswers)
{
    daemon.on(3433, {{8433, le32(1)}, {8433, le32(2)}, {8433, le32(3)}});
    CgiResult r = probe("/q", "3433");
    // Replies after the one that was handled are dropped: one answer.
    EXPECT_EQ(r.out, json_answer("{ \"status\": 1 }"));
}

TEST_F(ChannelTest, DaemonAbsentGivesTheErrorAnswerAfterTheRetries)
{
    TestRoot lonely; // a root with no daemon listening
    CgiRequest req = nvrtest::get("/q", "3433");
    CgiResult r = run_cgi(req, PROBE_BIN);
    EXPECT_EQ(r.out, kCgiErrorJson);
    EXPECT_EQ(r.status, 0);
}

TEST_F(ChannelTest, ReplyFunctionMaySendItself)
{
    daemon.reply_status(1701, 0);
    CgiResult r = probe("/q", "1701");
    EXPECT_EQ(r.out, json_answer("{ \"status\": 0 }"));
    std::vector<int32_t> codes;
    for (const DaemonMsg &m : r.requests)
        codes.push_back(m.code);
    EXPECT_EQ(codes, (std::vector<int32_t>{1701, 1711}));
}

TEST_F(ChannelTest, TextReplyFormats)
{
    daemon.reply_status(3001, -3);
    EXPECT_EQ(probe("/q", "3001").out, text_answer("CGI ERROR status:[-3], data:[x]"));
    daemon.reply_status(3001, 0);
    EXPECT_EQ(probe("/q", "3001").out, text_answer("CGI OK status:[0]"));
}

TEST_F(ChannelTest, OperationLogCarriesUserAddressAndFields)
{
    CgiRequest req = nvrtest::get("/log", "207");
    req.cookie = "lang=en; userName=operator1";
    CgiResult r = run(req, PROBE_BIN);
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].code, 3485);
    ASSERT_EQ(r.requests[0].payload.size(), sizeof(OpLogRecord));
    OpLogRecord log;
    memcpy(&log, r.requests[0].payload.data(), sizeof log);
    EXPECT_EQ(log.main_type, 4);
    EXPECT_EQ(log.sub_type, 207);
    EXPECT_EQ(log.param, 900);
    EXPECT_EQ(log.chn, 3);
    EXPECT_EQ(log.remote, 1);
    EXPECT_EQ(log.time, 0);
    EXPECT_STREQ(log.user, "operator1");
    EXPECT_STREQ(log.ip, "192.168.1.20");
}

TEST_F(ChannelTest, EachRequestOfAProcessHasItsOwnSequenceNumber)
{
    daemon.reply_status(1701, 0);
    CgiResult r = probe("/q", "1701");
    ASSERT_EQ(r.requests.size(), 2u);
    EXPECT_NE(r.requests[0].seq, r.requests[1].seq);
}

} // namespace
