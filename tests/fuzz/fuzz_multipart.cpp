// The multipart reader on arbitrary bodies.
#include <cstdint>
#include <cstring>

#include "fuzz_common.h"
#include "intake/cgi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = (fuzz_scratch_root(), true);
    (void)ready;
    // The first line, when there is one, is the boundary.
    const char *nl = static_cast<const char *>(memchr(data, '\n', size < 200 ? size : 200));
    size_t blen = nl ? static_cast<size_t>(nl - reinterpret_cast<const char *>(data)) : 0;
    snprintf(cgiMultipartBoundary, sizeof cgiMultipartBoundary, "%.*s", static_cast<int>(blen),
             reinterpret_cast<const char *>(data));
    if (!cgiMultipartBoundary[0])
        snprintf(cgiMultipartBoundary, sizeof cgiMultipartBoundary, "XyZ");
    const uint8_t *body = nl ? data + blen + 1 : data;
    size_t len = nl ? size - blen - 1 : size;

    cgiIn = fmemopen(const_cast<uint8_t *>(body), len ? len : 1, "rb");
    if (!cgiIn)
        return 0;
    cgiContentLength = static_cast<int>(len);
    cgiParseMultipart();
    char name[128];
    cgiFormFileName("file", name, sizeof name);
    cgiFreeResources();
    fclose(cgiIn);
    cgiIn = nullptr;
    return 0;
}
