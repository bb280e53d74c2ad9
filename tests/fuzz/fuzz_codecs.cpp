// The shared JSON codecs on arbitrary request documents.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_common.h"
#include "web_utils/event_codecs.h"
#include "web_utils/json_getters.h"
#include "web_utils/schedule_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = (fuzz_scratch_root(), true);
    (void)ready;
    std::string text(reinterpret_cast<const char *>(data), size);
    json_object *obj = get_request_tokener_json_object(text.c_str());
    if (!obj)
        return 0;
    static ScheduleRecord sched;
    get_schedule_by_json(obj, "schedule", &sched);
    get_schedule_by_json_ex(obj, "schedule", &sched);
    get_schedule_by_json_ipc(obj, "schedule", &sched);
    json_object_put(get_schedule_json_object(&sched));
    json_object_put(get_schedule_json_object_ipc(&sched));
    get_copy_flag_by_json(obj, "copyChn", "copyCnt");
    WhiteLedParams led;
    get_white_params_by_json(1, &led, obj, "whiteInfo");
    HttpNotificationParams http;
    get_http_params_by_json(1, &http, obj, "httpParams");
    AlarmOutTrigger trig[2];
    get_event_chn_alarmout_by_object(1, obj, "triChnAlarms", trig);
    json_object *ptz = cgi_json_member(obj, "ptzParams", json_type_array);
    static PtzActionRecord rec;
    get_ptz_params_by_json(1, 1, ptz, &rec);
    json_object_put(obj);
    return 0;
}
