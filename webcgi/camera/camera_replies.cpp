// The camera module's reply callback: every reply code of the camera pages
// with the size of its record. A reply function gets the number of whole
// records (or the payload size for the rows marked BY_BYTES).
#include "camera/camera.h"
#include "web_utils/ipc.h"

namespace {

// Replies whose route is not built yet: handled like an unknown code, so the
// waiting handler times out and answers its error text.
void on_camera_reply_unclaimed_cb(int, const void *) {}

const IpcReplyRow kReplies[] = {
    {6213, 40, BY_RECORD, on_camera_reply_unclaimed_cb},
    {6216, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {6217, 24, BY_RECORD, on_camera_reply_unclaimed_cb},
    {6218, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {6219, 8, BY_RECORD, on_camera_reply_unclaimed_cb},
    {6262, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {6421, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {6423, 1, BY_BYTES, on_camera_reply_unclaimed_cb},
    {7290, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {7291, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {7292, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {7293, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {7503, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {7505, 10496, BY_RECORD, on_camera_reply_unclaimed_cb},
    {7507, 164, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8200, 760, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8201, 976, BY_RECORD, on_get_camera_list_cb},
    {8202, 4, BY_RECORD, on_test_camera_cb},
    {8203, 8, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8204, 592, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8205, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8221, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8222, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8223, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8224, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8225, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8226, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8227, 4, BY_RECORD, on_test_camera_cb},
    {8230, 3344, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8271, 364, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8273, 26180, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8275, 29188, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8277, 26180, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8278, 56, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8294, 26520, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8307, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8358, 26500, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8360, 1, BY_BYTES, on_camera_reply_unclaimed_cb},
    {8366, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8371, 5968, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8372, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8375, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8376, 364, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8377, 520, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8379, 40, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8381, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8385, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8386, 40, BY_RECORD, on_camera_reply_unclaimed_cb},
    {8493, 132, BY_RECORD, on_camera_reply_unclaimed_cb},
    {9003, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
    {9004, 4, BY_RECORD, on_camera_reply_unclaimed_cb},
};

} // namespace

void on_camera_ipc_callback(int32_t, const QxMsgHead *head, const void *payload)
{
    cgi_dispatch_reply(kReplies, CGI_REPLY_TABLE_SIZE(kReplies), head, payload);
}
