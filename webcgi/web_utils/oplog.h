// Operation-log record: the user-visible log entry a handler sends to the
// core daemon (request 3485, no wait) after a change.
#pragma once

#include <cstddef>
#include <cstdint>

#include "web_utils/records.h"

enum { OPLOG_MAIN_OPERATION = 4, OPLOG_DETAIL_SIZE = 512, CGI_REQ_OPLOG = 3485 };

struct OpLogRecord {
    int32_t main_type;
    uint8_t pad0[4];
    int64_t sub_type;
    uint8_t unused0[4];
    int32_t time;       // seconds since 1970, filled by the daemon
    int32_t param;
    int32_t remote;
    int32_t chn;        // one-based channel or disk slot, 0 when none
    char ip[46];
    char user[64];
    uint8_t pad1[2];
    int32_t detail_size;
    uint8_t detail[OPLOG_DETAIL_SIZE];
    uint8_t unused1[8];
};
RECORD_SIZE(OpLogRecord, 672);
RECORD_OFFSET(OpLogRecord, sub_type, 8);
RECORD_OFFSET(OpLogRecord, time, 20);
RECORD_OFFSET(OpLogRecord, param, 24);
RECORD_OFFSET(OpLogRecord, remote, 28);
RECORD_OFFSET(OpLogRecord, chn, 32);
RECORD_OFFSET(OpLogRecord, ip, 36);
RECORD_OFFSET(OpLogRecord, user, 82);
RECORD_OFFSET(OpLogRecord, detail_size, 148);
RECORD_OFFSET(OpLogRecord, detail, 152);

// Zeroes the record and fills main type 4, remote 1, user and client address.
int cgi_init_log_info(OpLogRecord *log);

// The user name from the "userName" cookie item (buffer of 64 bytes).
int get_current_username(char *name);
