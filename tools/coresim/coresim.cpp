// coresim: a stand-in for the recorder's core daemon on a development
// machine. Listens on $ROOT/var/run/qxsocket, logs every request as one JSON
// line and answers from a scenario file (docs/coresim.md).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <getopt.h>
#include <json-c/json.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "nvr_io.h"
#include "nvr_root.h"
#include "outside/qxsocket.h"
#include "scenario.h"

namespace {

Scenario g_scenario;
std::mutex g_log_mu;
FILE *g_log = stdout;
std::string g_sock_path;

void on_signal(int)
{
    unlink(g_sock_path.c_str());
    _exit(0);
}

std::string to_hex(const std::string &b)
{
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (unsigned char c : b)
        s += d[c >> 4], s += d[c & 15];
    return s;
}

void log_request(const QxMsgHead &h, const std::string &payload)
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    json_object *o = json_object_new_object();
    json_object_object_add(o, "time", json_object_new_double(tv.tv_sec + tv.tv_usec / 1e6));
    json_object_object_add(o, "pid", json_object_new_int64(h.pid));
    json_object_object_add(o, "code", json_object_new_int64(static_cast<int32_t>(h.code)));
    json_object_object_add(o, "seq", json_object_new_int64(h.seq));
    json_object_object_add(o, "size", json_object_new_int64(h.size));
    json_object_object_add(o, "payload", json_object_new_string(to_hex(payload).c_str()));
    std::lock_guard<std::mutex> lk(g_log_mu);
    fprintf(g_log, "%s\n", json_object_to_json_string_ext(o, JSON_C_TO_STRING_PLAIN));
    fflush(g_log);
    json_object_put(o);
}

void serve(int fd)
{
    for (;;) {
        QxMsgHead h;
        if (!io_read_full(fd, &h, sizeof h) || !qx_msg_head_valid(&h))
            break;
        std::string payload(h.size, '\0');
        if (h.size && !io_read_full(fd, &payload[0], h.size))
            break;
        log_request(h, payload);
        auto it = g_scenario.replies.find(static_cast<int32_t>(h.code));
        if (it == g_scenario.replies.end())
            continue;
        for (const SimReply &r : it->second) {
            if (r.delay_ms)
                usleep(static_cast<useconds_t>(r.delay_ms) * 1000);
            QxMsgHead out = {QX_MSG_MAGIC, QX_MSG_HEAD_SIZE, static_cast<uint32_t>(getpid()),
                             static_cast<uint32_t>(r.code), h.seq, static_cast<uint32_t>(r.payload.size()), {0, 0}};
            if (!io_write_full(fd, &out, sizeof out) || !io_write_full(fd, r.payload.data(), r.payload.size()))
                break;
        }
    }
    close(fd);
}

void usage(FILE *f)
{
    fputs("usage: coresim [--root DIR] [--scenario FILE] [--log FILE] [--check]\n"
          "  --root DIR       device root (default: $NVR_ROOT, else /)\n"
          "  --scenario FILE  replies by request code (docs/coresim.md); none: never answer\n"
          "  --log FILE       append one JSON line per request (default: standard output)\n"
          "  --check          only parse the scenario and report errors\n",
          f);
}

} // namespace

int main(int argc, char **argv)
{
    static const struct option opts[] = {
        {"root", required_argument, nullptr, 'r'}, {"scenario", required_argument, nullptr, 's'},
        {"log", required_argument, nullptr, 'l'},  {"check", no_argument, nullptr, 'c'},
        {"help", no_argument, nullptr, 'h'},       {nullptr, 0, nullptr, 0},
    };
    const char *scenario = nullptr, *log = nullptr;
    bool check = false;
    int c;
    while ((c = getopt_long(argc, argv, "r:s:l:ch", opts, nullptr)) != -1) {
        switch (c) {
        case 'r': setenv("NVR_ROOT", optarg, 1); break;
        case 's': scenario = optarg; break;
        case 'l': log = optarg; break;
        case 'c': check = true; break;
        case 'h': usage(stdout); return 0;
        default: usage(stderr); return 2;
        }
    }
    if (scenario) {
        std::string err;
        if (!load_scenario(scenario, g_scenario, err)) {
            fprintf(stderr, "coresim: %s: %s\n", scenario, err.c_str());
            return 1;
        }
    }
    if (check)
        return 0;
    if (log && !(g_log = fopen(log, "a"))) {
        fprintf(stderr, "coresim: cannot open %s\n", log);
        return 1;
    }

    g_sock_path = nvr_path(QX_SOCKET_PATH);
    std::string dir = g_sock_path.substr(0, g_sock_path.rfind('/'));
    mkdir(dir.c_str(), 0755);
    int lfd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_un sa;
    memset(&sa, 0, sizeof sa);
    sa.sun_family = AF_UNIX;
    if (g_sock_path.size() >= sizeof sa.sun_path) {
        fprintf(stderr, "coresim: socket path too long: %s\n", g_sock_path.c_str());
        return 1;
    }
    memcpy(sa.sun_path, g_sock_path.c_str(), g_sock_path.size() + 1);
    unlink(g_sock_path.c_str());
    if (lfd < 0 || bind(lfd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 || listen(lfd, 64) != 0) {
        fprintf(stderr, "coresim: cannot listen on %s: %s\n", g_sock_path.c_str(), strerror(errno));
        return 1;
    }
    signal(SIGINT, on_signal);
    signal(SIGTERM, on_signal);
    signal(SIGPIPE, SIG_IGN);
    fprintf(stderr, "coresim: listening on %s\n", g_sock_path.c_str());

    for (;;) {
        int fd = accept4(lfd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        std::thread(serve, fd).detach();
    }
    return 1;
}
