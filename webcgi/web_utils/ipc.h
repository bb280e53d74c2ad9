// Daemon request channel: send a request to the core daemon and, for a
// query, wait until the module's reply callback has answered it.
#pragma once

#include <atomic>
#include <cstdint>

#include "outside/qxsocket.h"
#include "web_utils/oplog.h"

// Set to 1 by a reply function once it has handled the reply (normally right
// after writing the answer); 0 while a request is outstanding.
extern std::atomic<int32_t> g_callback_done;

typedef qx_sock_callback cgi_ipc_callback;

// Sends the request; unless nowait is 1, waits until g_callback_done is set
// or the code's wait limit has passed. 0, or -1 without a callback.
int cgi_start_ipc(cgi_ipc_callback cb, int32_t code, int32_t size, const void *payload, int nowait);
int cgi_stop_ipc();

// A query: sends the request, waits for the reply function to answer, and
// when no reply was handled in time writes the error answer of the given
// type (CGI_TEXT, CGI_JSON, or CGI_NO_ANSWER to write nothing). Closes the
// channel. Returns 0 when the reply was handled, -1 when it was not.
enum { CGI_NO_ANSWER = -1 };
int cgi_query(cgi_ipc_callback cb, int32_t code, const void *payload, int32_t size, int error_type);

// Wait limit of a request code, in 40-millisecond ticks.
int cgi_wait_ticks(int32_t code);

// Ignores every reply: for notices whose answer nobody reads.
void on_aging_callback(int32_t unused, const QxMsgHead *head, const void *payload);

// A no-wait notice: send and close.
void cgi_notify(int32_t code, const void *payload, int32_t size);

// Sends a filled operation-log record (request 3485, no wait).
void cgi_send_oplog(const OpLogRecord *log);

// Builds and sends an operation-log entry (main type, sub type, parameter,
// channel) with the current user and client address.
void cgi_log_operation(int32_t main_type, int64_t sub_type, int32_t param, int32_t chn);

// How a reply function is told what arrived: the number of whole records,
// the payload size in bytes, or 1 (then only when a whole record arrived).
enum ReplyCount { BY_RECORD, BY_BYTES, AS_ONE };

// One row of a module's reply table.
struct IpcReplyRow {
    int32_t code;
    int32_t rec_size;
    ReplyCount count;
    void (*fn)(int count, const void *payload);
};

// The body of every module reply callback: finds the reply code in the
// table and calls its reply function. Unknown codes and missing payloads
// are ignored.
void cgi_dispatch_reply(const IpcReplyRow *rows, int n, const QxMsgHead *head, const void *payload);

#define CGI_REPLY_TABLE_SIZE(t) static_cast<int>(sizeof(t) / sizeof((t)[0]))
