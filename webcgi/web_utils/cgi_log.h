// Developer log: lines appended to /mnt/nand/cgi_log.txt.
#pragma once

int cgi_log(const char *file, int line, const char *func, const char *fmt, ...)
    __attribute__((format(printf, 4, 5)));

// Logs with this source file's base name and line.
#define CGI_LOG(...) cgi_log(__FILE_NAME__, __LINE__, "", __VA_ARGS__)
