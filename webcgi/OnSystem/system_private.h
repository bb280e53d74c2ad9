// System administration module: handlers, reply functions and the module's
// reply callback, shared by the module's own files only.
#pragma once

#include <cstdint>

#include <json-c/json.h>

#include "outside/qxdb_records.h"
#include "outside/qxsocket.h"

// Reply callback of every daemon request this module sends.
void on_system_ipc_callback(int32_t unused, const QxMsgHead *head, const void *payload);

// Daemon requests of the user-account routes.
enum {
    SYS_REQ_EMAIL_LOGIN = 3504,      // 256-byte link text; reply 8504: int32
    SYS_REQ_USERS_CHANGED = 3505,    // no payload, or the int32 user id
    SYS_REQ_POE_PASSWORD = 3265,     // reply 8265: int32
    SYS_REQ_POE_PASSWORD_EX = 3267,  // no wait
};

// JSON keys of the ten local and the ten remote feature rights of an
// account, in the order of the record's rights arrays.
extern const char *const kUserLocalRights[10];
extern const char *const kUserRemoteRights[10];

// The rights members of an account, in the order the pages expect, with the
// remote permission word under the given key.
void user_rights_to_json(json_object *o, const UserRecord &u, const char *remote_permission_key);

// Login ("/1000") and the login from an e-mail link ("/1018").
void on_cgi_login(const char *req);
void on_cgi_email_login(const char *req);
void on_email_login_cb(int count, const void *payload);

// User accounts ("/6070" to "/6074", "/6077", "/1024").
void on_get_user_info(const char *req);
void on_add_user_info(const char *req);
void on_set_user_info(const char *req);
void on_del_user_info(const char *req);
void on_get_oem_user_info(const char *req);
void on_set_user_changed(const char *req);
void on_set_permission_update(const char *req);

// Passwords of the cameras on the PoE ports ("/6075", "/6076").
void on_set_poe_password(const char *req);
void on_set_poe_password_ex(const char *req);
void on_poe_password_cb(int count, const void *payload);
