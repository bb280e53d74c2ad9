#include "response.h"

#include <cstdio>

#include "intake/cgi.h"

int cgi_writeback_webserver(int type, const char *text)
{
    if (!text)
        return -1;
    FILE *out = cgi_out();
    fputs(type == CGI_JSON ? "Content-type: application/json\r\n\r\n" : "Content-type: text/plain\r\n\r\n", out);
    fputs(text, out);
    fflush(out);
    return 0;
}

int cgi_error_to_webserver(int type)
{
    if (type == CGI_JSON)
        return cgi_writeback_webserver(CGI_JSON, "{status:\"CGI ERROR\"}"), 0;
    return cgi_writeback_webserver(CGI_TEXT, "CGI ERROR"), 0;
}
