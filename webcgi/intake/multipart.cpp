// Streaming multipart/form-data reader. Reads at most CONTENT_LENGTH bytes
// from standard input, keeps small parts in memory and writes file parts to
// mkstemp temporaries under /tmp.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cgi.h"
#include "nvr_root.h"

cgiFormEntry *cgiFormEntryFirst = nullptr;

namespace {

enum { TEXT_MAX = 1024, RING_SIZE = 1024, VALUE_START = 256 };

// Input limited to the content length, with a put-back ring served first.
struct Reader {
    long remaining;
    unsigned char ring[RING_SIZE];
    int start = 0; // index of the next byte to serve
    int count = 0; // bytes waiting in the ring

    int get()
    {
        if (count > 0) {
            int c = ring[start];
            start = (start + 1) % RING_SIZE;
            count--;
            return c;
        }
        if (remaining <= 0)
            return EOF;
        int c = getc(cgiIn);
        if (c == EOF)
            remaining = 0;
        else
            remaining--;
        return c;
    }

    // Reads up to n bytes; returns how many arrived.
    int read(unsigned char *buf, int n)
    {
        int got = 0;
        while (got < n) {
            int c = get();
            if (c == EOF)
                break;
            buf[got++] = static_cast<unsigned char>(c);
        }
        return got;
    }

    // Puts bytes back so that the next reads return them in order.
    bool unget(const unsigned char *buf, int n)
    {
        if (n > RING_SIZE - count)
            return false;
        for (int i = n - 1; i >= 0; i--) {
            start = (start + RING_SIZE - 1) % RING_SIZE;
            ring[start] = buf[i];
            count++;
        }
        return true;
    }
};

// Where the body of the current part goes.
struct Sink {
    FILE *file = nullptr;
    char *buf = nullptr;
    size_t len = 0, cap = 0;
    bool discard = false;

