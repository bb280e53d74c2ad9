// User accounts: list, add, edit and delete, the preset user list of a
// customised build, and two small account notices.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "OnSystem/system_private.h"
#include "nvr_root.h"
#include "outside/qxdb.h"
#include "web_utils/ipc.h"
#include "web_utils/json_getters.h"
#include "web_utils/records.h"
#include "web_utils/req_parse.h"
#include "web_utils/response.h"

const char *const kUserLocalRights[10] = {"localLiveView", "localPlayback", "localRetrieve", "localSmartAnalysis",
                                          "localEvent",    "localCamera",   "localStorage",  "localSettings",
                                          "localStatus",   "localShutdown"};
const char *const kUserRemoteRights[10] = {"remoteLiveView", "remotePlayback", "remoteRetrieve",
                                           "remoteSmartAnalysis", "remoteEvent", "remoteCamera",
                                           "remoteStorage", "remoteSettings", "remoteStatus", "remoteShutdown"};

namespace {

enum {
    USER_TYPE_MAX = 3,
    USER_NAME_COMPARE = 31,    // names are told apart by their first 31 characters
    USER_PASSWORD_MAX = 32,
};

constexpr int64_t kLogSubUser = 204;
constexpr int32_t kLogParamUserAdded = 921;
constexpr int32_t kLogParamUserDeleted = 922;

// The four channel strings, their JSON keys and their masks' order.
struct ChannelString {
    const char *key;
    char (UserRecord::*field)[65];
};
const ChannelString kChannelStrings[4] = {
    {"localliveview", &UserRecord::local_liveview},
    {"localplayback", &UserRecord::local_playback},
    {"remoteliveview", &UserRecord::remote_liveview},
    {"remoteplayback", &UserRecord::remote_playback},
};

// Takes the twenty rights present in the body into the record. False (and
// the record partly changed) when one of them is not a number.
bool take_rights(json_object *body, UserRecord *user)
{
    for (int i = 0; i < 10; i++) {
        if (cgi_json_whole_int(body, kUserLocalRights[i], &user->local_rights[i]) < 0 ||
            cgi_json_whole_int(body, kUserRemoteRights[i], &user->remote_rights[i]) < 0)
            return false;
    }
    return true;
}

// Bits 0-31 of a channel string: bit i set when character i is "1".
uint32_t channel_mask(const char (&chn)[65])
{
    uint32_t mask = 0;
    size_t n = field_len(chn);
    for (size_t i = 0; i < n && i < 32; i++) {
        if (chn[i] == '1')
            mask |= 1u << i;
    }
    return mask;
}

// Takes the channel strings present in the body (at most 64 characters)
// and keeps each one's mask in step with it.
void take_channel_strings(json_object *body, UserRecord *user)
{
    for (int i = 0; i < 4; i++) {
        char(&field)[65] = user->*kChannelStrings[i].field;
        if (on_cgi_get_string_from_json(body, kChannelStrings[i].key, field, sizeof field) == 0)
            user->channel_mask[i] = channel_mask(field);
    }
}

json_object *parse_object(const char *req)
{
    json_object *body = get_request_tokener_json_object(req);
    if (body && !json_object_is_type(body, json_type_object)) {
        json_object_put(body);
        body = nullptr;
    }
    return body;
}



json_object *user_to_json(const UserRecord &u)
{
    json_object *o = json_object_new_object();
    cgi_json_add_int(o, "id", u.id);
    cgi_json_add_int(o, "enable", u.enable);
    cgi_json_add_text(o, "name", u.name);
    cgi_json_add_text(o, "password", u.password);
    cgi_json_add_int(o, "type", u.type);
    user_rights_to_json(o, u, "remotePermission");
    return o;
}

void log_user_change(int32_t param)
{
    cgi_log_operation(OPLOG_MAIN_OPERATION, kLogSubUser, param, 0);
}

void notify_users_changed(int32_t id)
{
    cgi_notify(SYS_REQ_USERS_CHANGED, &id, sizeof id);
}

} // namespace

void user_rights_to_json(json_object *o, const UserRecord &u, const char *remote_permission_key)
{
    cgi_json_add_int(o, "permission", u.permission);
    for (int i = 0; i < 10; i++)
        cgi_json_add_int(o, kUserLocalRights[i], u.local_rights[i]);
    cgi_json_add_text(o, "localliveview", u.local_liveview);
    cgi_json_add_text(o, "localplayback", u.local_playback);
    cgi_json_add_int(o, remote_permission_key, u.remote_permission);
    for (int i = 0; i < 10; i++)
        cgi_json_add_int(o, kUserRemoteRights[i], u.remote_rights[i]);
    cgi_json_add_text(o, "remoteliveview", u.remote_liveview);
    cgi_json_add_text(o, "remoteplayback", u.remote_playback);
}

void on_get_user_info(const char *)
{
    UserRecord *users = static_cast<UserRecord *>(calloc(QXDB_MAX_USERS, sizeof(UserRecord)));
    if (!users)
        return;
    int32_t count = 0;
    read_users(CONFIG_DB_PATH, users, QXDB_MAX_USERS, &count);
    json_object *list = json_object_new_array();
    for (int32_t i = 0; i < count && i < QXDB_MAX_USERS; i++) {
        if (users[i].enable != 0)
            json_object_array_add(list, user_to_json(users[i]));
    }
    free(users);
    cgi_writeback_json(list);
}

