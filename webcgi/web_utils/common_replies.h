// Reply functions shared by several modules.
#pragma once

// {"status": first 32-bit word} as JSON; nothing for an empty reply.
void on_cgi_common_json_cb(int count, const void *payload);

// "CGI OK status:[%d]" or "CGI ERROR status:[%d]", with ", data:[%s]"
// when data is given, as text.
void on_cgi_common_text_cb(int unused, int status, const char *data);
