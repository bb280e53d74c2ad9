// Login with user name and password digest, and the login that a link in a
// notification e-mail starts.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "OnSystem/system_private.h"
#include "intake/cgi.h"
#include "nvr_root.h"
#include "outside/qxdb.h"
#include "web_utils/cgi_log.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/records.h"
#include "web_utils/response.h"

namespace {

enum {
    LOGIN_REFUSED = -1,        // no such enabled account, or wrong password
    LOGIN_NOT_ON_WEB = -2,     // type-3 accounts may not use the web pages
    USER_TYPE_NO_WEB = 3,
    SESSION_ID_DIGITS = 32,
    LOGIN_COOKIE_SECONDS = 600,
};

// Log entry of a successful login.
constexpr int64_t kLogSubLogin = 201;
constexpr int32_t kLogParamLogin = 900;

void ensure_dir(const char *device_dir)
{
    char dir[512];
    nvr_path(dir, sizeof dir, device_dir);
    if (mkdir(dir, 0755) != 0 && errno != EEXIST)
        CGI_LOG("mkdir %s: %s", device_dir, strerror(errno));
}

// Fills buf with random bytes from the kernel's secure source. 0, or -1.
int secure_random(unsigned char *buf, size_t size)
{
    size_t got = 0;
    while (got < size) {
        ssize_t n = getrandom(buf + got, size - got, 0);
        if (n > 0) {
            got += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (got == size)
        return 0;
    // Kernels without getrandom: the same source through its device.
    char dev[128];
    int fd = open(nvr_path(dev, sizeof dev, "/dev/urandom"), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    while (got < size) {
        ssize_t n = read(fd, buf + got, size - got);
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (!(n < 0 && errno == EINTR))
            break;
    }
    close(fd);
    return got == size ? 0 : -1;
}

// A new session id: 32 decimal digits from the secure random source, so
// that ids cannot be guessed and two logins in the same second differ.
// 0, or -1 when the source cannot be read.
int make_session_id(char (&id)[SESSION_ID_DIGITS + 1])
{
    int n = 0;
    unsigned char pool[64];
    while (n < SESSION_ID_DIGITS) {
        if (secure_random(pool, sizeof pool) != 0)
            return -1;
        for (size_t i = 0; i < sizeof pool && n < SESSION_ID_DIGITS; i++) {
            if (pool[i] >= 250)    // keeps the ten digits equally likely
                continue;
            id[n++] = static_cast<char>('0' + pool[i] % 10);
        }
    }
    id[n] = '\0';
    return 0;
}

// The stored digest matches the one sent, without regard to case. An empty
// digest never matches: the pages always send 32 hex digits, and an account
// stored without a password must not open to a request that leaves it out.
bool password_matches(const UserRecord &user, const char *md5)
{
    size_t len = field_len(user.password);
    return md5[0] != '\0' && strlen(md5) == len && strncasecmp(user.password, md5, len) == 0;
}



void log_login(const char *name)
{
    OpLogRecord log;
    cgi_init_log_info(&log);
    log.sub_type = kLogSubLogin;
    log.param = kLogParamLogin;
    // The login name, not the cookie's: the browser has no session yet.
    memset(log.user, 0, sizeof log.user);
    copy_text(log.user, name);
    cgi_send_oplog(&log);
}

} // namespace

void on_cgi_login(const char *req)
{
    json_object *body = get_request_tokener_json_object(req);
    if (!body)
        return;
    if (!json_object_is_type(body, json_type_object)) {
        json_object_put(body);
        return;
    }
    ensure_dir("/mnt/nand/ssl");
    ensure_dir("/mnt/nand/ssl/tmp");

    char name[256] = "";
    char md5[33] = "";
    on_cgi_get_string_from_json(body, "userName", name, sizeof name);
    on_cgi_get_string_from_json(body, "md5", md5, sizeof md5);
    json_object_put(body);

    UserRecord user;
    int32_t result = LOGIN_REFUSED;
    if (read_user_by_name(CONFIG_DB_PATH, name, &user) == 0 && user.enable != 0) {
        if (user.type == USER_TYPE_NO_WEB)
            result = LOGIN_NOT_ON_WEB;
        else if (password_matches(user, md5))
            result = user.type;
    }

    char session[SESSION_ID_DIGITS + 1] = "";
    if (result >= 0 && make_session_id(session) != 0) {
        // Without a secure session id there is no login.
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }

    json_object *ans = json_object_new_object();
    cgi_json_add_int(ans, "type", result);
    if (result >= 0) {
        int32_t failover = get_param_int(CONFIG_DB_PATH, "failover_mode", 0);
        int32_t same_channel = get_param_int(CONFIG_DB_PATH, "same_channel_exist", 0);
        char hardware[32];
        char software[256];
        char model[256];
        get_param_value(CONFIG_DB_PATH, "hardware_version", hardware, sizeof hardware, "V1.1");
        get_param_value(CONFIG_DB_PATH, "software_version", software, sizeof software, "7x.7.0.9");
        get_param_value(CONFIG_DB_PATH, "model", model, sizeof model, "");

        cgi_json_add_text(ans, "userName", user.name);
        // The login page reads the remote word under this spelling.
        user_rights_to_json(ans, user, "remotePermisson");
        json_object_object_add(ans, "sessionId", json_object_new_string(session));
        cgi_json_add_int(ans, "failoverMode", failover);
        cgi_json_add_int(ans, "sameChannel", same_channel == 2 ? 1 : 0);
        json_object_object_add(ans, "hardwareVersion", json_object_new_string(hardware));
        json_object_object_add(ans, "softwareVersion", json_object_new_string(software));
        json_object_object_add(ans, "model", json_object_new_string(model));
        log_login(name);
    }
    cgi_writeback_webserver(CGI_TEXT, json_object_to_json_string(ans));
    json_object_put(ans);
}

void on_cgi_email_login(const char *req)
{
    if (!req || !*req)
        return;
    char link[256];
    memset(link, 0, sizeof link);
    copy_text(link, req);
    cgi_query(on_system_ipc_callback, SYS_REQ_EMAIL_LOGIN, link, sizeof link, CGI_TEXT);
}

void on_email_login_cb(int count, const void *payload)
{
    if (count < 1 || !payload)
        return;
    int32_t value;
    memcpy(&value, payload, sizeof value);
    if (value != 0) {
        cgiHeaderLocation("../../html/home.html");
    } else {
        // The cookies belong to the host the browser asked for, without port.
        char domain[50];
        size_t n = strcspn(cgiServerAddr, ":");
        if (n > sizeof domain - 1)
            n = sizeof domain - 1;
        memcpy(domain, cgiServerAddr, n);
        domain[n] = '\0';
        cgiHeaderCookieSetString("userName", "temp", LOGIN_COOKIE_SECONDS, "/", domain);
        cgiHeaderCookieSetString("userType", "2", LOGIN_COOKIE_SECONDS, "/", domain);
        cgiHeaderCookieSetString("permission", "0", LOGIN_COOKIE_SECONDS, "/", domain);
        cgiHeaderCookieSetString("sessionId", "0", LOGIN_COOKIE_SECONDS, "/", domain);
        cgiHeaderCookieSetString("language", "en-US", LOGIN_COOKIE_SECONDS, "/", domain);
        cgiHeaderLocation("../../html/index.html");
    }
    fflush(cgi_out());
    g_callback_done = 1;
}