void on_add_user_info(const char *req)
{
    if (!req || !*req)
        return;
    if (read_user_count(CONFIG_DB_PATH) >= QXDB_MAX_USERS) {
        cgi_writeback_webserver(CGI_TEXT, "FAILED_FULL");
        return;
    }
    json_object *body = parse_object(req);
    if (!body)
        return;
    UserRecord user;
    memset(&user, 0, sizeof user);
    if (cgi_json_whole_int(body, "type", &user.type) != 1 || user.type < 0 || user.type > USER_TYPE_MAX ||
        cgi_json_whole_int(body, "permission", &user.permission) != 1 || user.permission < -1 ||
        cgi_json_whole_int(body, "remotePermission", &user.remote_permission) != 1 || user.remote_permission < -1 ||
        !take_rights(body, &user)) {
        json_object_put(body);
        return;
    }

    char name[sizeof user.name] = "";
    on_cgi_get_string_from_json(body, "name", name, sizeof name);
    UserRecord same;
    if (read_user_by_name_n(CONFIG_DB_PATH, name, USER_NAME_COMPARE, &same) == 0) {
        json_object_put(body);
        cgi_writeback_webserver(CGI_TEXT, "SAMEUSER");
        return;
    }

    user.enable = 1;
    copy_text(user.name, name);
    char password[USER_PASSWORD_MAX + 1] = "";
    on_cgi_get_string_from_json(body, "password", password, sizeof password);
    copy_text(user.password, password);
    take_channel_strings(body, &user);
    copy_text(user.created, "0");
    json_object_put(body);

    // The slot is taken when the record is stored; a store that is full by
    // now (another add came first) or cannot be written gets no id.
    if (add_user(CONFIG_DB_PATH, &user) != 0) {
        cgi_writeback_webserver(CGI_TEXT, "FAILED_FULL");
        return;
    }
    cgi_notify(SYS_REQ_USERS_CHANGED, nullptr, 0);
    log_user_change(kLogParamUserAdded);
    char answer[32];
    snprintf(answer, sizeof answer, "id=%d", static_cast<int>(user.id));
    cgi_writeback_webserver(CGI_TEXT, answer);
}

void on_set_user_info(const char *req)
{
    json_object *body = parse_object(req);
    if (!body)
        return;
    int32_t id = 0;
    int32_t type = 0;
    int has_type = cgi_json_whole_int(body, "type", &type);
    UserRecord user;
    if (cgi_json_whole_int(body, "id", &id) < 0 || id < 0 || id >= QXDB_MAX_USERS || has_type < 0 ||
        (has_type == 1 && (type < 0 || type > USER_TYPE_MAX)) ||
        // A store that cannot be read would give back an empty record,
        // and storing it would wipe the account.
        read_user(CONFIG_DB_PATH, &user, id) != 0 || !take_rights(body, &user)) {
        json_object_put(body);
        return;
    }
    user.id = id;
    user.enable = 1;

    char name[sizeof user.name];
    if (on_cgi_get_string_from_json(body, "name", name, sizeof name) == 0) {
        UserRecord same;
        if (read_user_by_name_n(CONFIG_DB_PATH, name, USER_NAME_COMPARE, &same) == 0 && same.id != id) {
            json_object_put(body);
            cgi_writeback_webserver(CGI_TEXT, "SAMEUSER");
            return;
        }
        copy_text(user.name, name);
    }
    char password[USER_PASSWORD_MAX + 1];
    if (on_cgi_get_string_from_json(body, "password", password, sizeof password) == 0)
        copy_text(user.password, password);
    if (has_type == 1)
        user.type = type;
    take_channel_strings(body, &user);
    json_object_put(body);

    write_user(CONFIG_DB_PATH, &user);
    notify_users_changed(id);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

void on_del_user_info(const char *req)
{
    json_object *body = parse_object(req);
    if (!body)
        return;
    int32_t id = -1;
    int32_t type = -1;
    bool ok = cgi_json_whole_int(body, "id", &id) == 1 && id >= 0 && id < QXDB_MAX_USERS &&
              cgi_json_whole_int(body, "type", &type) == 1 && type >= 0 && type <= USER_TYPE_MAX;
    json_object_put(body);
    if (!ok)
        return;
    // A record holding only its slot number: the slot is free again.
    UserRecord user;
    memset(&user, 0, sizeof user);
    user.id = id;
    write_user(CONFIG_DB_PATH, &user);
    notify_users_changed(id);
    log_user_change(kLogParamUserDeleted);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

void on_get_oem_user_info(const char *)
{
    // Only a customised build has the list; the store must not make it.
    if (access(nvr_path(OEM_DB_PATH).c_str(), F_OK) != 0)
        return;
    PresetUserRecord *users = static_cast<PresetUserRecord *>(calloc(QXDB_MAX_USERS, sizeof(PresetUserRecord)));
    if (!users)
        return;
    int32_t count = 0;
    read_users_oem(OEM_DB_PATH, users, QXDB_MAX_USERS, &count);
    json_object *list = json_object_new_array();
    for (int32_t i = 0; i < count && i < QXDB_MAX_USERS; i++) {
        const PresetUserRecord &u = users[i];
        if (u.enable == 0)
            continue;
        json_object *o = json_object_new_object();
        cgi_json_add_int(o, "id", u.id);
        cgi_json_add_int(o, "enable", u.enable);
        cgi_json_add_text(o, "name", u.name);
        cgi_json_add_text(o, "password", u.password);
        cgi_json_add_int(o, "type", u.type);
        cgi_json_add_int(o, "permission", u.permission);
        cgi_json_add_int(o, "remotePermission", u.remote_permission);
        json_object_array_add(list, o);
    }
    free(users);
    cgi_writeback_json(list);
}

void on_set_user_changed(const char *)
{
    cgi_notify(SYS_REQ_USERS_CHANGED, nullptr, 0);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

void on_set_permission_update(const char *)
{
    set_param_int(CONFIG_DB_PATH, "permission_update", 0);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}
