#include "cgi_log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "nvr_root.h"

enum { LOG_LINE_MAX = 2048 };

// Long messages are meant to be cut to the line limit.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wformat-truncation"
#endif

int cgi_log(const char *file, int line, const char *func, const char *fmt, ...)
{
    char msg[LOG_LINE_MAX];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(msg, sizeof msg, fmt, ap);
    va_end(ap);

    time_t now = time(nullptr);
    struct tm lt;
    localtime_r(&now, &lt);
    char text[LOG_LINE_MAX];
    snprintf(text, sizeof text, "[tolm debug] %4d-%02d-%02d %02d:%02d:%02d  %s:%d in %s: %s\n",
             lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec,
             file ? file : "", line, func ? func : "", msg);

    FILE *f = fopen(nvr_path("/mnt/nand/cgi_log.txt").c_str(), "a");
    if (!f)
        return -1;
    fputs(text, f);
    fflush(f);
    fclose(f);
    return 0;
}
