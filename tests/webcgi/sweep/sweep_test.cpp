// Hostile-input sweep: every route in the table, as the program builds it,
// against malformed and malicious request texts and against a core daemon
// that answers with empty, short, oversized and garbage replies. Whatever
// arrives, the program must not crash, report a sanitizer error, answer
// twice, reach a shell or touch files outside its places.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <dirent.h>
#include <set>
#include <sys/stat.h>

#include "harness.h"
#include "route_listing.h"

using namespace nvrtest;

namespace {

std::vector<std::string> route_paths()
{
    std::vector<std::string> paths;
    for (const RouteListing &r : list_routes())
        paths.push_back(r.path);
    return paths;
}

std::vector<std::string> json_keys()
{
    std::vector<std::string> keys;
    FILE *f = fopen(JSON_KEYS_FILE, "r");
    char line[128];
    while (f && fgets(line, sizeof line, f)) {
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0])
            keys.push_back(line);
    }
    if (f)
        fclose(f);
    return keys;
}

// JSON objects giving every known member the same value, split so that each
// body stays under the intake's limit.
std::vector<std::string> all_members(const std::vector<std::string> &keys, const std::string &value)
{
    std::vector<std::string> docs;
    std::string doc = "{";
    for (const std::string &k : keys) {
        std::string member = "\"" + k + "\":" + value;
        if (doc.size() + member.size() + 2 > 30000) {
            docs.push_back(doc + "}");
            doc = "{";
        }
        doc += (doc.size() > 1 ? "," : "") + member;
    }
    docs.push_back(doc + "}");
    return docs;
}

const char kShell[] = "\"../../../x;touch pwned;$(touch pwned)`touch pwned`|touch pwned&\"";

std::vector<std::string> hostile_bodies()
{
    std::vector<std::string> keys = json_keys();
    std::vector<std::string> bodies = {
        "", "x", "{", "[]", "null", "[1,2,3]", "{\"a\":",
        std::string("\x01\x02\xff\xfe\x00{\"chn\":1}", 12),
        std::string(30719, 'A'),
        "chn=-1&id=99999999999&name=$(touch pwned)&path=../../etc/x&ip=1.1.1.1;touch pwned",
    };
    for (const char *value : {"[]", "{}", "null", "true", "2147483647", "-2147483648", "9223372036854775807",
                              "-9223372036854775808", "-1", "4294967296", "1e308", "[[[[]]]]",
                              "[\"x\",{},-1,null]", kShell})
        for (const std::string &d : all_members(keys, value))
            bodies.push_back(d);
    // Long texts in the members most routes read.
    std::string long_text = "\"" + std::string(10000, 'L') + "\"";
    std::vector<std::string> common = {"name", "userName", "password", "url", "ip", "chnName", "path",
                                       "username", "email", "server", "text", "value"};
    for (size_t i = 0; i < common.size(); i += 2)
        bodies.push_back("{\"" + common[i] + "\":" + long_text + ",\"" + common[i + 1] + "\":" + long_text +
                         ",\"chn\":0,\"id\":0}");
    return bodies;
}

std::vector<std::string> hostile_queries()
{
    return {
        "", "x", "%22%22%22", "chn=-1", "chn=64&id=100", "-2147483648", "2147483647", "99999999999999999999",
        "../../../etc/passwd", "$(touch pwned)", ";touch pwned;", "`touch pwned`", std::string(10000, 'q'),
        "{\"chn\":\"x\"}", "a=b&c=d&e=f&g=h&i=j&k=l&m=n&o=p&q=r&s=t&u=v&w=x&y=z",
    };
}

// Replies that a confused daemon might send, in turn.
std::vector<DaemonReply> confused_reply(int32_t code, int n)
{
    int32_t reply = code == 3109 ? 8103 : code + 5000;
    Bytes oversized;
    for (int i = 0; i < 16; i++)
        oversized += le32(INT32_MAX);
    oversized += Bytes(70000, '\xff');
    Bytes garbage;
    for (int i = 0; i < 1 + (n * 37) % 300; i++)
        garbage += static_cast<char>((i * 131 + n * 17) & 0xff);
    switch (n % 4) {
    case 0: return {{reply, ""}};
    case 1: return {{reply, "\x01\x02\x03"}};
    case 2: return {{reply, oversized}};
    default: return {{reply, garbage}};
    }
}

