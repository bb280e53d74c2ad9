// Reply table of the video and event module: reply code, record size and
// the reply function that answers it.
#include "OnVideo/motion.h"
#include "OnVideo/video.h"
#include "web_utils/ipc.h"

namespace {

const IpcReplyRow kReplies[] = {
    {REPLY_CAM_MOTION, sizeof(CamMotionRecord), BY_RECORD, on_get_motion_map_cb},
};

} // namespace

void on_video_ipc_callback(int32_t, const QxMsgHead *head, const void *payload)
{
    cgi_dispatch_reply(kReplies, CGI_REPLY_TABLE_SIZE(kReplies), head, payload);
}
