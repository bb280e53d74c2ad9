// Logging, shell, file and header utilities.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>
#include <string>

#include "harness.h"
#include "intake/cgi.h"
#include "outside/qxfs_log.h"
#include "web_utils/cgi_log.h"
#include "web_utils/file_utils.h"
#include "web_utils/oplog.h"
#include "web_utils/shell.h"

using nvrtest::TestRoot;

namespace {

TEST(UserName, TakenFromTheUserNameCookieItem)
{
    struct Case {
        const char *cookie;
        int rc;
        const char *name;
    } cases[] = {
        {"userName=admin; lang=en", 0, "admin"},
        {"lang=en; userName=op", 0, "op"},
        {"session=1; userName=a=b; x=1", 0, "b"},
        {"lang=en", -1, "untouched"},
        {"userName", 0, ""},
        {"", -1, "untouched"},
    };
    for (const Case &c : cases) {
        cgiCookie = c.cookie;
        char name[64] = "untouched";
        EXPECT_EQ(get_current_username(name), c.rc) << c.cookie;
        EXPECT_STREQ(name, c.name) << c.cookie;
    }
    std::string long_cookie = "userName=" + std::string(100, 'u');
    cgiCookie = long_cookie.c_str();
    char name[64];
    EXPECT_EQ(get_current_username(name), 0);
    EXPECT_EQ(std::string(name), std::string(63, 'u'));
    EXPECT_EQ(get_current_username(nullptr), -1);
    cgiCookie = "";
}

TEST(OperationLog, InitFillsUserAddressAndDefaults)
{
    cgiCookie = "userName=admin";
    std::string addr(60, '9');
    cgiRemoteAddr = addr.c_str();
    OpLogRecord log;
    memset(&log, 0x55, sizeof log);
    ASSERT_EQ(cgi_init_log_info(&log), 0);
    EXPECT_EQ(log.main_type, 4);
    EXPECT_EQ(log.remote, 1);
    EXPECT_EQ(log.sub_type, 0);
    EXPECT_STREQ(log.user, "admin");
    EXPECT_EQ(std::string(log.ip), std::string(45, '9'));
    EXPECT_EQ(log.unused1[7], 0);

    int32_t detail[18] = {3, 1};
    ASSERT_EQ(qxfs_log_pack_detail(&log, 102, detail, sizeof detail), 0);
    EXPECT_EQ(log.detail_size, 4 + 72);
    int32_t kind;
    memcpy(&kind, log.detail, 4);
    EXPECT_EQ(kind, 102);
    EXPECT_EQ(memcmp(log.detail + 4, detail, sizeof detail), 0);
    char big[600];
    memset(big, 1, sizeof big);
    ASSERT_EQ(qxfs_log_pack_detail(&log, 111, big, sizeof big), 0);
    EXPECT_EQ(log.detail_size, 512);
    EXPECT_EQ(log.unused1[0], 0); // nothing written past the detail field
    EXPECT_EQ(cgi_init_log_info(nullptr), -1);
    cgiCookie = "";
    cgiRemoteAddr = "";
}

TEST(CgiLog, AppendsTheDebugLineFormat)
{
    TestRoot root;
    root.mkdirs("/mnt/nand");
    ASSERT_EQ(cgi_log("dispatchreq.c", 62, "", "value %d", 7), 0);
    ASSERT_EQ(cgi_log("a.c", 1, "f", "%s", std::string(5000, 'm').c_str()), 0);
    std::string log = root.read_file("/mnt/nand/cgi_log.txt");
    std::regex line(R"(\[tolm debug\] \d{4}-\d\d-\d\d \d\d:\d\d:\d\d  dispatchreq\.c:62 in : value 7\n)");
    EXPECT_TRUE(std::regex_search(log, line)) << log.substr(0, 200);
    size_t second = log.find("a.c:1 in f: ");
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(log.size() - log.find("[tolm", 1), 2047u); // whole line cut to 2047
}

TEST(CgiLog, FailsWhenTheLogCannotBeOpened)
{
    TestRoot root;
    ASSERT_EQ(web_system(("rm -rf " + root.path("/mnt/nand")).c_str()), 0);
    root.write_file("/mnt/nand", "not a directory");
    EXPECT_EQ(cgi_log("x.c", 1, "", "m"), -1);
}

TEST(Shell, WebSystemReportsExitStatus)
{
    TestRoot root;
    EXPECT_EQ(web_system("true"), 0);
    EXPECT_EQ(web_system("exit 1"), -1);
    EXPECT_EQ(web_system("no-such-command-here 2>/dev/null"), -1);
    EXPECT_EQ(web_system("kill -9 $$"), -1);
    EXPECT_EQ(web_system(nullptr), -1);
}

TEST(Shell, QuotedTextStaysOneWord)
{
    TestRoot root;
    const char *texts[] = {"plain", "it's", "$(touch pwned)", "`touch pwned`", "a b\nc", "';touch pwned;'", ""};
    for (const char *t : texts) {
        char q[256];
        ASSERT_EQ(shell_quote(t, q, sizeof q), 0) << t;
        std::string out = root.path("/tmp/out");
        std::string cmd = "printf %s " + std::string(q) + " > " + out;
        ASSERT_EQ(web_system(cmd.c_str()), 0) << cmd;
        EXPECT_EQ(root.read_file("/tmp/out"), t);
    }
    EXPECT_FALSE(root.exists("/pwned"));
    char small[4];
    EXPECT_EQ(shell_quote("abcdef", small, sizeof small), -1);
    EXPECT_STREQ(small, "");

    EXPECT_TRUE(shell_safe_word("eth0"));
    EXPECT_TRUE(shell_safe_word("192.168.1.10"));
    for (const char *bad : {"", "a b", "a;b", "$(x)", "a'b", "a\nb", "a|b"})
        EXPECT_FALSE(shell_safe_word(bad)) << bad;
}

TEST(FileUtils, WholeFilesRoundTripUnderTheRoot)
{
    TestRoot root;
    const std::string data("a\0b\xff", 4);
    ASSERT_EQ(qx_wirte_file_data("/tmp/f.bin", data.data(), 4), 0);
    EXPECT_EQ(root.read_file("/tmp/f.bin"), data);
    int size = -1;
    char *buf = qx_get_file_data("/tmp/f.bin", &size);
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(std::string(buf, size), data);
    free(buf);

    ASSERT_EQ(qx_wirte_file_data("/tmp/empty", "", 0), 0);
    buf = qx_get_file_data("/tmp/empty", &size);
    EXPECT_NE(buf, nullptr);
    EXPECT_EQ(size, 0);
    free(buf);

    EXPECT_EQ(qx_get_file_data("/tmp/missing", &size), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(qx_get_file_data(nullptr, &size), nullptr);
    EXPECT_EQ(qx_wirte_file_data("/no/such/dir/f", "x", 1), -1);
}

TEST(FileUtils, LockIsExclusiveAcrossProcesses)
{
    TestRoot root;
    int fd = file_lock("/tmp/cgilockfile");
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(root.exists("/tmp/cgilockfile"));
    // Another process cannot take the lock while we hold it.
    pid_t pid = fork();
    if (pid == 0) {
        int other = open(root.path("/tmp/cgilockfile").c_str(), O_RDWR);
        _exit(lockf(other, F_TLOCK, 0) == 0 ? 0 : 1);
    }
    int status;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    file_unlock(fd);
    pid = fork();
    if (pid == 0) {
        int other = open(root.path("/tmp/cgilockfile").c_str(), O_RDWR);
        _exit(lockf(other, F_TLOCK, 0) == 0 ? 0 : 1);
    }
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(file_lock(nullptr), -1);
    EXPECT_EQ(file_lock("/no/such/dir/lock"), -1);
    file_unlock(-1);
}

TEST(FileUtils, MacAddressesFallBackPerPort)
{
    char mac[18];
    EXPECT_EQ(get_if_mac("nvr-none0", mac), -1);
    if (get_if_mac("lo", mac) == 0)
        EXPECT_STREQ(mac, "00:00:00:00:00:00");
    char m1[18], m2[18];
    EXPECT_EQ(get_mac_addr(m1, m2), 0);
    std::regex form("[0-9A-F]{2}(:[0-9A-F]{2}){5}");
    EXPECT_TRUE(std::regex_match(m1, form)) << m1;
    if (get_if_mac("eth1", mac) != 0)
        EXPECT_STREQ(m2, "02:4B:7D:11:22:31");
    if (get_if_mac("eth0", mac) != 0)
        EXPECT_STREQ(m1, "02:4B:7D:11:22:30");
    else
        EXPECT_STREQ(m1, mac);
}

TEST(Headers, CookieAndLocationLines)
{
    TestRoot root;
    FILE *f = fopen(root.path("/tmp/h").c_str(), "w+");
    ASSERT_NE(f, nullptr);
    cgiOut = f;
    cgiHeaderCookieSetString("userName", "admin", 3600, "/", "192.168.1.10");
    cgiHeaderCookieSetInteger("sid", 42, 0, "/", "d");
    cgiHeaderLocation("/index.html");
    fclose(f);
    cgiOut = stdout;
    std::string out = root.read_file("/tmp/h");
    std::regex want(
        R"(Set-Cookie: userName=admin; domain=192\.168\.1\.10; expires=(Sun|Mon|Tue|Wed|Thu|Fri|Sat), )"
        R"(\d\d-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\d{4} \d\d:\d\d:\d\d GMT; path=/\r\n)"
        R"(Set-Cookie: sid=42; domain=d; expires=.* GMT; path=/\r\n)"
        R"(Location: /index\.html\r\n\r\n)");
    EXPECT_TRUE(std::regex_match(out, want)) << out;
}

TEST(Strrpl, ReplacesEveryOccurrenceLeftToRight)
{
    char out[64];
    EXPECT_STREQ(strrpl(out, "%22a%22%2%22", "%22", "\""), "\"a\"%2\"");
    EXPECT_STREQ(strrpl(out, "aaa", "aa", "b"), "ba");
    EXPECT_STREQ(strrpl(out, "", "x", "y"), "");
}

} // namespace

#include "web_utils/req_parse.h"

namespace {

TEST(RequestNumbers, OnlyWholeDecimalNumbersCount)
{
    struct Case {
        const char *text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"0", true, 0},           {"36", true, 36},     {" 7\n", true, 7},      {"-1", true, -1},
        {"+5", true, 5},          {"2147483647", true, INT32_MAX},              {"", false, 0},
        {"abc", false, 0},        {"12x", false, 0},    {"1e3", false, 0},      {"0x10", false, 0},
        {"2147483648", false, 0}, {"-", false, 0},      {"1 2", false, 0},      {nullptr, false, 0},
    };
    for (const Case &c : cases) {
        int32_t v = 99;
        EXPECT_EQ(cgi_text_to_int(c.text, &v), c.ok) << (c.text ? c.text : "null");
        if (c.ok)
            EXPECT_EQ(v, c.value) << c.text;
    }
    EXPECT_TRUE(cgi_text_to_int_in("16", 0, 16, nullptr));
    EXPECT_FALSE(cgi_text_to_int_in("17", 0, 16, nullptr));
}

TEST(RequestNumbers, FormValuesByExactKey)
{
    char v[8];
    EXPECT_TRUE(cgi_form_value("chn=3&name=abcdefghij", "name", v, sizeof v));
    EXPECT_STREQ(v, "abcdefg");
    EXPECT_TRUE(cgi_form_value("chn=3&name=x", "chn", v, sizeof v));
    EXPECT_STREQ(v, "3");
    EXPECT_TRUE(cgi_form_value("a=&b=2", "a", v, sizeof v));
    EXPECT_STREQ(v, "");
    EXPECT_FALSE(cgi_form_value("xchn=3", "chn", v, sizeof v));
    EXPECT_FALSE(cgi_form_value("chn", "chn", v, sizeof v));
    EXPECT_STREQ(v, "");
}

} // namespace
