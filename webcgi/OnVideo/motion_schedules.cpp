// Motion detection: the weekly schedules of a channel, read and set one at
// a time.
#include "OnVideo/motion.h"
#include "OnVideo/video.h"
#include "outside/qxdb.h"
#include "web_utils/json_getters.h"
#include "web_utils/req_parse.h"
#include "web_utils/response.h"

namespace {

// Read routes take the channel id as decimal text. An empty text, or one
// that is not a channel, gets no answer.
void answer_schedule(const EventSchedule &s, const char *req)
{
    int32_t chn = 0;
    if (!req || !cgi_text_to_int_in(req, 0, EVENT_MAX_CHANNEL, &chn))
        return;
    cgi_writeback_json(event_schedule_json(s, chn));
}

// Set routes take {"camId", "schedule"}. The channel must be 0 to 63 and
// the schedule an array; otherwise nothing is written. `after` updates the
// motion record first ("/6118"); it returns false when that failed.
void set_schedule(const EventSchedule &s, const char *req, bool (*after)(json_object *, int32_t) = nullptr)
{
    MotionJson j(req);
    int32_t chn = 0;
    if (!j.obj || !event_json_channel(j.obj, "camId", &chn)) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    bool has_schedule = cgi_json_member(j.obj, "schedule", json_type_array) != nullptr;
    if (after) {
        if (!after(j.obj, chn)) {
            cgi_error_to_webserver(CGI_TEXT);
            return;
        }
    } else if (!has_schedule) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    if (has_schedule && !event_save_schedule(s, j.obj, "schedule", chn)) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    event_notify_channel(REQ_MOTION_CHANGED, chn);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

// "/6118": e-mail enable and interval go to the motion record.
bool set_email_fields(json_object *obj, int32_t chn)
{
    MotionRecord m;
    if (!motion_read(chn, &m))
        return false;
    m.chnid = chn;
    int v = 0;
    if (on_cgi_get_int_from_json(obj, "enable", &v) == 0)
        m.email_enable = v;
    if (on_cgi_get_int_from_json(obj, "interval", &v) == 0)
        m.email_interval = v;
    return write_motion(CONFIG_DB_PATH, &m) == 0;
}

} // namespace

void OnGetMotionSchedule(const char *req)
{
    answer_schedule(kMotionAudible, req);
}

void on_get_move_email_sche(const char *req)
{
    answer_schedule(kMotionEmail, req);
}

void on_get_move_effective_sche(const char *req)
{
    answer_schedule(kMotionEffective, req);
}

void on_get_move_ptz_sche(const char *req)
{
    answer_schedule(kMotionPtz, req);
}

void OnSetMotionSchedule(const char *req)
{
    set_schedule(kMotionPlain, req);
}

void on_set_move_email_sche(const char *req)
{
    set_schedule(kMotionEmail, req, set_email_fields);
}

void on_set_move_effective_sche(const char *req)
{
    set_schedule(kMotionEffective, req);
}

void on_set_move_ptz_sche(const char *req)
{
    set_schedule(kMotionPtz, req);
}
