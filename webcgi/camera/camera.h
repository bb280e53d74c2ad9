// Camera channels: handlers, reply functions and the records they exchange
// with the core daemon. Private to the camera module.
#pragma once

#include <cstdint>

#include <json-c/json.h>

#include "outside/qxdb_records.h"
#include "outside/qxsocket.h"
#include "web_utils/json_getters.h"
#include "web_utils/records.h"

// Daemon requests of the camera pages.
enum {
    CAM_REQ_BOUND = 1201,       // a camera was bound to the channel
    CAM_REQ_CLEARED = 1202,     // the channel was cleared
    CAM_REQ_CHANGED = 1203,     // the channel's camera settings changed
    CAM_REQ_POE_BIND = 1206,    // PoE binding notice (channel, flag)
    CAM_REQ_LIST = 3201,        // live camera list, answered by 8201
    CAM_REQ_TEST = 3202,        // connection test, answered by 8202
    CAM_REQ_TEST_LOGIN = 3227,  // connection test with a managing port of 80 or more, 8227
};

// Operation-log entries of camera changes.
enum {
    CAM_LOG_SUB_EDIT = 204,
    CAM_LOG_SUB_ADD = 210,
    CAM_LOG_SUB_DELETE = 211,
    CAM_LOG_ADD = 901,
    CAM_LOG_DELETE = 902,
    CAM_LOG_EDIT = 903,
    CAM_LOG_DETAIL_KIND = 111,
};

// One channel's live state as the daemon reports it (reply 8201).
struct CameraStatusRecord {
    int32_t id;
    int32_t manage_port;
    int32_t protocol;
    int32_t state;
    int32_t main_rtsp_port;
    char ip_addr[32];
    char vendor[192];
    char sn[128];
    char fw_version[64];
    char mac[48];
    char model[324];
    int32_t poechannel;
    int32_t physicalport;
    int32_t alarmin;
    int32_t alarmout;
    int32_t white_led;
    int32_t led_alarm;
    int32_t led_manual;
    int32_t minorid;
    int32_t sub_state;
    int32_t connect_state;
    char sn_real[64];
    char ddns[64];
};
RECORD_SIZE(CameraStatusRecord, 976);
RECORD_OFFSET(CameraStatusRecord, manage_port, 4);
RECORD_OFFSET(CameraStatusRecord, protocol, 8);
RECORD_OFFSET(CameraStatusRecord, state, 12);
RECORD_OFFSET(CameraStatusRecord, main_rtsp_port, 16);
RECORD_OFFSET(CameraStatusRecord, ip_addr, 20);
RECORD_OFFSET(CameraStatusRecord, vendor, 52);
RECORD_OFFSET(CameraStatusRecord, sn, 244);
RECORD_OFFSET(CameraStatusRecord, fw_version, 372);
RECORD_OFFSET(CameraStatusRecord, mac, 436);
RECORD_OFFSET(CameraStatusRecord, model, 484);
RECORD_OFFSET(CameraStatusRecord, poechannel, 808);
RECORD_OFFSET(CameraStatusRecord, physicalport, 812);
RECORD_OFFSET(CameraStatusRecord, alarmin, 816);
RECORD_OFFSET(CameraStatusRecord, alarmout, 820);
RECORD_OFFSET(CameraStatusRecord, white_led, 824);
RECORD_OFFSET(CameraStatusRecord, led_alarm, 828);
RECORD_OFFSET(CameraStatusRecord, led_manual, 832);
RECORD_OFFSET(CameraStatusRecord, minorid, 836);
RECORD_OFFSET(CameraStatusRecord, sub_state, 840);
RECORD_OFFSET(CameraStatusRecord, connect_state, 844);
RECORD_OFFSET(CameraStatusRecord, sn_real, 848);
RECORD_OFFSET(CameraStatusRecord, ddns, 912);

// Connection test (request 3202).
struct CameraTestRecord {
    char ip_addr[32];
    int32_t manage_port;
    char user_name[64];
    char password[36];           // at most 32 characters
    int32_t model;
    uint8_t reserved[68];
};
RECORD_SIZE(CameraTestRecord, 208);
RECORD_OFFSET(CameraTestRecord, manage_port, 32);
RECORD_OFFSET(CameraTestRecord, user_name, 36);
RECORD_OFFSET(CameraTestRecord, password, 100);
RECORD_OFFSET(CameraTestRecord, model, 136);

