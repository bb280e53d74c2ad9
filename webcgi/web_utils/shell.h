// The one way a command line reaches the shell. Text from a request goes
// into a command only after shell_quote() or a whitelist check.
#pragma once

#include <cstddef>

// Runs the command with /bin/sh -c and waits. 0 only when the command ran
// and exited with status 0, else -1. The command's standard output goes to
// standard error so that it can never mix into the HTTP answer; a command
// that wants its output redirects it itself.
int web_system(const char *cmd);

// printf-style wrapper around web_system; a command that does not fit its
// buffer is not run (-1).
int web_systemf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Writes text as one single-quoted shell word ('it'\''s'). Returns 0, or -1
// when it does not fit (out is then "").
int shell_quote(const char *text, char *out, size_t size);

// One command-line word for the text: the text itself when it is a safe
// word, else its single-quoted form, so ordinary values keep the command
// line as it always was. -1 when it does not fit (out is then "").
int shell_word(const char *text, char *out, size_t size);

// True when every character is a letter, digit or one of "._-:/@+,=" and the
// text is not empty: safe to place in a command line as it is.
bool shell_safe_word(const char *text);
