// Request intake: the CGI environment, the request body and multipart
// uploads, turned into the one request text a route handler receives.
#pragma once

#include <cstdint>
#include <cstdio>

// Request globals, filled once at start. Never null: an unset variable
// reads as "".
extern const char *cgiServerSoftware;
extern const char *cgiServerName;
extern const char *cgiGatewayInterface;
extern const char *cgiServerProtocol;
extern const char *cgiServerPort;
extern const char *cgiRequestMethod;
extern const char *cgiPathInfo;
extern const char *cgiPathTranslated;
extern const char *cgiScriptName;
extern const char *cgiQueryString;
extern const char *cgiRemoteHost;
extern const char *cgiRemoteAddr;
extern const char *cgiAuthType;
extern const char *cgiRemoteUser;
extern const char *cgiRemoteIdent;
extern const char *cgiServerAddr;
extern const char *cgiContentType;  // points into cgiContentTypeData, cut at ';'
extern char cgiContentTypeData[1024];
extern char cgiMultipartBoundary[1024];
extern int cgiContentLength;
extern const char *cgiAccept;
extern const char *cgiUserAgent;
extern const char *cgiReferrer;
extern const char *cgiCookie;
extern FILE *cgiIn;
extern FILE *cgiOut;

// Where answers go: cgiOut, or standard output before the environment has
// been read (handlers called directly, as tools and tests do).
inline FILE *cgi_out()
{
    return cgiOut ? cgiOut : stdout;
}

// Buffer sizes of the intake, NUL included.
enum {
    CGI_PATH_SIZE = 128,
    CGI_QUERY_SIZE = 256,
    CGI_POST_SIZE = 30720,
    CGI_POST_MAX_LINES = 128,
    CGI_UPLOAD_NAME_SIZE = 128,
    CGI_UPLOAD_PARAM_SIZE = 256,
    CGI_UPLOAD_REQ_SIZE = 1088,
};

// One part of a multipart body, in arrival order.
struct cgiFormEntry {
    char *attr;          // field name
    char *value;         // body of a non-file part ("" for a file part)
    int32_t valueLength; // body bytes (file parts: bytes written to the file)
    char *fileName;      // client file name ("" when the part is no file)
    char *contentType;   // part's Content-Type ("" when absent)
    char *tfileName;     // temporary file holding a file part ("" otherwise)
    cgiFormEntry *next;
};

extern cgiFormEntry *cgiFormEntryFirst;

enum cgiParseResult { cgiParseSuccess = 0, cgiParseMemory = 1, cgiParseIO = 2 };

// cgiFormFileName results.
enum { cgiFormSuccess = 0, cgiFormTruncated = 1, cgiFormNotFound = 4, cgiFormNoFileName = 8 };

// The program: fills the globals, reads the request, dispatches it, cleans
// up. Returns 0, or -1 when a multipart body cannot be parsed.
int cgi_main(int argc, char **argv);

// Fills the request globals from the environment (step 1 and 2 of start-up).
void cgiInitEnvironment();

void cgiDealGet();
void cgiDealPost();
void cgiDealUpload();

// Parses a multipart body from cgiIn into the form-entry list.
cgiParseResult cgiParseMultipart();

// Frees every form entry and removes its temporary file.
void cgiFreeResources();

cgiFormEntry *cgiFormEntryFindFirst(const char *name);
int cgiFormFileName(const char *name, char *result, int resultSpace);

// Copies src to dst replacing every non-overlapping occurrence of from by to.
// dst must be large enough (strlen(src) * max(1, strlen(to)) + 1 is enough).
char *strrpl(char *dst, const char *src, const char *from, const char *to);

// Response header writers.
void cgiHeaderLocation(const char *url);
void cgiHeaderCookieSetString(const char *name, const char *value, int secondsToLive,
                              const char *path, const char *domain);
void cgiHeaderCookieSetInteger(const char *name, int value, int secondsToLive,
                               const char *path, const char *domain);
