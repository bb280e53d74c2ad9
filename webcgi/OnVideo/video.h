// Video and event settings module: its route handlers and reply callback.
// Private to webcgi/OnVideo.
#pragma once

#include <cstdint>

#include "outside/qxsocket.h"

// The module's reply callback: every daemon request of the module names it.
void on_video_ipc_callback(int32_t unused, const QxMsgHead *head, const void *payload);

// Motion detection.
void on_get_movedetect_info(const char *req);
void OnGetMotionSchedule(const char *req);
void on_set_movedetect_info(const char *req);
void OnSetMotionSchedule(const char *req);
void on_get_motion_map(const char *req);
void on_set_motion_dialog(const char *req);
void on_set_motion_basic(const char *req);
void on_set_motion_trigger(const char *req);
void on_set_move_action(const char *req);
void on_set_move_email_sche(const char *req);
void on_set_move_others(const char *req);
void on_get_move_email_sche(const char *req);
void on_set_move_effective_sche(const char *req);
void on_get_move_effective_sche(const char *req);
void on_get_move_ptz_sche(const char *req);
void on_set_move_ptz_sche(const char *req);

// Reply functions.
void on_get_motion_map_cb(int count, const void *payload);
