#include "dispatchreq.h"

#include <cstring>

#include "web_utils/cgi_log.h"

namespace {

struct WebResTable {
    WebRes rows[MAX_WEBREQ_COUNT];
    unsigned char used[MAX_WEBREQ_COUNT];
    int32_t count;
};

WebResTable g_table;

bool same_path(const WebRes &row, const char *path)
{
    return strncmp(row.path, path, WEBRES_PATH_SIZE) == 0 && strlen(path) < WEBRES_PATH_SIZE;
}

} // namespace

int WebResRegister(const WebRes *rows, int count)
{
    if (!rows || count <= 0)
        return -1;
    if (g_table.count + count >= MAX_WEBREQ_COUNT) {
        cgi_log("dispatchreq.c", 62, "", "[ardo debug] WEBREQ exceeded maximum value(MAX_WEBREQ_COUNT)");
        return -1;
    }
    int next = 0;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT && next < count; slot++) {
        if (g_table.used[slot])
            continue;
        g_table.rows[slot] = rows[next++];
        g_table.rows[slot].path[WEBRES_PATH_SIZE - 1] = '\0';
        g_table.used[slot] = 1;
        g_table.count++;
    }
    return 0;
}

int WebResUnregister(const WebRes *rows, int count)
{
    if (!rows || count <= 0)
        return -1;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) {
        if (!g_table.used[slot])
            continue;
        for (int i = 0; i < count; i++) {
            if (strncmp(g_table.rows[slot].path, rows[i].path, WEBRES_PATH_SIZE) == 0) {
                memset(&g_table.rows[slot], 0, sizeof g_table.rows[slot]);
                g_table.used[slot] = 0;
                g_table.count--;
                break;
            }
        }
    }
    return 0;
}

const WebRes *FindWebRes(const char *path)
{
    if (!path)
        return nullptr;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++)
        if (g_table.used[slot] && same_path(g_table.rows[slot], path))
            return &g_table.rows[slot];
    return nullptr;
}

void DispatchWebReq(const char *path, const char *req)
{
    const WebRes *row = FindWebRes(path);
    if (!row || !row->handler)
        return;
    // A handler that throws must not take the process down with a half
    // answer and an abort; it simply answers nothing more.
    try {
        row->handler(req);
    } catch (...) {
        cgi_log("dispatchreq.c", __LINE__, "", "handler of %s threw", path);
    }
}

int WebResCount()
{
    return g_table.count;
}

const WebRes *WebResSlot(int i)
{
    if (i < 0 || i >= MAX_WEBREQ_COUNT || !g_table.used[i])
        return nullptr;
    return &g_table.rows[i];
}
