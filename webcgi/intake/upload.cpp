// Dispatch of a multipart upload: the uploaded file is given the client's
// base name in /tmp and the route receives its path.
#include <cstdio>
#include <cstring>

#include "cgi.h"
#include "dispatchreq/dispatchreq.h"
#include "nvr_root.h"

// Routes that take no file from this step ("/1010" is not even parsed).
static bool is_special_upload(const char *path)
{
    return strcmp(path, "/1010") == 0 || strcmp(path, "/6082") == 0 || strcmp(path, "/2079") == 0;
}

// The client name after its last '/' or '\' (Windows browsers send paths).
static void base_name(const char *client, char *out, size_t size)
{
    const char *b = client;
    for (const char *p = client; *p; p++)
        if (*p == '/' || *p == '\\')
            b = p + 1;
    snprintf(out, size, "%s", b);
}

// The text after "param:" in the query, up to the next '&'.
static void query_param(char *out, size_t size)
{
    out[0] = '\0';
    const char *p = strstr(cgiQueryString, "param:");
    if (!p)
        return;
    p += 6;
    size_t n = strcspn(p, "&");
    if (n >= size)
        n = size - 1;
    memcpy(out, p, n);
    out[n] = '\0';
}

void cgiDealUpload()
{
    char path[CGI_PATH_SIZE];
    snprintf(path, sizeof path, "%s", cgiPathInfo);
    if (!path[0])
        return;

    bool special = is_special_upload(path);
    char client[CGI_UPLOAD_NAME_SIZE] = "";
    char base[CGI_UPLOAD_NAME_SIZE] = "";
    if (!special) {
        if (cgiFormFileName("file", client, sizeof client) != cgiFormSuccess)
            return;
        base_name(client, base, sizeof base);
        // The file must stay in /tmp: "", "." and ".." would name the
        // directory itself or its parent.
        if (!base[0] || strcmp(base, ".") == 0 || strcmp(base, "..") == 0)
            return;
    }

    cgiFormEntry *file = cgiFormEntryFindFirst("file");
    if (!special && !file)
        return;

    char req[CGI_UPLOAD_REQ_SIZE];
    if (special) {
        snprintf(req, sizeof req, "%s & %s", "temp", cgiQueryString);
    } else if (strcmp(path, "/1019") == 0 || strcmp(path, "/oem") == 0) {
        snprintf(req, sizeof req, "%s & %s", nvr_unroot(file->tfileName), cgiQueryString);
    } else {
        // Same directory as the temporary, the client's base name. A rename
        // does what "mv" would, without the client's name reaching a shell.
        char moved[1024];
        const char *slash = strrchr(file->tfileName, '/');
        int dirlen = slash ? static_cast<int>(slash - file->tfileName + 1) : 0;
        snprintf(moved, sizeof moved, "%.*s%s", dirlen, file->tfileName, base);
        rename(file->tfileName, moved);

        snprintf(req, sizeof req, "%s", nvr_unroot(moved));
        char param[CGI_UPLOAD_PARAM_SIZE];
        query_param(param, sizeof param);
        if (strstr(cgiQueryString, "param:")) {
            size_t used = strlen(req);
            snprintf(req + used, sizeof req - used, " & %s", param);
        }
    }
    DispatchWebReq(path, req);
}
