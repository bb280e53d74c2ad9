#include "req_parse.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

bool cgi_text_to_int(const char *text, int32_t *out)
{
    if (!text || !out)
        return false;
    while (isspace(static_cast<unsigned char>(*text)))
        text++;
    const char *digits = text + (*text == '-' || *text == '+');
    if (!isdigit(static_cast<unsigned char>(*digits)))
        return false;
    char *end = nullptr;
    errno = 0;
    long long v = strtoll(text, &end, 10);
    while (isspace(static_cast<unsigned char>(*end)))
        end++;
    if (errno || *end || v < INT32_MIN || v > INT32_MAX)
        return false;
    *out = static_cast<int32_t>(v);
    return true;
}

bool cgi_text_to_int_in(const char *text, int32_t lo, int32_t hi, int32_t *out)
{
    int32_t v;
    if (!cgi_text_to_int(text, &v) || v < lo || v > hi)
        return false;
    if (out)
        *out = v;
    return true;
}

bool cgi_form_value(const char *text, const char *key, char *buf, size_t size)
{
    if (buf && size)
        buf[0] = '\0';
    if (!text || !key || !*key)
        return false;
    size_t klen = strlen(key);
    for (const char *p = text; p && *p;) {
        const char *amp = strchr(p, '&');
        size_t len = amp ? static_cast<size_t>(amp - p) : strlen(p);
        if (len > klen && strncmp(p, key, klen) == 0 && p[klen] == '=') {
            if (buf && size) {
                size_t n = len - klen - 1;
                if (n >= size)
                    n = size - 1;
                memcpy(buf, p + klen + 1, n);
                buf[n] = '\0';
            }
            return true;
        }
        p = amp ? amp + 1 : nullptr;
    }
    return false;
}
