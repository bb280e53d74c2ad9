// The intake as a whole: environment, bodies and uploads through the real
// program, seen through echo routes that answer the request text in [].
#include <gtest/gtest.h>

#include "harness.h"

using namespace nvrtest;

namespace {

class IntakeTest : public ::testing::Test {
protected:
    TestRoot root;

    CgiResult run(const CgiRequest &req) { return run_cgi(req, PROBE_BIN); }

    // Temporaries of the multipart reader still in /tmp.
    std::vector<std::string> temporaries()
    {
        std::vector<std::string> left;
        for (const std::string &n : root.list("/tmp"))
            if (n.rfind("cgic", 0) == 0)
                left.push_back(n);
        return left;
    }
};

CgiRequest post(const std::string &path, const std::string &type, const std::string &body)
{
    CgiRequest r;
    r.method = "POST";
    r.path = path;
    r.content_type = type;
    r.body = body;
    return r;
}

// A multipart body with one "file" part (and optionally a text field first).
struct Part {
    std::string name, filename, data, type = "application/octet-stream";
};

const char kBoundary[] = "----WebKitFormBoundaryx7Qe3";

std::string multipart(const std::vector<Part> &parts)
{
    std::string b;
    for (const Part &p : parts) {
        b += std::string("--") + kBoundary + "\r\n";
        b += "Content-Disposition: form-data; name=\"" + p.name + "\"";
        if (!p.filename.empty())
            b += "; filename=\"" + p.filename + "\"";
        b += "\r\n";
        if (!p.filename.empty())
            b += "Content-Type: " + p.type + "\r\n";
        b += "\r\n" + p.data + "\r\n";
    }
    return b + "--" + kBoundary + "--\r\n";
}

CgiRequest upload(const std::string &path, const std::string &query, const std::string &body)
{
    CgiRequest r = post(path, std::string("multipart/form-data; boundary=") + kBoundary, body);
    r.query = query;
    return r;
}

TEST_F(IntakeTest, GetTurnsOnlyPercent22IntoQuotes)
{
    CgiResult r = run(get("/echo", "a=%22word%22&b=%20x%2F"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, text_answer("[a=\"word\"&b=%20x%2F]"));
}

TEST_F(IntakeTest, GetQueryIsCutTo255BeforeTheRewrite)
{
    std::string q(253, 'a');
    q += "%22"; // straddles the cut: only "%2" survives and is kept as it is
    CgiResult r = run(get("/echo", q));
    EXPECT_EQ(r.body, "[" + std::string(253, 'a') + "%2]");
}

TEST_F(IntakeTest, RequestsThatReachNoHandlerWriteNothing)
{
    struct Case {
        const char *what;
        CgiRequest req;
    } cases[] = {
        {"empty path", get("", "x=1")},
        {"unknown path", get("/7777", "x=1")},
        {"trailing blank", get("/echo ", "")},
        {"path of 8 characters", get("/echo123", "")},
        {"text/plain body", post("/echo", "text/plain", "{\"a\":1}")},
        {"other method", [] { CgiRequest r = get("/echo", "x"); r.method = "PUT"; return r; }()},
        {"no-op route", get("/8004", "")},
    };
    for (const Case &c : cases) {
        CgiResult r = run(c.req);
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.out, "") << c.what;
    }
}

TEST_F(IntakeTest, PostBodiesReachTheHandlerWhole)
{
    struct Case {
        const char *type;
    } cases[] = {
        {"application/json"},
        {"APPLICATION/JSON; charset=UTF-8"},
        {"application/x-www-form-urlencoded"},
    };
    for (const Case &c : cases) {
        CgiResult r = run(post("/echo", c.type, "{\"a\":\"%22\"}\nline2\n"));
        EXPECT_EQ(r.body, "[{\"a\":\"%22\"}\nline2\n]") << c.type;
    }
}

TEST_F(IntakeTest, PostBodyIsCutAt128LinesAnd30719Characters)
{
    std::string lines;
    for (int i = 0; i < 200; i++)
        lines += "l" + std::to_string(i) + "\n";
    CgiResult r = run(post("/echo", "application/json", lines));
    std::string want;
    for (int i = 0; i < 128; i++)
        want += "l" + std::to_string(i) + "\n";
    EXPECT_EQ(r.body, "[" + want + "]");

    r = run(post("/echo", "application/json", std::string(40000, 'x')));
    EXPECT_EQ(r.body, "[" + std::string(30719, 'x') + "]");
}

TEST_F(IntakeTest, FirmwareUploadBodyIsNotRead)
{
    // A body that would fail to parse: only an unread body gives status 0.
    CgiRequest req = upload("/1010", "size=9", "--" + std::string(kBoundary) + "\r\nContent-Disposition: form-data");
    CgiResult r = run(req);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.body, "[temp & size=9]");
}

