// Daemon socket: the local stream socket to the core daemon.
//
// Every message, in both directions, is a 32-byte header of eight
// little-endian 32-bit words followed by the payload. The daemon answers on
// the connection the request came on, possibly with several messages.
#pragma once

#include <cstdint>

#include "web_utils/records.h"

enum : uint32_t {
    QX_MSG_MAGIC = 0x3152564E,       // "NVR1"
    QX_MSG_HEAD_SIZE = 32,
    QX_MSG_MAX_PAYLOAD = 16u << 20,  // larger sizes close the connection
};

#define QX_SOCKET_PATH "/var/run/qxsocket"

struct QxMsgHead {
    uint32_t magic;
    uint32_t head_size;
    uint32_t pid;      // sender's process id
    uint32_t code;     // request code, or reply code
    uint32_t seq;      // a reply carries its request's number
    uint32_t size;     // payload bytes
    uint32_t reserved[2];
};
RECORD_SIZE(QxMsgHead, 32);
RECORD_OFFSET(QxMsgHead, code, 12);
RECORD_OFFSET(QxMsgHead, size, 20);

// Called on the library's receiver thread for every message; the payload
// belongs to the library and is valid during the call only (nullptr when
// the message has none).
typedef void (*qx_sock_callback)(int32_t unused, const QxMsgHead *head, const void *payload);

// Checks a received header: magic, header size and payload limit.
bool qx_msg_head_valid(const QxMsgHead *head);

// Opens the channel to the daemon at path (put under NVR_ROOT) and sets the
// callback. Calling it again while open only replaces the callback. A null
// callback means no delivery: nothing reads replies (no-wait notices).
int qx_sock_init(qx_sock_callback cb, int unused, int unused2, const char *path);

// Sends one message. 0 when it was handed over whole, -1 otherwise (the
// caller retries). Connects first when the daemon was not reachable before.
int qx_sock_send_msg(int unused, int32_t code, const void *payload, int32_t size, uint64_t unused2);

// Closes the channel; replies that arrive later are dropped. Called from
// within a callback it only stops further delivery.
int qx_sock_uninit();
