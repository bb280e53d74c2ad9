// The route table in process: registration order, limits, removal.
#include <gtest/gtest.h>

#include <string>

#include "dispatchreq/dispatchreq.h"
#include "harness.h"
#include "modules.h"

namespace {

std::string g_seen;
void h_a(const char *req) { g_seen = std::string("a:") + req; }
void h_b(const char *req) { g_seen = std::string("b:") + req; }

class RouteTableTest : public ::testing::Test {
protected:
    nvrtest::TestRoot root; // the refusal is logged under the root
    void SetUp() override { ASSERT_EQ(WebResCount(), 0); g_seen.clear(); }
};

TEST_F(RouteTableTest, FirstMatchWinsAndPathsMatchExactly)
{
    const WebRes rows[] = {{"/1", h_a}, {"/1", h_b}, {"/2", h_b}};
    ASSERT_EQ(WebResRegister(rows, 3), 0);
    DispatchWebReq("/1", "x");
    EXPECT_EQ(g_seen, "a:x");
    g_seen.clear();
    for (const char *p : {"/1 ", "/", "/10", "/1234567890"}) {
        DispatchWebReq(p, "x");
        EXPECT_EQ(g_seen, "") << p;
    }
    DispatchWebReq(nullptr, "x");
    EXPECT_EQ(FindWebRes(nullptr), nullptr);
    EXPECT_EQ(WebResUnregister(rows, 3), 0);
    EXPECT_EQ(WebResCount(), 0);
}

TEST_F(RouteTableTest, RefusesEmptyArraysAndArraysThatReach512)
{
    const WebRes one[] = {{"/x", h_a}};
    EXPECT_EQ(WebResRegister(one, 0), -1);
    EXPECT_EQ(WebResRegister(nullptr, 1), -1);
    EXPECT_EQ(WebResCount(), 0);

    std::vector<WebRes> many(511);
    for (int i = 0; i < 511; i++)
        snprintf(many[i].path, sizeof many[i].path, "/%d", i), many[i].handler = h_a;
    EXPECT_EQ(WebResRegister(many.data(), 512 - 1), 0);
    EXPECT_EQ(WebResRegister(one, 1), -1); // 511 + 1 reaches 512
    EXPECT_EQ(WebResCount(), 511);
    EXPECT_EQ(FindWebRes("/x"), nullptr);
    std::string log = root.read_file("/mnt/nand/cgi_log.txt");
    EXPECT_NE(log.find("dispatchreq.c:62 in : [ardo debug] WEBREQ exceeded maximum value(MAX_WEBREQ_COUNT)\n"),
              std::string::npos)
        << log;
    WebResUnregister(many.data(), 511);
    EXPECT_EQ(WebResCount(), 0);
}

TEST_F(RouteTableTest, UnregisterFreesExactlyItsSlotsForLaterRows)
{
    const WebRes first[] = {{"/a", h_a}, {"/b", h_a}, {"/c", h_a}};
    const WebRes remove[] = {{"/b", nullptr}};
    const WebRes later[] = {{"/d", h_b}};
    WebResRegister(first, 3);
    WebResUnregister(remove, 1);
    EXPECT_EQ(WebResCount(), 2);
    EXPECT_EQ(FindWebRes("/b"), nullptr);
    WebResRegister(later, 1);
    ASSERT_NE(WebResSlot(1), nullptr);
    EXPECT_STREQ(WebResSlot(1)->path, "/d"); // the freed slot is reused first
    EXPECT_STREQ(WebResSlot(2)->path, "/c");
    WebResUnregister(first, 3);
    WebResUnregister(later, 1);
    EXPECT_EQ(WebResCount(), 0);
}

TEST_F(RouteTableTest, ModulesRegisterInTheirOrderAndLeaveNothingBehind)
{
    webcgi_register_modules();
    // Rows appear module by module in the start-up order.
    int slot = 0;
    for (const WebModule *const *m = webcgi_modules(); *m; m++)
        for (int i = 0; i < (*m)->count; i++, slot++) {
            ASSERT_NE(WebResSlot(slot), nullptr);
            EXPECT_STREQ(WebResSlot(slot)->path, (*m)->routes[i].path) << (*m)->name;
        }
    EXPECT_EQ(WebResCount(), slot);
    webcgi_unregister_modules();
    EXPECT_EQ(WebResCount(), 0);
}

} // namespace