// Connection test with login (request 3227).
struct CameraLoginTestRecord {
    int32_t zero;
    char ip_addr[32];
    int32_t manage_port;         // at least 80
    char user_name[64];
    char password[36];           // at most 32 characters
    int32_t model;
    uint8_t reserved[4];
};
RECORD_SIZE(CameraLoginTestRecord, 148);
RECORD_OFFSET(CameraLoginTestRecord, ip_addr, 4);
RECORD_OFFSET(CameraLoginTestRecord, manage_port, 36);
RECORD_OFFSET(CameraLoginTestRecord, user_name, 40);
RECORD_OFFSET(CameraLoginTestRecord, password, 104);
RECORD_OFFSET(CameraLoginTestRecord, model, 140);

// Detail of a camera change in the operation log (detail kind 111).
struct CameraChangeDetail {
    int32_t param;               // 901 add, 903 edit
    char ip_addr[64];
    int32_t manage_port;
    int32_t chn;                 // one-based
    uint8_t reserved76[64];
    char protocol[16];           // "ONVIF", "RTSP", "QXSF"
    char transport[16];          // "UDP", "TCP"
    uint8_t sync_time;
    uint8_t reserved173[3];
};
RECORD_SIZE(CameraChangeDetail, 176);
RECORD_OFFSET(CameraChangeDetail, ip_addr, 4);
RECORD_OFFSET(CameraChangeDetail, manage_port, 68);
RECORD_OFFSET(CameraChangeDetail, chn, 72);
RECORD_OFFSET(CameraChangeDetail, reserved76, 76);
RECORD_OFFSET(CameraChangeDetail, protocol, 140);
RECORD_OFFSET(CameraChangeDetail, transport, 156);
RECORD_OFFSET(CameraChangeDetail, sync_time, 172);

// The camera module's reply callback, named in every camera request.
void on_camera_ipc_callback(int32_t unused, const QxMsgHead *head, const void *payload);

// Request helpers (camera_common.cpp).
// An integer member: a JSON integer (or boolean), or a text holding a whole
// decimal number. -1 when absent or anything else, *value then untouched.
int camera_json_int(json_object *obj, const char *key, int32_t *value);
// An integer member or 0 when absent or not a number.
int32_t camera_json_int_or0(json_object *obj, const char *key);
// A text member cut into the field, "" when absent.
template <size_t N>
inline void camera_json_text(json_object *obj, const char *key, char (&field)[N])
{
    if (on_cgi_get_string_from_json(obj, key, field, static_cast<int>(N)) < 0)
        field[0] = '\0';
}
// "chnid" of a JSON request text, 0 to max; -1 when missing, not a number or out of range.
int camera_request_chnid(const char *req, int32_t max, int32_t *chn);
// Sends the operation-log entry of a camera change (main type 4, one-based
// channel); with a camera record, the change detail built from it.
void camera_log_change(int64_t sub_type, int32_t param, int32_t chn, const CameraRecord *cam);
// A no-wait notice carrying a channel id.
void camera_notify_chn(int32_t code, int32_t chn);

// Routes.
void on_get_camera_info(const char *req);         // /2000
void on_get_camera_list(const char *req);         // /2001, /2007
void on_edit_camera(const char *req);             // /2003
void on_add_camera(const char *req);              // /2004
void on_delete_camera(const char *req);           // /2005
void on_get_ipc_protocols(const char *req);       // /2008
void on_get_channel_names(const char *req);       // /2012
void on_test_camera_connect(const char *req);     // /2014
void on_test_camera_login(const char *req);       // /2015
void on_get_poe_password(const char *req);        // /2016
void on_set_camera_login(const char *req);        // /2017
void on_get_max_poe_num(const char *req);         // /2018
void on_set_camera_transport(const char *req);    // /2031
void on_get_ipv6_support(const char *req);        // /2034

// Reply functions.
void on_get_camera_list_cb(int count, const void *payload);    // 8201
void on_test_camera_cb(int count, const void *payload);        // 8202, 8227

// Checks a camera object of the add and edit pages: 0 when it may be stored.
int check_digital_channel(json_object *obj);