    bool put(unsigned char c)
    {
        if (discard)
            return true;
        if (file) {
            if (putc(c, file) == EOF)
                return false;
            len++;
            return true;
        }
        if (len + 1 >= cap) {
            size_t ncap = cap ? cap * 2 : size_t{VALUE_START};
            char *n = static_cast<char *>(realloc(buf, ncap));
            if (!n)
                return false;
            buf = n;
            cap = ncap;
        }
        buf[len++] = static_cast<char>(c);
        return true;
    }
};

enum Scan { FOUND, END_OF_INPUT, SINK_FAILED, RING_FULL };

// Reads up to and including the pattern; bytes before it go to the sink.
// A partial match that fails is passed on as data from its first byte and
// the rest is examined again.
Scan scan_to(Reader &r, const unsigned char *pat, int plen, Sink &sink)
{
    int matched = 0;
    for (;;) {
        int c = r.get();
        if (c == EOF)
            return END_OF_INPUT;
        if (c == pat[matched]) {
            if (++matched == plen)
                return FOUND;
            continue;
        }
        if (matched == 0) {
            if (!sink.put(static_cast<unsigned char>(c)))
                return SINK_FAILED;
            continue;
        }
        if (!sink.put(pat[0]))
            return SINK_FAILED;
        unsigned char back = static_cast<unsigned char>(c);
        if (!r.unget(&back, 1) || !r.unget(pat + 1, matched - 1))
            return RING_FULL;
        matched = 0;
    }
}

// After a boundary: CR LF starts the next part; "-" is put back so that the
// part loop sees the closing "--". Returns false at end of input.
bool after_boundary(Reader &r)
{
    unsigned char d[2];
    if (r.read(d, 2) != 2)
        return false;
    if (d[0] == '-')
        r.unget(d, 2);
    return true;
}

// Reads one header line, ending at LF, CR LF or a lone CR.
void read_line(Reader &r, char *line, size_t size)
{
    size_t n = 0;
    for (;;) {
        int c = r.get();
        if (c == EOF || c == '\n')
            break;
        if (c == '\r') {
            int d = r.get();
            if (d != '\n' && d != EOF) {
                unsigned char b = static_cast<unsigned char>(d);
                r.unget(&b, 1);
            }
            break;
        }
        if (n + 1 < size)
            line[n++] = static_cast<char>(c);
    }
    line[n] = '\0';
}

// Splits "Name: value": the name without white space, the value without
// leading white space. False when the line has no name or no value.
bool split_header(const char *line, char *name, char *value)
{
    const char *colon = strchr(line, ':');
    if (!colon)
        return false;
    size_t n = 0;
    for (const char *p = line; p < colon; p++)
        if (!isspace(static_cast<unsigned char>(*p)))
            name[n++] = *p;
    name[n] = '\0';
    const char *v = colon + 1;
    while (isspace(static_cast<unsigned char>(*v)))
        v++;
    snprintf(value, TEXT_MAX, "%s", v);
    return name[0] && value[0];
}

// Reads a quoted or plain token up to ';' into out (cut to TEXT_MAX - 1).
const char *read_token(const char *p, char *out)
{
    size_t n = 0;
    if (*p == '"') {
        p++;
        while (*p && *p != '"') {
            if (n + 1 < TEXT_MAX)
                out[n++] = *p;
            p++;
        }
        if (*p == '"')
            p++;
        while (*p && *p != ';')
            p++;
    } else {
        while (*p && *p != ';') {
            if (n + 1 < TEXT_MAX)
                out[n++] = *p;
            p++;
        }
        while (n && isspace(static_cast<unsigned char>(out[n - 1])))
            n--;
    }
    out[n] = '\0';
    return p;
}

struct PartHeaders {
    char disposition[TEXT_MAX];
    char name[TEXT_MAX];
    char fileName[TEXT_MAX];
    char contentType[TEXT_MAX];
};

void parse_disposition(const char *value, PartHeaders &h)
{
    const char *p = read_token(value, h.disposition);
    while (*p == ';') {
        p++;
        while (isspace(static_cast<unsigned char>(*p)))
            p++;
        char attr[TEXT_MAX];
        size_t n = 0;
        while (isalnum(static_cast<unsigned char>(*p))) {
            if (n + 1 < sizeof attr)
                attr[n++] = *p;
            p++;
        }
        attr[n] = '\0';
        while (isspace(static_cast<unsigned char>(*p)))
            p++;
        char val[TEXT_MAX] = "";
        if (*p == '=') {
            p++;
            while (isspace(static_cast<unsigned char>(*p)))
                p++;
            p = read_token(p, val);
        } else {
            while (*p && *p != ';')
                p++;
        }
        if (strcasecmp(attr, "name") == 0)
            memcpy(h.name, val, sizeof val);
        else if (strcasecmp(attr, "filename") == 0)
            memcpy(h.fileName, val, sizeof val);
    }
}

void read_headers(Reader &r, PartHeaders &h)
{
    memset(&h, 0, sizeof h);
    char line[TEXT_MAX], name[TEXT_MAX], value[TEXT_MAX];
    for (;;) {
        read_line(r, line, sizeof line);
        if (!split_header(line, name, value))
            return;
        if (strcasecmp(name, "Content-Disposition") == 0)
            parse_disposition(value, h);
        else if (strcasecmp(name, "Content-Type") == 0)
            read_token(value, h.contentType);
    }
}

bool append_entry(const PartHeaders &h, Sink &sink, const char *tfile)
{
    cgiFormEntry *e = static_cast<cgiFormEntry *>(calloc(1, sizeof *e));
    if (!e)
        return false;
    e->attr = strdup(h.name);
    e->fileName = strdup(h.fileName);
    e->contentType = strdup(h.contentType);
    e->tfileName = strdup(tfile);
    e->valueLength = static_cast<int32_t>(sink.len);
    if (sink.file) {
        e->value = strdup("");
    } else {
        // Trim the growing buffer to the value and its terminator.
        char *v = static_cast<char *>(realloc(sink.buf, sink.len + 1));
        if (v) {
            v[sink.len] = '\0';
            sink.buf = nullptr;
        }
        e->value = v;
    }
    if (!e->attr || !e->fileName || !e->contentType || !e->tfileName || !e->value) {
        free(e->attr), free(e->fileName), free(e->contentType), free(e->tfileName), free(e->value);
        free(e);
        return false;
    }
    cgiFormEntry **tail = &cgiFormEntryFirst;
    while (*tail)
        tail = &(*tail)->next;
    *tail = e;
    return true;
}

// Reads one part's body into a temporary file or memory and appends its entry.
cgiParseResult read_part(Reader &r, const PartHeaders &h, const unsigned char *pat, int plen)
{
    Sink sink;
    char tfile[1024] = "";
    sink.discard = strcasecmp(h.disposition, "form-data") != 0;
    if (!sink.discard && h.fileName[0]) {
        nvr_path(tfile, sizeof tfile, "/tmp/cgicXXXXXX");
        int fd = mkstemp(tfile);
        if (fd < 0)
            return cgiParseIO;
        if (fchmod(fd, 0600) != 0 || !(sink.file = fdopen(fd, "wb"))) {
            close(fd);
            unlink(tfile);
            return cgiParseIO;
        }
    }

    Scan s = scan_to(r, pat, plen, sink);
    cgiParseResult rc = cgiParseSuccess;
    if (s == SINK_FAILED)
        rc = sink.file ? cgiParseIO : cgiParseMemory;
    else if (s != FOUND || !after_boundary(r))
        rc = cgiParseIO;
    if (sink.file && fclose(sink.file) != 0 && rc == cgiParseSuccess)
        rc = cgiParseIO;
    sink.file = nullptr;

    if (rc == cgiParseSuccess && !sink.discard && !append_entry(h, sink, tfile))
        rc = cgiParseMemory;
    if (rc != cgiParseSuccess && tfile[0])
        unlink(tfile);
    free(sink.buf);
    return rc;
}

} // namespace