// Files under dir, relative to base ("/etc/keep"), except in allowed places.
void walk(const std::string &base, const std::string &rel, std::set<std::string> &out)
{
    DIR *d = opendir((base + rel).c_str());
    if (!d)
        return;
    while (struct dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string p = rel + "/" + name;
        out.insert(p);
        struct stat st;
        if (lstat((base + p).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            walk(base, p, out);
    }
    closedir(d);
}

// The places requests may create and remove files in.
bool in_request_places(const std::string &p)
{
    for (const char *place : {"/tmp", "/dev/shm", "/mnt/nand", "/mnt/nand2", "/var/run", "/opt/app", "/testbin"})
        if (p == place || p.rfind(std::string(place) + "/", 0) == 0)
            return true;
    return false;
}

std::set<std::string> outside_places(const TestRoot &root)
{
    std::set<std::string> all, out;
    walk(root.dir(), "", all);
    for (const std::string &p : all)
        if (!in_request_places(p))
            out.insert(p);
    return out;
}

class Sweep : public ::testing::TestWithParam<std::string> {
protected:
    TestRoot root;
    FakeDaemon daemon{root};
    int replies = 0;

    void SetUp() override
    {
        root.write_file("/etc/keep", "keep");
        root.write_file("/www/keep", "keep");
        root.write_file("/opt/app/bin/keep", "keep");
        daemon.reply_default([this](int32_t code) { return confused_reply(code, replies++); });
    }

    void check(const CgiRequest &req, const CgiResult &r, int want_status = 0)
    {
        std::string what = req.method + " " + req.path + " (" + std::to_string(req.body.size()) + " bytes: " +
                           req.body.substr(0, 40) + ") ?" + req.query.substr(0, 40);
        EXPECT_EQ(r.status, want_status) << what << "\n" << r.err.substr(0, 2000);
        // One response: one header block.
        size_t headers = 0;
        for (size_t at = r.out.find("Content-type:"); at != std::string::npos; at = r.out.find("Content-type:", at + 1))
            headers++;
        for (size_t at = r.out.find("Content-Type:"); at != std::string::npos; at = r.out.find("Content-Type:", at + 1))
            headers++;
        EXPECT_LE(headers, 1u) << what << "\n" << r.out.substr(0, 300);
        EXPECT_FALSE(root.exists("/pwned")) << what;
    }

    CgiResult run(CgiRequest req)
    {
        req.env["NVR_IPC_TICK_US"] = "20";
        req.timeout_s = 60;
        CgiResult r = run_cgi(req);
        return r;
    }
};

TEST_P(Sweep, SurvivesHostileRequests)
{
    const std::string path = GetParam();
    std::set<std::string> before = outside_places(root);

    for (const std::string &q : hostile_queries()) {
        CgiRequest req = get(path, q);
        check(req, run(req));
    }
    for (const std::string &b : hostile_bodies()) {
        CgiRequest req = post_json(path, b);
        check(req, run(req));
    }

    // A multipart body cut short: refused before any handler runs.
    const std::string boundary = "----sweep";
    CgiRequest up;
    up.method = "POST";
    up.path = path;
    up.content_type = "multipart/form-data; boundary=" + boundary;
    up.body = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"../../a;touch pwned\"\r\n\r\ndata";
    CgiResult r = run(up);
    check(up, r, path == "/1010" ? 0 : 255);

    // And a daemon that never answers.
    daemon.reply_default(nullptr);
    CgiRequest silent = post_json(path, "{\"chn\":0,\"id\":0}");
    check(silent, run(silent));

    daemon.take();
    EXPECT_EQ(outside_places(root), before) << "files created or removed outside the request places";
    EXPECT_EQ(root.read_file("/etc/keep"), "keep");
    EXPECT_EQ(root.read_file("/www/keep"), "keep");
    EXPECT_EQ(root.read_file("/opt/app/bin/keep"), "keep");
}

std::string test_name(const ::testing::TestParamInfo<std::string> &info)
{
    std::string n;
    for (char c : info.param)
        n += isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Routes, Sweep, ::testing::ValuesIn(route_paths()), test_name);

} // namespace
