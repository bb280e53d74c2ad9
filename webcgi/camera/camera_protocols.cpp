// The camera protocols and models the recorder knows.
#include "camera/camera.h"
#include "outside/qxdb.h"
#include "web_utils/codec_util.h"
#include "web_utils/json_getters.h"

namespace {

// The maker's own protocol lists no models on the page.
constexpr int32_t kProtocolQxsf = 2;

json_object *models_of(int32_t protocol)
{
    static IpcModelRecord models[QXDB_MAX_IPC_MODELS];
    int32_t count = 0;
    read_ipc_models_by_protocol(CONFIG_DB_PATH, protocol, models, QXDB_MAX_IPC_MODELS, &count);
    json_object *list = json_object_new_array();
    for (int32_t i = 0; i < count && i < QXDB_MAX_IPC_MODELS; i++) {
        json_object *o = json_object_new_object();
        json_object_object_add(o, "id", json_object_new_int(models[i].id));
        json_object_object_add(o, "name", codec::field_string(models[i].name));
        json_object_object_add(o, "alarm_type", json_object_new_int(models[i].alarm_type));
        json_object_object_add(o, "default_model", json_object_new_int(models[i].default_model));
        json_object_array_add(list, o);
    }
    return list;
}

} // namespace

void on_get_ipc_protocols(const char *)
{
    IpcProtocolRecord protocols[QXDB_MAX_IPC_PROTOCOLS];
    int32_t count = 0;
    read_ipc_protocols(CONFIG_DB_PATH, protocols, QXDB_MAX_IPC_PROTOCOLS, &count);
    json_object *list = json_object_new_array();
    for (int32_t i = 0; i < count && i < QXDB_MAX_IPC_PROTOCOLS; i++) {
        IpcProtocolRecord &p = protocols[i];
        if (p.id == kProtocolQxsf && p.display_model == 1) {
            p.display_model = 0;
            write_ipc_protocol(CONFIG_DB_PATH, &p);
        }
        json_object *o = json_object_new_object();
        json_object_object_add(o, "id", json_object_new_int(p.id));
        json_object_object_add(o, "name", codec::field_string(p.name));
        json_object_object_add(o, "protocolFunction", json_object_new_int(p.function));
        json_object_object_add(o, "enable", json_object_new_int(p.enable));
        json_object_object_add(o, "display_model", json_object_new_int(p.display_model));
        json_object_object_add(o, "models", models_of(p.id));
        json_object_array_add(list, o);
    }
    json_object *answer = json_object_new_object();
    json_object_object_add(answer, "protocols", list);
    cgi_writeback_json(answer);
}