cgiParseResult cgiParseMultipart()
{
    if (cgiContentLength <= 0 || !cgiMultipartBoundary[0])
        return cgiParseSuccess;

    // The ring must be able to hold a partial boundary match.
    size_t blen = strlen(cgiMultipartBoundary);
    if (blen + 4 > RING_SIZE)
        return cgiParseIO;

    Reader r;
    r.remaining = cgiContentLength;

    unsigned char pat[RING_SIZE + 4];
    int plen = snprintf(reinterpret_cast<char *>(pat), sizeof pat, "\r\n--%s", cgiMultipartBoundary);

    // Skip everything up to the first boundary; no boundary is an empty form.
    Sink skip;
    skip.discard = true;
    Scan s = scan_to(r, pat + 2, plen - 2, skip);
    if (s == RING_FULL)
        return cgiParseIO;
    if (s != FOUND || !after_boundary(r))
        return cgiParseSuccess;

    for (;;) {
        unsigned char d[2];
        int n = r.read(d, 2);
        if (n < 2 || (d[0] == '-' && d[1] == '-'))
            return cgiParseSuccess;
        r.unget(d, 2);

        PartHeaders h;
        read_headers(r, h);
        cgiParseResult rc = read_part(r, h, pat, plen);
        if (rc != cgiParseSuccess)
            return rc;
    }
}

cgiFormEntry *cgiFormEntryFindFirst(const char *name)
{
    for (cgiFormEntry *e = cgiFormEntryFirst; e; e = e->next)
        if (strcmp(e->attr, name) == 0)
            return e;
    return nullptr;
}

int cgiFormFileName(const char *name, char *result, int resultSpace)
{
    cgiFormEntry *e = cgiFormEntryFindFirst(name);
    if (!e) {
        if (result && resultSpace > 0)
            result[0] = '\0';
        return cgiFormNotFound;
    }
    size_t len = strlen(e->fileName);
    if (result && resultSpace > 0)
        snprintf(result, static_cast<size_t>(resultSpace), "%s", e->fileName);
    if (len == 0)
        return cgiFormNoFileName;
    if (resultSpace <= 0 || len >= static_cast<size_t>(resultSpace))
        return cgiFormTruncated;
    return cgiFormSuccess;
}

void cgiFreeResources()
{
    cgiFormEntry *e = cgiFormEntryFirst;
    while (e) {
        cgiFormEntry *next = e->next;
        if (e->tfileName && e->tfileName[0])
            unlink(e->tfileName);
        free(e->attr);
        free(e->value);
        free(e->fileName);
        free(e->contentType);
        free(e->tfileName);
        free(e);
        e = next;
    }
    cgiFormEntryFirst = nullptr;
}
