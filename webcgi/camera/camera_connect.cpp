// Testing whether a camera answers with the given address and login.
#include <cstring>

#include "camera/camera.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/response.h"

namespace {

// Reply results of a connection test.
enum { TEST_OK = 0, TEST_NETWORK = 1, TEST_USER = 2, TEST_OK_TOO = 4, TEST_BANDWIDTH = 5 };

struct TestRequest {
    char ip_addr[32];
    int32_t manage_port;
    char user_name[64];
    char password[33];   // the camera takes at most 32 characters
    int32_t model;
};

// 0 and the request when the address, port and protocol are usable.
int read_test_request(const char *req, TestRequest *t)
{
    json_object *obj = get_request_tokener_json_object(req);
    if (!obj)
        return -1;
    int rc = -1;
    if (on_cgi_get_string_from_json(obj, "ipAddr", t->ip_addr, sizeof t->ip_addr) == 0 && t->ip_addr[0] &&
        camera_json_int(obj, "managePort", &t->manage_port) == 0 && t->manage_port >= 0 &&
        camera_json_int(obj, "camProtocol", &t->model) == 0 && t->model >= 0 && t->model <= 7) {
        camera_json_text(obj, "userName", t->user_name);
        camera_json_text(obj, "password", t->password);
        rc = 0;
    }
    json_object_put(obj);
    return rc;
}

} // namespace

void on_test_camera_connect(const char *req)
{
    TestRequest t;
    if (read_test_request(req, &t) < 0)
        return;
    CameraTestRecord rec;
    memset(&rec, 0, sizeof rec);
    copy_text(rec.ip_addr, t.ip_addr);
    rec.manage_port = t.manage_port;
    copy_text(rec.user_name, t.user_name);
    copy_text(rec.password, t.password);
    rec.model = t.model;
    cgi_query(on_camera_ipc_callback, CAM_REQ_TEST, &rec, sizeof rec, CGI_TEXT);
}

void on_test_camera_login(const char *req)
{
    TestRequest t;
    if (read_test_request(req, &t) < 0)
        return;
    CameraLoginTestRecord rec;
    memset(&rec, 0, sizeof rec);
    copy_text(rec.ip_addr, t.ip_addr);
    rec.manage_port = t.manage_port < 80 ? 80 : t.manage_port;
    copy_text(rec.user_name, t.user_name);
    copy_text(rec.password, t.password);
    rec.model = t.model;
    cgi_query(on_camera_ipc_callback, CAM_REQ_TEST_LOGIN, &rec, sizeof rec, CGI_TEXT);
}

void on_test_camera_cb(int count, const void *payload)
{
    if (count < 1 || !payload)
        return;
    int32_t result;
    memcpy(&result, payload, sizeof result);
    switch (result) {
    case TEST_OK:
    case TEST_OK_TOO:
        cgi_writeback_webserver(CGI_TEXT, "OK");
        g_callback_done = 2;
        return;
    case TEST_NETWORK:
        cgi_writeback_webserver(CGI_TEXT, "NETWORKERROR");
        break;
    case TEST_USER:
        cgi_writeback_webserver(CGI_TEXT, "USERERROR");
        break;
    case TEST_BANDWIDTH:
        cgi_writeback_webserver(CGI_TEXT, "BANDWIDTHERROR");
        break;
    default:
        cgi_writeback_webserver(CGI_TEXT, "UNKOWNERROR");
        break;
    }
    g_callback_done = 1;
}