TEST_F(IntakeTest, SpecialUploadPathsAreParsedAndCleanedUp)
{
    for (const char *path : {"/6082", "/2079"}) {
        CgiResult r = run(upload(path, "v=1", multipart({{"file", "cfg.bin", "DATA"}})));
        EXPECT_EQ(r.status, 0) << path;
        EXPECT_EQ(r.body, "[temp & v=1]") << path;
        EXPECT_TRUE(temporaries().empty()) << path;
    }
}

TEST_F(IntakeTest, UploadGetsTheClientBaseNameInTmp)
{
    // Data with near-boundaries and binary bytes must arrive unchanged.
    std::string data = "bin\r\n--\r\n--" + std::string(kBoundary, 10);
    data += std::string("\0\xff end\r\n-", 9);
    CgiResult r = run(upload("/cfg", "a=1&param:abc&x=1",
                             multipart({{"note", "", "hello"}, {"file", "C:\\dir\\cfg.bin", data}})));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.body, "[/tmp/cfg.bin & abc] file");
    EXPECT_EQ(root.read_file("/tmp/cfg.bin"), data);
    EXPECT_TRUE(temporaries().empty());

    r = run(upload("/cfg", "", multipart({{"file", "/home/u/fw.img", "x"}})));
    EXPECT_EQ(r.body, "[/tmp/fw.img] file");
}

TEST_F(IntakeTest, UploadKeepsTheTemporaryForPackageRoutesAndRemovesItAtExit)
{
    for (const char *path : {"/1019", "/oem"}) {
        CgiResult r = run(upload(path, "aes=1", multipart({{"file", "pkg.zip", "PK"}})));
        ASSERT_EQ(r.status, 0);
        ASSERT_EQ(r.body.size(), std::string("[/tmp/cgicXXXXXX & aes=1] file").size()) << r.body;
        EXPECT_EQ(r.body.substr(0, 10), "[/tmp/cgic");
        EXPECT_EQ(r.body.substr(16), " & aes=1] file");
        EXPECT_TRUE(temporaries().empty()) << path;
    }
}

TEST_F(IntakeTest, UploadsWithoutAUsableFileAreNotDispatched)
{
    struct Case {
        const char *what;
        std::string body;
    } cases[] = {
        {"no file part", multipart({{"other", "a.bin", "x"}})},
        {"empty file name", multipart({{"file", "", "x"}})},
        {"name of 128 characters", multipart({{"file", std::string(128, 'n'), "x"}})},
        {"name that is a directory", multipart({{"file", "C:\\x\\..", "x"}})},
        {"name ending in a slash", multipart({{"file", "dir/", "x"}})},
        {"empty body", ""},
    };
    for (const Case &c : cases) {
        CgiResult r = run(upload("/cfg", "", c.body));
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.out, "") << c.what;
        EXPECT_TRUE(temporaries().empty()) << c.what;
    }
    CgiResult r = run(upload("/cfg", "", multipart({{"file", std::string(127, 'n'), "x"}})));
    EXPECT_EQ(r.body, "[/tmp/" + std::string(127, 'n') + "] file");
}

TEST_F(IntakeTest, BodyCutShortFailsWithStatus255AndLeavesNoTemporary)
{
    std::string body = multipart({{"a", "one.bin", "first"}, {"file", "two.bin", "second part"}});
    body.resize(body.size() - 20); // inside the second part
    CgiResult r = run(upload("/cfg", "", body));
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(temporaries().empty());

    // A content length larger than what arrives is the same cut.
    CgiRequest req = upload("/cfg", "", multipart({{"file", "x.bin", "abc"}}));
    req.body.resize(req.body.size() - 8);
    req.content_length = std::to_string(req.body.size() + 100);
    EXPECT_EQ(run(req).status, 255);
}

TEST_F(IntakeTest, ClientFileNamesNeverReachAShell)
{
    const char *names[] = {
        "a'$(touch pwned1)'.bin", "b%22; touch pwned2; echo %22.bin", "`touch pwned3`.bin",
        "c;touch pwned4", "e|touch pwned5&", "$(touch${IFS}pwned6)",
    };
    for (const char *name : names) {
        CgiResult r = run(upload("/cfg", "", multipart({{"file", name, "payload"}})));
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.body, "[/tmp/" + std::string(name) + "] file") << name;
        EXPECT_EQ(root.read_file("/tmp/" + std::string(name)), "payload") << name;
    }
    for (const std::string &n : root.list("/"))
        EXPECT_EQ(n.find("pwned"), std::string::npos) << n;
    for (const std::string &n : root.list("/tmp"))
        EXPECT_NE(n.rfind("pwned", 0), 0u) << n;
}

TEST_F(IntakeTest, PartsWithOtherDispositionsAreSkipped)
{
    std::string body = std::string("--") + kBoundary + "\r\n" +
                       "Content-Disposition: attachment; name=\"file\"; filename=\"evil.bin\"\r\n\r\n" +
                       "zzz\r\n" + multipart({{"file", "good.bin", "ok"}});
    CgiResult r = run(upload("/cfg", "", body));
    EXPECT_EQ(r.body, "[/tmp/good.bin] file");
    EXPECT_FALSE(root.exists("/tmp/evil.bin"));
}

} // namespace
