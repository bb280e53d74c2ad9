#include "oplog.h"

#include <cstring>

#include "intake/cgi.h"

int get_current_username(char *name)
{
    if (!name)
        return -1;
    const char *p = strstr(cgiCookie, "userName");
    if (!p)
        return -1;
    p += strlen("userName") + 1; // skip the '='
    if (p > cgiCookie + strlen(cgiCookie))
        p = cgiCookie + strlen(cgiCookie);
    size_t n = strcspn(p, ";");
    const char *eq = static_cast<const char *>(memchr(p, '=', n));
    if (eq) {
        n -= static_cast<size_t>(eq + 1 - p);
        p = eq + 1;
    }
    if (n > 63)
        n = 63;
    memcpy(name, p, n);
    name[n] = '\0';
    return 0;
}

int cgi_init_log_info(OpLogRecord *log)
{
    if (!log)
        return -1;
    memset(log, 0, sizeof *log);
    log->main_type = OPLOG_MAIN_OPERATION;
    log->remote = 1;
    char user[64] = "";
    get_current_username(user);
    copy_text(log->user, user);
    copy_text(log->ip, cgiRemoteAddr);
    return 0;
}
