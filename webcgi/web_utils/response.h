// Response writers: one complete answer (header, blank line, body).
#pragma once

enum { CGI_TEXT = 0, CGI_JSON = 1 };

// Writes the header of the content type (0 text, 1 JSON) and the text.
// -1 and nothing written when the text is missing.
int cgi_writeback_webserver(int type, const char *text);

// "CGI ERROR" as text, or {status:"CGI ERROR"} as JSON.
int cgi_error_to_webserver(int type);
