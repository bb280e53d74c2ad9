// Helpers shared by the camera handlers: request members, notices and the
// operation-log entry of a camera change.
#include <cstring>

#include "camera/camera.h"
#include "outside/qxfs_log.h"
#include "web_utils/ipc.h"
#include "web_utils/oplog.h"
#include "web_utils/req_parse.h"

int camera_json_int(json_object *obj, const char *key, int32_t *value)
{
    json_object *m = nullptr;
    if (!obj || !key || !value || !json_object_is_type(obj, json_type_object) ||
        !json_object_object_get_ex(obj, key, &m) || !m)
        return -1;
    // The camera pages also send switches as true and false.
    if (json_object_is_type(m, json_type_boolean)) {
        *value = json_object_get_boolean(m) ? 1 : 0;
        return 0;
    }
    return cgi_json_whole_int(obj, key, value) == 1 ? 0 : -1;
}

int32_t camera_json_int_or0(json_object *obj, const char *key)
{
    int32_t v = 0;
    return camera_json_int(obj, key, &v) == 0 ? v : 0;
}

int camera_request_chnid(const char *req, int32_t max, int32_t *chn)
{
    json_object *obj = get_request_tokener_json_object(req);
    int32_t v = -1;
    int rc = camera_json_int(obj, "chnid", &v);
    if (obj)
        json_object_put(obj);
    if (rc < 0 || v < 0 || v > max)
        return -1;
    *chn = v;
    return 0;
}

void camera_notify_chn(int32_t code, int32_t chn)
{
    cgi_notify(code, &chn, sizeof chn);
}

void camera_log_change(int64_t sub_type, int32_t param, int32_t chn, const CameraRecord *cam)
{
    OpLogRecord log;
    cgi_init_log_info(&log);
    log.sub_type = sub_type;
    log.param = param;
    log.chn = chn + 1;
    if (cam) {
        CameraChangeDetail d;
        memset(&d, 0, sizeof d);
        d.param = param;
        copy_text(d.ip_addr, cam->ip_addr); // reads at most 63 bytes of the field
        d.manage_port = cam->manage_port;
        d.chn = chn + 1;
        copy_text(d.protocol, cam->model == 0 ? "ONVIF" : cam->model == 1 ? "RTSP" : "QXSF");
        copy_text(d.transport, cam->transmit_protocol == 0 ? "UDP" : "TCP");
        d.sync_time = static_cast<uint8_t>(cam->sync_time);
        qxfs_log_pack_detail(&log, CAM_LOG_DETAIL_KIND, &d, sizeof d);
    }
    cgi_send_oplog(&log);
}
