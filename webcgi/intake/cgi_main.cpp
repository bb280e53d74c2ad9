// Program entry: reads the CGI environment and hands the request text to
// the route table.
#include "cgi.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "dispatchreq/dispatchreq.h"
#include "modules.h"
#include "web_utils/ipc.h"

const char *cgiServerSoftware = "";
const char *cgiServerName = "";
const char *cgiGatewayInterface = "";
const char *cgiServerProtocol = "";
const char *cgiServerPort = "";
const char *cgiRequestMethod = "";
const char *cgiPathInfo = "";
const char *cgiPathTranslated = "";
const char *cgiScriptName = "";
const char *cgiQueryString = "";
const char *cgiRemoteHost = "";
const char *cgiRemoteAddr = "";
const char *cgiAuthType = "";
const char *cgiRemoteUser = "";
const char *cgiRemoteIdent = "";
const char *cgiServerAddr = "";
const char *cgiContentType = "";
char cgiContentTypeData[1024];
char cgiMultipartBoundary[1024];
int cgiContentLength = 0;
const char *cgiAccept = "";
const char *cgiUserAgent = "";
const char *cgiReferrer = "";
const char *cgiCookie = "";
FILE *cgiIn = nullptr;
FILE *cgiOut = nullptr;

static const char *env(const char *name)
{
    const char *v = getenv(name);
    return v ? v : "";
}

// Cuts the copied content type at every ';' and takes the first
// "boundary=" parameter found after one of them.
static void parse_content_type()
{
    cgiMultipartBoundary[0] = '\0';
    char *p = strchr(cgiContentTypeData, ';');
    while (p) {
        *p++ = '\0';
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
            p++;
        char *next = strchr(p, ';');
        if (!cgiMultipartBoundary[0] && strncasecmp(p, "boundary=", 9) == 0) {
            const char *b = p + 9;
            size_t n = strcspn(b, " \t\r\n;");
            if (n >= sizeof cgiMultipartBoundary)
                n = sizeof cgiMultipartBoundary - 1;
            memcpy(cgiMultipartBoundary, b, n);
            cgiMultipartBoundary[n] = '\0';
        }
        p = next;
    }
}

void cgiInitEnvironment()
{
    cgiServerSoftware = env("SERVER_SOFTWARE");
    cgiServerName = env("SERVER_NAME");
    cgiGatewayInterface = env("GATEWAY_INTERFACE");
    cgiServerProtocol = env("SERVER_PROTOCOL");
    cgiServerPort = env("SERVER_PORT");
    cgiRequestMethod = env("REQUEST_METHOD");
    cgiPathInfo = env("PATH_INFO");
    cgiPathTranslated = env("PATH_TRANSLATED");
    cgiScriptName = env("SCRIPT_NAME");
    cgiQueryString = env("QUERY_STRING");
    cgiRemoteHost = env("REMOTE_HOST");
    cgiRemoteAddr = env("REMOTE_ADDR");
    cgiAuthType = env("AUTH_TYPE");
    cgiRemoteUser = env("REMOTE_USER");
    cgiRemoteIdent = env("REMOTE_IDENT");
    cgiServerAddr = env("HTTP_HOST");
    cgiAccept = env("HTTP_ACCEPT");
    cgiUserAgent = env("HTTP_USER_AGENT");
    cgiReferrer = env("HTTP_REFERER");
    cgiCookie = env("HTTP_COOKIE");
    cgiContentLength = atoi(env("CONTENT_LENGTH"));

    snprintf(cgiContentTypeData, sizeof cgiContentTypeData, "%s", env("CONTENT_TYPE"));
    parse_content_type();
    cgiContentType = cgiContentTypeData;

    cgiFormEntryFirst = nullptr;
    cgiIn = stdin;
    cgiOut = stdout;
}

char *strrpl(char *dst, const char *src, const char *from, const char *to)
{
    size_t flen = strlen(from), tlen = strlen(to);
    char *d = dst;
    while (*src) {
        if (flen && strncmp(src, from, flen) == 0) {
            memcpy(d, to, tlen);
            d += tlen;
            src += flen;
        } else {
            *d++ = *src++;
        }
    }
    *d = '\0';
    return dst;
}

// Copies PATH_INFO into the route-path buffer; false when it is empty.
static bool copy_path(char (&path)[CGI_PATH_SIZE])
{
    snprintf(path, sizeof path, "%s", cgiPathInfo);
    return path[0] != '\0';
}

void cgiDealGet()
{
    char path[CGI_PATH_SIZE];
    if (!copy_path(path))
        return;
    char query[CGI_QUERY_SIZE];
    snprintf(query, sizeof query, "%s", cgiQueryString);
    // "%22" (3 bytes) becomes one byte, so the result never grows.
    char req[CGI_QUERY_SIZE];
    strrpl(req, query, "%22", "\"");
    DispatchWebReq(path, req);
}

void cgiDealPost()
{
    char path[CGI_PATH_SIZE];
    if (!copy_path(path))
        return;
    char *body = static_cast<char *>(calloc(1, CGI_POST_SIZE));
    if (!body)
        return;
    size_t used = 0;
    for (int line = 0; line < CGI_POST_MAX_LINES && used < CGI_POST_SIZE - 1; line++) {
        if (!fgets(body + used, static_cast<int>(CGI_POST_SIZE - used), cgiIn))
            break;
        used += strlen(body + used);
    }
    DispatchWebReq(path, body);
    free(body);
}

int cgi_main(int, char **)
{
    webcgi_register_modules();
    cgiInitEnvironment();

    int rc = 0;
    if (strcasecmp(cgiRequestMethod, "post") == 0) {
        if (strcasecmp(cgiContentType, "application/x-www-form-urlencoded") == 0 ||
            strcasecmp(cgiContentType, "application/json") == 0) {
            cgiDealPost();
        } else if (strcasecmp(cgiContentType, "multipart/form-data") == 0) {
            // The firmware upload's body is taken by the web server, not by us.
            if (strcmp(cgiPathInfo, "/1010") != 0 && cgiParseMultipart() != cgiParseSuccess)
                rc = -1;
            else
                cgiDealUpload();
        }
    } else if (strcasecmp(cgiRequestMethod, "get") == 0) {
        cgiContentLength = static_cast<int>(strlen(cgiQueryString));
        cgiDealGet();
    }

    // On a failed parse the temporaries of the parts already read would
    // otherwise pile up in /tmp (RAM on the recorder); remove them too.
    cgiFreeResources();
    cgi_stop_ipc(); // a handler that left the channel open must not get late replies
    fflush(cgiOut);
    webcgi_unregister_modules();
    return rc;
}
