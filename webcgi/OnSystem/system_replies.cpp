// Reply callback of the system administration module and its reply table.
#include <cstdint>

#include "OnSystem/system_private.h"
#include "web_utils/ipc.h"

static const IpcReplyRow kReplies[] = {
    {SYS_REQ_EMAIL_LOGIN + 5000, sizeof(int32_t), BY_RECORD, on_email_login_cb},
    {SYS_REQ_POE_PASSWORD + 5000, sizeof(int32_t), BY_RECORD, on_poe_password_cb},
};

void on_system_ipc_callback(int32_t, const QxMsgHead *head, const void *payload)
{
    cgi_dispatch_reply(kReplies, CGI_REPLY_TABLE_SIZE(kReplies), head, payload);
}
