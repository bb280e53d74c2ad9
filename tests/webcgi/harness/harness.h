// Route-test harness: runs the real webcgi binary as a CGI process under a
// temporary root, next to a scripted core daemon living in the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nvrtest {

using Bytes = std::string;

// Bytes of a plain record, for comparing payloads.
template <typename T>
Bytes bytes_of(const T &rec)
{
    return Bytes(reinterpret_cast<const char *>(&rec), sizeof rec);
}
Bytes le32(int32_t v);
std::string hex(const Bytes &b);

// A temporary directory standing in for the device root; NVR_ROOT points at
// it for the life of the object (so in-process store calls see it too).
class TestRoot {
public:
    TestRoot();
    ~TestRoot();
    const std::string &dir() const { return dir_; }
    std::string path(const std::string &device_path) const { return dir_ + device_path; }
    void mkdirs(const std::string &device_dir) const;
    void write_file(const std::string &device_path, const Bytes &data) const;
    bool exists(const std::string &device_path) const;
    Bytes read_file(const std::string &device_path) const;
    // Files under a device directory (names only, sorted).
    std::vector<std::string> list(const std::string &device_dir) const;

private:
    std::string dir_;
    std::string old_root_;
    bool had_root_ = false;
};

struct DaemonMsg {
    int32_t code;
    uint32_t seq;
    Bytes payload;
};

// What the fake daemon sends back for one request code.
struct DaemonReply {
    int32_t code;      // reply code
    Bytes payload;
    int delay_ms = 0;
};

// A core daemon inside the test: listens on the root's socket, records
// every request and answers as scripted. Unscripted codes get no answer.
class FakeDaemon {
public:
    explicit FakeDaemon(const TestRoot &root);
    ~FakeDaemon();

    // Answer request `code` with these replies, in order, every time it comes.
    void on(int32_t code, std::vector<DaemonReply> replies);
    // Shorthands: one reply with this payload / one 32-bit status.
    void reply(int32_t code, const Bytes &payload, int delay_ms = 0);
    void reply_status(int32_t code, int32_t status);
    // Raw bytes sent instead of a well-formed message (for hostile replies).
    void reply_raw(int32_t code, const Bytes &raw);
    // Replies for every code that has no script of its own.
    void reply_default(std::function<std::vector<DaemonReply>(int32_t code)> fn);

    // Requests seen since the last take(), after every connection ended.
    std::vector<DaemonMsg> take();
    std::vector<int32_t> codes();

private:
    void loop();
    void handle(int fd);
    void drain();

    std::string path_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::mutex mu_;
    std::map<int32_t, std::vector<DaemonReply>> script_;
    std::map<int32_t, Bytes> raw_;
    std::function<std::vector<DaemonReply>(int32_t)> default_;
    std::vector<DaemonMsg> seen_;
    std::vector<int> conns_;
    bool stop_ = false;
    bool drain_req_ = false;
    bool drained_ = false;
    std::condition_variable cv_;
};

struct CgiRequest {
    std::string method = "GET";
    std::string path;
    std::string query;
    std::string body;
    std::string content_type;
    std::string cookie;
    std::string content_length; // default: body size
    std::map<std::string, std::string> env; // extra variables
    int timeout_s = 60;
};

struct CgiResult {
    std::string out;     // everything on standard output
    std::string header;  // up to the blank line
    std::string body;    // after the blank line (whole output when there is none)
    int status = -1;     // exit status (-1 killed by signal or timeout)
    std::string err;     // standard error
    double ms = 0;       // wall time of the process
    std::vector<DaemonMsg> requests;
};

// Runs a CGI binary once (the webcgi program by default).
CgiResult run_cgi(const CgiRequest &req, const std::string &binary = "");

// GET/POST shorthands.
CgiRequest get(const std::string &path, const std::string &query = "");
CgiRequest post_json(const std::string &path, const std::string &body);

// Fixture for route tests: fresh root, fresh store location, fake daemon.
class RouteTest : public ::testing::Test {
protected:
    TestRoot root;
    FakeDaemon daemon{root};

    CgiResult run(const CgiRequest &req, const std::string &binary = "");
    CgiResult get(const std::string &path, const std::string &query = "");
    CgiResult post(const std::string &path, const std::string &body);
};

// The text answers of a route: header "Content-type: text/plain" + body.
std::string text_answer(const std::string &body);
std::string json_answer(const std::string &body);

} // namespace nvrtest
