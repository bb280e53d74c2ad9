// webcgi with extra test routes, registered before the modules so that they
// take precedence:
// - echo routes answer the request text they receive in brackets, so that
//   tests see exactly what the intake hands over;
// - channel routes drive the daemon request channel the way handlers do.
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "dispatchreq/dispatchreq.h"
#include "intake/cgi.h"
#include "nvr_root.h"
#include "web_utils/common_replies.h"
#include "web_utils/ipc.h"
#include "web_utils/response.h"

namespace {

void on_echo(const char *req)
{
    std::string text = "[" + std::string(req ? req : "(null)") + "]";
    // For uploads, also say whether the file the text names is there.
    if (req && req[0] == '/') {
        std::string r(req);
        std::string path = r.substr(0, r.find(" & "));
        text += access(nvr_path(path.c_str()).c_str(), F_OK) == 0 ? " file" : " nofile";
    }
    cgi_writeback_webserver(CGI_TEXT, text.c_str());
}

// Reply 6701 (to 1701) sends 1711 from inside the reply function before
// answering, as the clock page does.
void on_chain_cb(int count, const void *payload)
{
    cgi_start_ipc(on_aging_callback, 1711, 0, nullptr, 1);
    cgi_stop_ipc();
    on_cgi_common_json_cb(count, payload);
}

void on_text_cb(int count, const void *payload)
{
    if (count < 1)
        return;
    int32_t status;
    memcpy(&status, payload, 4);
    on_cgi_common_text_cb(0, status, status < 0 ? "x" : nullptr);
}

const IpcReplyRow kProbeReplies[] = {
    {6701, 4, BY_RECORD, on_chain_cb},
    {8001, 4, AS_ONE, on_text_cb},
};

int32_t g_expected_reply;

void on_probe_callback(int32_t, const QxMsgHead *head, const void *payload)
{
    for (const IpcReplyRow &row : kProbeReplies)
        if (static_cast<uint32_t>(row.code) == head->code)
            return cgi_dispatch_reply(kProbeReplies, CGI_REPLY_TABLE_SIZE(kProbeReplies), head, payload);
    // The reply to the request sent: the common JSON status answer.
    const IpcReplyRow common = {g_expected_reply, 4, BY_RECORD, on_cgi_common_json_cb};
    cgi_dispatch_reply(&common, 1, head, payload);
}

// "/q?CODE[&PAYLOAD]": waited request with the code, payload as text bytes.
void on_query(const char *req)
{
    std::string r(req ? req : "");
    size_t amp = r.find('&');
    std::string payload = amp == std::string::npos ? "" : r.substr(amp + 1);
    g_expected_reply = atoi(r.c_str()) + 5000;
    cgi_start_ipc(on_probe_callback, atoi(r.c_str()), static_cast<int32_t>(payload.size()),
                  payload.empty() ? nullptr : payload.data(), 0);
    if (g_callback_done == 0)
        cgi_error_to_webserver(CGI_JSON);
    cgi_stop_ipc();
}

// "/n?CODE": no-wait notice, then "OK".
void on_notice(const char *req)
{
    int32_t chn = 7;
    cgi_notify(atoi(req ? req : "0"), &chn, sizeof chn);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

// "/log?SUB": operation-log entry (4, SUB, 900, 3).
void on_oplog(const char *req)
{
    cgi_log_operation(4, atoi(req ? req : "0"), 900, 3);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}

const WebRes kProbeRoutes[] = {
    {"/echo", on_echo}, {"/1010", on_echo},  {"/6082", on_echo}, {"/2079", on_echo},
    {"/1019", on_echo}, {"/oem", on_echo},   {"/cfg", on_echo},  {"/q", on_query},
    {"/n", on_notice},  {"/log", on_oplog},
};

} // namespace

int main(int argc, char **argv)
{
    WebResRegister(kProbeRoutes, sizeof kProbeRoutes / sizeof kProbeRoutes[0]);
    return cgi_main(argc, argv);
}
