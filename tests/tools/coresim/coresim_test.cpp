#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "harness.h"
#include "scenario.h"

using namespace nvrtest;

namespace {

TEST(Scenario, PayloadItemsConcatenate)
{
    Scenario s;
    std::string err;
    ASSERT_TRUE(parse_scenario("# disks\n"
                               "3433 8433 i32:2,-1 text:8:sda\\s1 u8:255 hex:00ff zero:2 i64:-2 delay=15\n"
                               "3433 8433\n"
                               "\t3201   -   # never answered\r\n",
                               ".", s, err))
        << err;
    ASSERT_EQ(s.replies[3433].size(), 2u);
    const SimReply &r = s.replies[3433][0];
    EXPECT_EQ(r.code, 8433);
    EXPECT_EQ(r.delay_ms, 15);
    std::string want = le32(2) + le32(-1) + std::string("sda 1\0\0\0", 8) + "\xff" + std::string("\0\xff", 2) +
                       std::string(2, '\0') + std::string("\xfe\xff\xff\xff\xff\xff\xff\xff", 8);
    EXPECT_EQ(r.payload, want);
    EXPECT_EQ(s.replies[3433][1].payload, "");
    EXPECT_TRUE(s.replies[3201].empty());
}

TEST(Scenario, MalformedLinesAreReportedWithTheirNumber)
{
    const char *bad[] = {
        "3433", "x 8433", "3433 y", "3433 8433 i32:abc", "3433 8433 hex:0", "3433 8433 hex:zz",
        "3433 8433 text:abc", "3433 8433 file:/no/such/file", "3433 8433 what:1", "3433 8433 delay=-1",
        "3433 8433 u8:256",
    };
    for (const char *line : bad) {
        Scenario s;
        std::string err;
        EXPECT_FALSE(parse_scenario(std::string("\n") + line, ".", s, err)) << line;
        EXPECT_EQ(err.rfind("line 2: ", 0), 0u) << err;
    }
}

TEST(Coresim, AnswersFromTheScenarioAndLogsEveryRequest)
{
    TestRoot root;
    root.write_file("/sim/scenario.txt", "3433 8433 file:status.bin\n3436 -\n");
    root.write_file("/sim/status.bin", le32(4));
    pid_t pid = fork();
    if (pid == 0) {
        execl(CORESIM_BIN, "coresim", "--root", root.dir().c_str(), "--scenario",
              root.path("/sim/scenario.txt").c_str(), "--log", root.path("/sim/log.jsonl").c_str(), nullptr);
        _exit(127);
    }
    for (int i = 0; i < 500 && !root.exists("/var/run/qxsocket"); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(root.exists("/var/run/qxsocket"));

    CgiResult r = run_cgi(get("/q", "3433&ab"), PROBE_BIN);
    EXPECT_EQ(r.out, json_answer("{ \"status\": 4 }"));
    r = run_cgi(get("/q", "3436"), PROBE_BIN);
    EXPECT_EQ(r.out, json_answer("{status:\"CGI ERROR\"}"));

    kill(pid, SIGTERM);
    int status;
    waitpid(pid, &status, 0);
    EXPECT_FALSE(root.exists("/var/run/qxsocket"));
    std::string log = root.read_file("/sim/log.jsonl");
    EXPECT_NE(log.find("\"code\":3433,\"seq\":1,\"size\":2,\"payload\":\"6162\"}\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\"code\":3436,"), std::string::npos) << log;
}

TEST(Coresim, RefusesABadScenario)
{
    TestRoot root;
    root.write_file("/sim/bad.txt", "3433 8433 hex:1\n");
    std::string cmd = std::string(CORESIM_BIN) + " --check --scenario " + root.path("/sim/bad.txt") + " 2>/dev/null";
    EXPECT_NE(system(cmd.c_str()), 0);
}

} // namespace
