// Shared pieces of the login and user-account tests.
#pragma once

#include <cstring>
#include <string>

#include "harness.h"
#include "outside/qxdb.h"
#include "web_utils/oplog.h"

class UsersTest : public nvrtest::RouteTest {
protected:
    static UserRecord make_user(int32_t id, const char *name, const char *password, int32_t type)
    {
        UserRecord u;
        memset(&u, 0, sizeof u);
        u.id = id;
        u.enable = 1;
        copy_text(u.name, name);
        copy_text(u.password, password);
        u.type = type;
        return u;
    }

    static UserRecord stored_user(int32_t id)
    {
        UserRecord u;
        read_user(CONFIG_DB_PATH, &u, id);
        return u;
    }

    // The operation-log record the program sends for a request from the
    // harness's client address.
    static OpLogRecord oplog(int64_t sub, int32_t param, const char *user)
    {
        OpLogRecord log;
        memset(&log, 0, sizeof log);
        log.main_type = 4;
        log.sub_type = sub;
        log.param = param;
        log.remote = 1;
        copy_text(log.ip, "192.168.1.20");
        copy_text(log.user, user);
        return log;
    }
};
