#include "harness.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "outside/qxsocket.h"

#ifndef WEBCGI_BIN
#error "WEBCGI_BIN must name the webcgi program under test"
#endif

namespace nvrtest {

Bytes le32(int32_t v)
{
    return Bytes(reinterpret_cast<const char *>(&v), 4);
}

std::string hex(const Bytes &b)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (unsigned char c : b) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

static void rm_rf(const std::string &path)
{
    DIR *d = opendir(path.c_str());
    if (d) {
        while (struct dirent *e = readdir(d)) {
            if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
                continue;
            rm_rf(path + "/" + e->d_name);
        }
        closedir(d);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

static Bytes slurp(const std::string &path)
{
    Bytes out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

TestRoot::TestRoot()
{
    const char *old = getenv("NVR_ROOT");
    had_root_ = old != nullptr;
    if (old)
        old_root_ = old;
    char tmpl[] = "/tmp/nvrtest.XXXXXX";
    if (!mkdtemp(tmpl))
        abort();
    dir_ = tmpl;
    setenv("NVR_ROOT", dir_.c_str(), 1);
    for (const char *d : {"/tmp", "/mnt/nand/app", "/mnt/nand2", "/var/run", "/dev/shm"})
        mkdirs(d);
}

TestRoot::~TestRoot()
{
    rm_rf(dir_);
    if (had_root_)
        setenv("NVR_ROOT", old_root_.c_str(), 1);
    else
        unsetenv("NVR_ROOT");
}

void TestRoot::mkdirs(const std::string &device_dir) const
{
    std::string p = dir_;
    size_t i = 0;
    while (i < device_dir.size()) {
        size_t j = device_dir.find('/', i + 1);
        if (j == std::string::npos)
            j = device_dir.size();
        p += device_dir.substr(i, j - i);
        mkdir(p.c_str(), 0755);
        i = j;
    }
}

void TestRoot::write_file(const std::string &device_path, const Bytes &data) const
{
    mkdirs(device_path.substr(0, device_path.rfind('/')));
    FILE *f = fopen(path(device_path).c_str(), "wb");
    ASSERT_NE(f, nullptr) << device_path;
    fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

bool TestRoot::exists(const std::string &device_path) const
{
    struct stat st;
    return lstat(path(device_path).c_str(), &st) == 0;
}

Bytes TestRoot::read_file(const std::string &device_path) const
{
    return slurp(path(device_path));
}

std::vector<std::string> TestRoot::list(const std::string &device_dir) const
{
    std::vector<std::string> names;
    DIR *d = opendir(path(device_dir).c_str());
    if (!d)
        return names;
    while (struct dirent *e = readdir(d))
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
            names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// ---- fake daemon ----

FakeDaemon::FakeDaemon(const TestRoot &root) : path_(root.path(QX_SOCKET_PATH))
{
    root.mkdirs("/var/run");
    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    struct sockaddr_un sa;
    memset(&sa, 0, sizeof sa);
    sa.sun_family = AF_UNIX;
    snprintf(sa.sun_path, sizeof sa.sun_path, "%s", path_.c_str());
    unlink(path_.c_str());
    if (bind(listen_fd_, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 || listen(listen_fd_, 64) != 0)
        abort();
    if (pipe2(wake_, O_CLOEXEC) != 0)
        abort();
    thread_ = std::thread([this] { loop(); });
}

FakeDaemon::~FakeDaemon()
{
    {
        std::lock_guard<std::mutex> lk(mu_);
        stop_ = true;
    }
    (void)!write(wake_[1], "s", 1);
    thread_.join();
    for (int fd : conns_)
        close(fd);
    close(listen_fd_);
    close(wake_[0]);
    close(wake_[1]);
    unlink(path_.c_str());
}

void FakeDaemon::on(int32_t code, std::vector<DaemonReply> replies)
{
    std::lock_guard<std::mutex> lk(mu_);
    script_[code] = std::move(replies);
}

void FakeDaemon::reply(int32_t code, const Bytes &payload, int delay_ms)
{
    on(code, {DaemonReply{code + 5000, payload, delay_ms}});
}

void FakeDaemon::reply_status(int32_t code, int32_t status)
{
    reply(code, le32(status));
}

void FakeDaemon::reply_raw(int32_t code, const Bytes &raw)
{
    std::lock_guard<std::mutex> lk(mu_);
    raw_[code] = raw;
}

void FakeDaemon::reply_default(std::function<std::vector<DaemonReply>(int32_t)> fn)
{
    std::lock_guard<std::mutex> lk(mu_);
    default_ = std::move(fn);
}

static bool read_all(int fd, void *buf, size_t n)
{
    char *p = static_cast<char *>(buf);
    while (n) {
        ssize_t r = read(fd, p, n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno == EAGAIN) {
            struct pollfd pf = {fd, POLLIN, 0};
            poll(&pf, 1, 1000);
            continue;
        }
        if (r <= 0)
            return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

static void write_all(int fd, const Bytes &b)
{
    size_t off = 0;
    while (off < b.size()) {
        ssize_t w = send(fd, b.data() + off, b.size() - off, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return;
        off += static_cast<size_t>(w);
    }
}

// Reads one message from a readable connection and answers it. Closes the
// connection at its end (or on a malformed header, as the daemon would).
void FakeDaemon::handle(int fd)
{
    QxMsgHead head;
    bool ok = read_all(fd, &head, sizeof head) && qx_msg_head_valid(&head);
    Bytes payload(ok ? head.size : 0, '\0');
    ok = ok && (head.size == 0 || read_all(fd, &payload[0], head.size));
    if (!ok) {
        close(fd);
        conns_.erase(std::find(conns_.begin(), conns_.end(), fd));
        return;
    }
    std::vector<DaemonReply> replies;
    Bytes raw;
    bool has_raw = false;
    {
        std::lock_guard<std::mutex> lk(mu_);
        seen_.push_back(DaemonMsg{static_cast<int32_t>(head.code), head.seq, payload});
        auto it = script_.find(static_cast<int32_t>(head.code));
        if (it != script_.end())
            replies = it->second;
        else if (default_)
            replies = default_(static_cast<int32_t>(head.code));
        auto r = raw_.find(static_cast<int32_t>(head.code));
        if (r != raw_.end())
            raw = r->second, has_raw = true;
    }
    if (has_raw)
        write_all(fd, raw);
    for (const DaemonReply &r : replies) {
        if (r.delay_ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(r.delay_ms));
        QxMsgHead h = {QX_MSG_MAGIC, QX_MSG_HEAD_SIZE, static_cast<uint32_t>(getpid()),
                       static_cast<uint32_t>(r.code), head.seq, static_cast<uint32_t>(r.payload.size()), {0, 0}};
        write_all(fd, bytes_of(h) + r.payload);
    }
}

void FakeDaemon::drain()
{
    // The client has exited: take every pending connection and read each
    // to its end, so that take() sees all it sent.
    for (;;) {
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            break;
        conns_.push_back(fd);
    }
    while (!conns_.empty()) {
        int fd = conns_.front();
        struct pollfd pf = {fd, POLLIN, 0};
        poll(&pf, 1, 1000);
        handle(fd);
    }
}

void FakeDaemon::loop()
{
    for (;;) {
        std::vector<struct pollfd> fds;
        fds.push_back({wake_[0], POLLIN, 0});
        fds.push_back({listen_fd_, POLLIN, 0});
        for (int fd : conns_)
            fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            return;
        if (fds[0].revents) {
            char c;
            (void)!read(wake_[0], &c, 1);
            std::unique_lock<std::mutex> lk(mu_);
            if (stop_)
                return;
            if (drain_req_) {
                lk.unlock();
                drain();
                lk.lock();
                drain_req_ = false;
                drained_ = true;
                cv_.notify_all();
            }
            continue;
        }
        if (fds[1].revents) {
            int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0)
                conns_.push_back(fd);
        }
        for (size_t i = 2; i < fds.size(); i++)
            if (fds[i].revents)
                handle(fds[i].fd);
    }
}

std::vector<DaemonMsg> FakeDaemon::take()
{
    std::unique_lock<std::mutex> lk(mu_);
    drain_req_ = true;
    drained_ = false;
    lk.unlock();
    (void)!write(wake_[1], "d", 1);
    lk.lock();
    cv_.wait(lk, [this] { return drained_; });
    std::vector<DaemonMsg> out;
    out.swap(seen_);
    return out;
}

std::vector<int32_t> FakeDaemon::codes()
{
    std::vector<int32_t> c;
    for (const DaemonMsg &m : take())
        c.push_back(m.code);
    return c;
}

// ---- running the CGI program ----

CgiResult run_cgi(const CgiRequest &req, const std::string &binary)
{
    CgiResult res;
    std::string prog = binary.empty() ? WEBCGI_BIN : binary;

    char in_path[] = "/tmp/nvrcgi.in.XXXXXX";
    char out_path[] = "/tmp/nvrcgi.out.XXXXXX";
    char err_path[] = "/tmp/nvrcgi.err.XXXXXX";
    int in_fd = mkstemp(in_path), out_fd = mkstemp(out_path), err_fd = mkstemp(err_path);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0)
        abort();
    if (!req.body.empty() && write(in_fd, req.body.data(), req.body.size()) != static_cast<ssize_t>(req.body.size()))
        abort();
    lseek(in_fd, 0, SEEK_SET);

    std::vector<std::string> env = {
        "PATH=" + std::string(getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin"),
        "NVR_ROOT=" + std::string(getenv("NVR_ROOT") ? getenv("NVR_ROOT") : ""),
        "GATEWAY_INTERFACE=CGI/1.1",
        "SERVER_PROTOCOL=HTTP/1.1",
        "REQUEST_METHOD=" + req.method,
        "PATH_INFO=" + req.path,
        "QUERY_STRING=" + req.query,
        "REMOTE_ADDR=192.168.1.20",
        "HTTP_HOST=192.168.1.10:80",
        // Short waits: a missing reply costs milliseconds, not minutes.
        "NVR_IPC_TICK_MS=1",
        "NVR_IPC_SEND_ATTEMPTS=3",
    };
    for (const char *pass : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (getenv(pass))
            env.push_back(std::string(pass) + "=" + getenv(pass));
    if (!req.content_type.empty())
        env.push_back("CONTENT_TYPE=" + req.content_type);
    if (req.method != "GET")
        env.push_back("CONTENT_LENGTH=" + (req.content_length.empty() ? std::to_string(req.body.size())
                                                                     : req.content_length));
    if (!req.cookie.empty())
        env.push_back("HTTP_COOKIE=" + req.cookie);
    for (const auto &kv : req.env) {
        auto same = [&](const std::string &e) { return e.compare(0, kv.first.size() + 1, kv.first + "=") == 0; };
        env.erase(std::remove_if(env.begin(), env.end(), same), env.end());
        env.push_back(kv.first + "=" + kv.second);
    }
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);

    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        // Work inside the root, so a stray relative path lands there too.
        if (getenv("NVR_ROOT") && chdir(getenv("NVR_ROOT")) != 0)
            _exit(126);
        dup2(in_fd, 0);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        char *argv[] = {const_cast<char *>(prog.c_str()), nullptr};
        execve(prog.c_str(), argv, envp.data());
        _exit(127);
    }
    close(in_fd);
    close(out_fd);
    close(err_fd);

    int status = 0;
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        struct pollfd pf = {pidfd, POLLIN, 0};
        if (poll(&pf, 1, req.timeout_s * 1000) == 0)
            kill(pid, SIGKILL);
        close(pidfd);
    }
    waitpid(pid, &status, 0);
    res.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    res.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;

    res.out = slurp(out_path);
    res.err = slurp(err_path);
    unlink(in_path);
    unlink(out_path);
    unlink(err_path);
    // A sanitizer report in the program fails the test whatever it checks.
    for (const char *mark : {"ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer"})
        if (res.err.find(mark) != std::string::npos)
            ADD_FAILURE() << req.method << " " << req.path << "?" << req.query << ": sanitizer report\n" << res.err;
    size_t sep = res.out.find("\r\n\r\n");
    if (sep != std::string::npos) {
        res.header = res.out.substr(0, sep + 2);
        res.body = res.out.substr(sep + 4);
    } else {
        res.body = res.out;
    }
    return res;
}

CgiRequest get(const std::string &path, const std::string &query)
{
    CgiRequest r;
    r.path = path;
    r.query = query;
    return r;
}

CgiRequest post_json(const std::string &path, const std::string &body)
{
    CgiRequest r;
    r.method = "POST";
    r.path = path;
    r.body = body;
    r.content_type = "application/json";
    return r;
}

CgiResult RouteTest::run(const CgiRequest &req, const std::string &binary)
{
    CgiResult r = run_cgi(req, binary);
    r.requests = daemon.take();
    return r;
}

CgiResult RouteTest::get(const std::string &path, const std::string &query)
{
    return run(nvrtest::get(path, query));
}

CgiResult RouteTest::post(const std::string &path, const std::string &body)
{
    return run(post_json(path, body));
}

std::string text_answer(const std::string &body)
{
    return "Content-type: text/plain\r\n\r\n" + body;
}

std::string json_answer(const std::string &body)
{
    return "Content-type: application/json\r\n\r\n" + body;
}

} // namespace nvrtest
