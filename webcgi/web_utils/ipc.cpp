#include "ipc.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

#include "web_utils/response.h"

std::atomic<int32_t> g_callback_done{0};

namespace {

std::atomic<cgi_ipc_callback> g_module_cb{nullptr};
std::mutex g_wait_mu;
std::condition_variable g_wait_cv;

// Tick length and send attempts can be shortened for tests through the
// environment; the recorder never sets these.
int env_int(const char *name, int def, int min)
{
    const char *v = getenv(name);
    if (!v || !*v)
        return def;
    int n = atoi(v);
    return n >= min ? n : def;
}

// Length of a wait tick in microseconds: NVR_IPC_TICK_US, else
// NVR_IPC_TICK_MS, else 40 ms.
int64_t tick_us()
{
    int us = env_int("NVR_IPC_TICK_US", -1, 0);
    if (us >= 0)
        return us;
    return static_cast<int64_t>(env_int("NVR_IPC_TICK_MS", 40, 1)) * 1000;
}

int send_attempts()
{
    return env_int("NVR_IPC_SEND_ATTEMPTS", 3000, 1);
}

// Every reply passes through here: the module callback answers it, then a
// handler waiting for the flag is woken at once instead of at its next tick.
// Once a reply has been handled, further messages for the same request are
// dropped: one request, one answer.
void channel_callback(int32_t unused, const QxMsgHead *head, const void *payload)
{
    cgi_ipc_callback cb = g_module_cb.load();
    if (cb && g_callback_done.load() == 0)
        cb(unused, head, payload);
    if (g_callback_done.load() != 0) {
        { std::lock_guard<std::mutex> lk(g_wait_mu); }
        g_wait_cv.notify_all();
    }
}

} // namespace

int cgi_wait_ticks(int32_t code)
{
    switch (code) {
    case 3700: case 3702:
        return 1500;
    case 1153: case 1171: case 3102: case 3104: case 3223: case 3259: case 3263:
    case 3360: case 3365: case 3401: case 3535:
        return 3000;
    case 1701: case 1713: case 1716: case 3200: case 3201: case 3202: case 3203:
    case 3204: case 3205: case 3227: case 3379: case 3402: case 3409: case 3420:
    case 3440: case 3528:
        return 6000;
    case 3230: case 3350: case 3434: case 3494: case 3495:
        return 15000;
    default:
        return 1000;
    }
}

int cgi_start_ipc(cgi_ipc_callback cb, int32_t code, int32_t size, const void *payload, int nowait)
{
    if (!cb)
        return -1;
    g_module_cb = cb;
    // Nobody reads the answer to a no-wait request (the handler closes the
    // channel right after sending), so none is delivered.
    qx_sock_init(nowait == 1 ? nullptr : channel_callback, 0, 3, QX_SOCKET_PATH);
    g_callback_done = 0;

    // No pause after a send that went through; a failed one is retried
    // every 10 ms for about 30 s (the daemon may be restarting).
    const int attempts = send_attempts();
    for (int i = 0; i < attempts; i++) {
        if (qx_sock_send_msg(1, code, payload, size, 0) == 0)
            break;
        usleep(10 * 1000);
    }
    if (nowait == 1)
        return 0;

    auto limit = std::chrono::microseconds(cgi_wait_ticks(code) * tick_us());
    {
        std::unique_lock<std::mutex> lk(g_wait_mu);
        g_wait_cv.wait_for(lk, limit, [] { return g_callback_done.load() != 0; });
    }
    // Out of time: stop delivery before the handler looks at the flag, so a
    // late reply can never write a second answer after the error answer.
    if (g_callback_done.load() == 0)
        qx_sock_uninit();
    return 0;
}

int cgi_query(cgi_ipc_callback cb, int32_t code, const void *payload, int32_t size, int error_type)
{
    cgi_start_ipc(cb, code, size, payload, 0);
    bool answered = g_callback_done.load() != 0;
    if (!answered && error_type != CGI_NO_ANSWER)
        cgi_error_to_webserver(error_type);
    cgi_stop_ipc();
    return answered ? 0 : -1;
}

int cgi_stop_ipc()
{
    qx_sock_uninit();
    return 0;
}

void on_aging_callback(int32_t, const QxMsgHead *, const void *) {}

void cgi_notify(int32_t code, const void *payload, int32_t size)
{
    cgi_start_ipc(on_aging_callback, code, size, payload, 1);
    cgi_stop_ipc();
}

void cgi_send_oplog(const OpLogRecord *log)
{
    if (log)
        cgi_notify(CGI_REQ_OPLOG, log, sizeof *log);
}

void cgi_log_operation(int32_t main_type, int64_t sub_type, int32_t param, int32_t chn)
{
    OpLogRecord log;
    cgi_init_log_info(&log);
    log.main_type = main_type;
    log.sub_type = sub_type;
    log.param = param;
    log.chn = chn;
    cgi_send_oplog(&log);
}

void cgi_dispatch_reply(const IpcReplyRow *rows, int n, const QxMsgHead *head, const void *payload)
{
    if (!payload || !head)
        return;
    for (int i = 0; i < n; i++) {
        if (static_cast<uint32_t>(rows[i].code) != head->code)
            continue;
        uint32_t rec = rows[i].rec_size > 0 ? static_cast<uint32_t>(rows[i].rec_size) : 1;
        int count = static_cast<int>(head->size / rec);
        if (rows[i].count == BY_BYTES) {
            count = static_cast<int>(head->size);
        } else if (rows[i].count == AS_ONE) {
            // A short reply is no reply: the function would read past it.
            if (head->size < rec)
                return;
            count = 1;
        }
        rows[i].fn(count, payload);
        return;
    }
}
