// "/6102" formatting a disk and "/6227" the progress of a format.
#include <gtest/gtest.h>

#include "storage_fixture.h"

using namespace nvrtest;
using namespace storagetest;

namespace {

class FormatTest : public RouteTest {};

const std::string kJsonError = json_answer("{status:\"CGI ERROR\"}");

// The log entry of a format: (4, 207, 900, slot) with detail kind 102
// holding the slot and 1 (formatted) or -1.
void expect_format_log(const DaemonMsg &m, int32_t slot, int32_t result)
{
    expect_oplog(m, 207, 900, slot);
    OpLogRecord log = oplog_of(m);
    ASSERT_EQ(log.detail_size, 4 + 72);
    Bytes detail(reinterpret_cast<const char *>(log.detail), sizeof log.detail);
    EXPECT_EQ(detail.substr(0, 12), le32(102) + le32(slot) + le32(result));
    EXPECT_EQ(detail.substr(12), Bytes(sizeof log.detail - 12, '\0'));
}

TEST_F(FormatTest, AnswerAndLogFollowTheDaemonStatus)
{
    struct Case {
        int32_t status;
        std::string out;
        int32_t logged;
    } cases[] = {
        {0, text_answer("OK"), 1},
        {1, text_answer("USING"), -1},
        {-1, text_answer("ERROR FORMAT"), -1},
        {-3, text_answer("NAS LOW CAP"), -1},
        // A status the program does not know is not a silent empty answer.
        {-2, kJsonError, -1},
        {7, kJsonError, -1},
    };
    for (const Case &c : cases) {
        daemon.reply_status(3434, c.status);
        CgiResult r = get("/6102", "5");
        EXPECT_EQ(r.out, c.out) << c.status;
        ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{3434, 3485})) << c.status;
        EXPECT_EQ(r.requests[0].payload, le32(5));
        expect_format_log(r.requests[1], 5, c.logged);
    }
}

TEST_F(FormatTest, SlotRange)
{
    daemon.reply_status(3434, 0);
    for (const char *slot : {"0", "36"}) {
        CgiResult r = get("/6102", slot);
        EXPECT_EQ(r.out, text_answer("OK"));
        ASSERT_EQ(r.requests.size(), 2u);
        EXPECT_EQ(r.requests[0].payload, le32(atoi(slot)));
        expect_format_log(r.requests[1], atoi(slot), 1);
    }
    for (const char *text : {"37", "-1", "abc", "", "3x", "1.5", "99999999999"}) {
        CgiResult r = get("/6102", text);
        EXPECT_EQ(r.out, "") << text;
        EXPECT_TRUE(r.requests.empty()) << text;
    }
}

TEST_F(FormatTest, ShortReplyIsNoReply)
{
    // 3434 waits 15000 ticks: this is the one test that sits out that wait.
    daemon.reply(3434, Bytes(2, '\0'));
    CgiResult r = get("/6102", "2");
    EXPECT_EQ(r.out, kJsonError);
    ASSERT_EQ(codes_of(r.requests), (std::vector<int32_t>{3434, 3485}));
    expect_format_log(r.requests[1], 2, -1);
}

TEST_F(FormatTest, FormatState)
{
    FormatStateRecord st;
    memset(&st, 0, sizeof st);
    st.status = 1;
    st.percent = 200; // unsigned on every target
    st.slot = 3;
    st.type = 2;
    daemon.reply(8540 - 5000, bytes_of(st));
    CgiResult r = get("/6227");
    EXPECT_EQ(r.out, json_answer("{ \"status\": 1, \"port\": 3, \"type\": 2, \"percent\": 200 }"));
    ASSERT_EQ(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].code, 3540);
    EXPECT_EQ(r.requests[0].payload, "");

    // Two records: the first one answers.
    FormatStateRecord second = st;
    second.percent = 9;
    daemon.reply(3540, bytes_of(st) + bytes_of(second));
    EXPECT_EQ(get("/6227").body, "{ \"status\": 1, \"port\": 3, \"type\": 2, \"percent\": 200 }");
}

TEST_F(FormatTest, FormatStateWithoutARecordIsTheJsonError)
{
    daemon.reply(3540, Bytes(8, '\x01'));
    EXPECT_EQ(get("/6227").out, kJsonError);
}

} // namespace
