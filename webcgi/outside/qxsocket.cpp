#include "qxsocket.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "nvr_io.h"
#include "nvr_root.h"

namespace {

std::mutex g_mu; // guards the connection, the receiver thread and the sequence
int g_fd = -1;
std::thread g_rx;
std::atomic<std::thread::id> g_rx_id{};
std::atomic<qx_sock_callback> g_cb{nullptr};
std::string g_path = QX_SOCKET_PATH;
uint32_t g_seq = 0;

bool on_receiver_thread()
{
    return std::this_thread::get_id() == g_rx_id.load();
}

void rx_loop(int fd)
{
    std::vector<unsigned char> payload;
    for (;;) {
        QxMsgHead head;
        if (!io_read_full(fd, &head, sizeof head) || !qx_msg_head_valid(&head))
            break;
        payload.resize(head.size);
        if (head.size && !io_read_full(fd, payload.data(), head.size))
            break;
        qx_sock_callback cb = g_cb.load();
        if (cb)
            cb(0, &head, head.size ? payload.data() : nullptr);
    }
}

int connect_locked()
{
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    struct sockaddr_un sa;
    memset(&sa, 0, sizeof sa);
    sa.sun_family = AF_UNIX;
    std::string path = nvr_path(g_path.c_str());
    if (path.size() >= sizeof sa.sun_path) {
        close(fd);
        return -1;
    }
    memcpy(sa.sun_path, path.c_str(), path.size() + 1);
    if (connect(fd, reinterpret_cast<struct sockaddr *>(&sa), sizeof sa) != 0) {
        close(fd);
        return -1;
    }
    g_fd = fd;
    return 0;
}

// Replies are read by a thread of their own, started only once someone
// wants them: a no-wait notice needs no receiver.
void start_receiver_locked()
{
    if (g_fd < 0 || g_rx.joinable() || !g_cb.load())
        return;
    // A process that exits with the channel open must not be killed by a
    // still-joinable receiver thread.
    static bool exit_hook = (atexit([] { qx_sock_uninit(); }), true);
    (void)exit_hook;
    g_rx = std::thread(rx_loop, g_fd);
    g_rx_id = g_rx.get_id();
}

// Ends the connection: stops the receiver (waiting for a callback in
// progress) and closes the socket. Not called with g_mu held, since a
// callback may itself send.
void teardown()
{
    std::thread rx;
    int fd;
    {
        std::lock_guard<std::mutex> lk(g_mu);
        fd = g_fd;
        g_fd = -1;
        rx = std::move(g_rx);
    }
    if (fd >= 0)
        shutdown(fd, SHUT_RDWR);
    if (rx.joinable())
        rx.join();
    g_rx_id = std::thread::id();
    if (fd >= 0)
        close(fd);
}

} // namespace

bool qx_msg_head_valid(const QxMsgHead *head)
{
    return head && head->magic == QX_MSG_MAGIC && head->head_size == QX_MSG_HEAD_SIZE &&
           head->size <= QX_MSG_MAX_PAYLOAD;
}

int qx_sock_init(qx_sock_callback cb, int, int, const char *path)
{
    std::lock_guard<std::mutex> lk(g_mu);
    g_cb = cb;
    if (path)
        g_path = path;
    if (g_fd < 0 && connect_locked() != 0)
        return -1;
    start_receiver_locked();
    return 0;
}

int qx_sock_send_msg(int, int32_t code, const void *payload, int32_t size, uint64_t)
{
    if (size < 0 || static_cast<uint32_t>(size) > QX_MSG_MAX_PAYLOAD || (size > 0 && !payload))
        return -1;
    bool broken = false;
    {
        std::lock_guard<std::mutex> lk(g_mu);
        // A callback of a connection being closed does not open a new one.
        if (g_fd < 0) {
            if (on_receiver_thread() || connect_locked() != 0)
                return -1;
            start_receiver_locked();
        }
        QxMsgHead head = {QX_MSG_MAGIC, QX_MSG_HEAD_SIZE, static_cast<uint32_t>(getpid()),
                          static_cast<uint32_t>(code), ++g_seq, static_cast<uint32_t>(size), {0, 0}};
        struct iovec iov[2] = {{&head, sizeof head}, {const_cast<void *>(payload), static_cast<size_t>(size)}};
        int iovcnt = size > 0 ? 2 : 1;
        struct msghdr msg;
        memset(&msg, 0, sizeof msg);
        msg.msg_iov = iov;
        msg.msg_iovlen = iovcnt;
        while (msg.msg_iovlen > 0) {
            ssize_t n = sendmsg(g_fd, &msg, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                broken = true;
                break;
            }
            size_t left = static_cast<size_t>(n);
            while (msg.msg_iovlen > 0 && left >= msg.msg_iov[0].iov_len) {
                left -= msg.msg_iov[0].iov_len;
                msg.msg_iov++;
                msg.msg_iovlen--;
            }
            if (msg.msg_iovlen > 0) {
                msg.msg_iov[0].iov_base = static_cast<char *>(msg.msg_iov[0].iov_base) + left;
                msg.msg_iov[0].iov_len -= left;
            }
        }
    }
    if (!broken)
        return 0;
    // The daemon went away: drop the connection so that a retry reconnects.
    if (!on_receiver_thread())
        teardown();
    return -1;
}

int qx_sock_uninit()
{
    g_cb = nullptr;
    if (on_receiver_thread())
        return 0; // the thread that closes the channel later joins this one
    teardown();
    return 0;
}
