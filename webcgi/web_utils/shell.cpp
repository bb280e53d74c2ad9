#include "shell.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

int web_system(const char *cmd)
{
    if (!cmd)
        return -1;
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execl("/bin/sh", "sh", "-c", cmd, static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return (WIFEXITED(status) && WEXITSTATUS(status) == 0) ? 0 : -1;
}

int web_systemf(const char *fmt, ...)
{
    char cmd[2048];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(cmd, sizeof cmd, fmt, ap);
    va_end(ap);
    if (n < 0 || static_cast<size_t>(n) >= sizeof cmd)
        return -1;
    return web_system(cmd);
}

int shell_quote(const char *text, char *out, size_t size)
{
    if (!out || size == 0)
        return -1;
    size_t n = 0;
    auto put = [&](const char *s) {
        size_t l = strlen(s);
        if (n + l >= size)
            return false;
        memcpy(out + n, s, l);
        n += l;
        return true;
    };
    bool ok = put("'");
    for (const char *p = text ? text : ""; ok && *p; p++) {
        char c[2] = {*p, 0};
        ok = *p == '\'' ? put("'\\''") : put(c);
    }
    ok = ok && put("'");
    out[ok ? n : 0] = '\0';
    return ok ? 0 : -1;
}

bool shell_safe_word(const char *text)
{
    if (!text || !*text)
        return false;
    for (const char *p = text; *p; p++)
        if (!isalnum(static_cast<unsigned char>(*p)) && !strchr("._-:/@+,=", *p))
            return false;
    return true;
}

int shell_word(const char *text, char *out, size_t size)
{
    if (!out || size == 0)
        return -1;
    if (shell_safe_word(text)) {
        if (strlen(text) >= size) {
            out[0] = '\0';
            return -1;
        }
        memcpy(out, text, strlen(text) + 1);
        return 0;
    }
    return shell_quote(text, out, size);
}
