// Answer writers, shared reply functions and JSON getters, in process.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "intake/cgi.h"
#include "web_utils/common_replies.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/response.h"

namespace {

// Collects what is written to cgiOut during one test.
class Answer : public ::testing::Test {
protected:
    FILE *f = nullptr;
    void SetUp() override
    {
        f = tmpfile();
        cgiOut = f;
        g_callback_done = 0;
    }
    void TearDown() override
    {
        cgiOut = stdout;
        fclose(f);
    }
    std::string out()
    {
        fflush(f);
        std::string s;
        rewind(f);
        int c;
        while ((c = getc(f)) != EOF)
            s += static_cast<char>(c);
        return s;
    }
};

TEST_F(Answer, WritersProduceExactHeaders)
{
    EXPECT_EQ(cgi_writeback_webserver(CGI_TEXT, nullptr), -1);
    EXPECT_EQ(out(), "");
    cgi_writeback_webserver(CGI_TEXT, "OK");
    cgi_writeback_webserver(CGI_JSON, "[ ]");
    cgi_error_to_webserver(CGI_TEXT);
    cgi_error_to_webserver(CGI_JSON);
    EXPECT_EQ(out(), "Content-type: text/plain\r\n\r\nOK"
                     "Content-type: application/json\r\n\r\n[ ]"
                     "Content-type: text/plain\r\n\r\nCGI ERROR"
                     "Content-type: application/json\r\n\r\n{status:\"CGI ERROR\"}");
}

TEST_F(Answer, CommonJsonReplyNeedsARecord)
{
    int32_t status = -2;
    on_cgi_common_json_cb(0, &status);
    on_cgi_common_json_cb(1, nullptr);
    EXPECT_EQ(out(), "");
    EXPECT_EQ(g_callback_done, 0);
    on_cgi_common_json_cb(1, &status);
    EXPECT_EQ(out(), "Content-type: application/json\r\n\r\n{ \"status\": -2 }");
    EXPECT_EQ(g_callback_done, 1);
}

TEST_F(Answer, CommonTextReplyIsCutTo255)
{
    std::string data(300, 'd');
    on_cgi_common_text_cb(0, 7, data.c_str());
    std::string body = out().substr(28);
    EXPECT_EQ(body.size(), 255u);
    EXPECT_EQ(body.substr(0, 25), "CGI OK status:[7], data:[");
}

// The reply table hands over whole records only.
int g_count;
void record_fn(int count, const void *) { g_count = count; }

TEST(ReplyTable, CountsWholeRecordsBytesOrOne)
{
    const IpcReplyRow rows[] = {
        {8433, 12, BY_RECORD, record_fn},
        {8434, 12, BY_BYTES, record_fn},
        {8435, 12, AS_ONE, record_fn},
    };
    char payload[40] = {};
    struct Case {
        uint32_t code, size;
        int want;
    } cases[] = {
        {8433, 36, 3}, {8433, 35, 2}, {8433, 11, 0}, {8434, 35, 35},
        {8435, 12, 1}, {8435, 11, -1}, {9999, 36, -1},
    };
    for (const Case &c : cases) {
        g_count = -1;
        QxMsgHead h = {QX_MSG_MAGIC, 32, 1, c.code, 1, c.size, {0, 0}};
        cgi_dispatch_reply(rows, 3, &h, payload);
        EXPECT_EQ(g_count, c.want) << c.code << " " << c.size;
    }
    g_count = -1;
    QxMsgHead h = {QX_MSG_MAGIC, 32, 1, 8433, 1, 36, {0, 0}};
    cgi_dispatch_reply(rows, 3, &h, nullptr);
    EXPECT_EQ(g_count, -1);
}

TEST(WaitLimits, ByRequestCode)
{
    struct Case {
        int32_t code, ticks;
    } cases[] = {{3433, 1000}, {3434, 15000}, {3700, 1500}, {3102, 3000}, {1701, 6000}, {0, 1000}};
    for (const Case &c : cases)
        EXPECT_EQ(cgi_wait_ticks(c.code), c.ticks) << c.code;
}

TEST(JsonGetters, MembersOfEveryType)
{
    int v = 99;
    EXPECT_EQ(on_cgi_get_value_by_json("{\"chn\":3}", "chn", &v), 0);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(on_cgi_get_value_by_json("{\"chn\":\"12\"}", "chn", &v), 0);
    EXPECT_EQ(v, 12);
    v = 99;
    for (const char *text : {"{", "", "[1]", "{\"x\":1}", "7"})
        EXPECT_EQ(on_cgi_get_value_by_json(text, "chn", &v), -1) << text;
    EXPECT_EQ(on_cgi_get_value_by_json(nullptr, "chn", &v), -1);
    EXPECT_EQ(v, 99);

    json_object *o = get_request_tokener_json_object("{\"name\":\"abcdef\",\"n\":[1],\"o\":{}}");
    ASSERT_NE(o, nullptr);
    char buf[4] = "zz";
    EXPECT_EQ(on_cgi_get_string_from_json(o, "name", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(on_cgi_get_string_from_json(o, "none", buf, sizeof buf), -1);
    EXPECT_STREQ(buf, "abc");
    EXPECT_NE(cgi_json_member(o, "n", json_type_array), nullptr);
    EXPECT_EQ(cgi_json_member(o, "o", json_type_array), nullptr);
    EXPECT_EQ(cgi_json_member(o, "none", json_type_array), nullptr);
    json_object_put(o);

    // A request that is not an object has no members.
    json_object *a = get_request_tokener_json_object("[1,2]");
    EXPECT_EQ(on_cgi_get_int_from_json(a, "0", &v), -1);
    EXPECT_EQ(cgi_json_member(a, "0", json_type_int), nullptr);
    json_object_put(a);
}

} // namespace
