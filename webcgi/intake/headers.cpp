// Response header lines used by the e-mail-link login.
#include <ctime>

#include "cgi.h"

void cgiHeaderLocation(const char *url)
{
    fprintf(cgi_out(), "Location: %s\r\n\r\n", url ? url : "");
}

void cgiHeaderCookieSetString(const char *name, const char *value, int secondsToLive,
                              const char *path, const char *domain)
{
    static const char *const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    time_t when = time(nullptr) + secondsToLive;
    struct tm gt;
    gmtime_r(&when, &gt);
    fprintf(cgi_out(),
            "Set-Cookie: %s=%s; domain=%s; expires=%s, %02d-%s-%04d %02d:%02d:%02d GMT; path=%s\r\n",
            name, value, domain, days[gt.tm_wday], gt.tm_mday, months[gt.tm_mon],
            gt.tm_year + 1900, gt.tm_hour, gt.tm_min, gt.tm_sec, path);
}

void cgiHeaderCookieSetInteger(const char *name, int value, int secondsToLive,
                               const char *path, const char *domain)
{
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    cgiHeaderCookieSetString(name, text, secondsToLive, path, domain);
}
