// Small JSON helpers for handlers whose request text is a JSON document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <json-c/json.h>

#include "web_utils/codec_util.h"

// Parses the text; nullptr when it is missing or does not parse.
json_object *get_request_tokener_json_object(const char *text);

// Parses the text and reads one member as an integer. 0, or -1.
int on_cgi_get_value_by_json(const char *text, const char *key, int *value);

// 0 and the member's integer / text (cut to size-1), or -1 with the output
// untouched when the member is absent.
int on_cgi_get_int_from_json(json_object *obj, const char *key, int *value);
int on_cgi_get_string_from_json(json_object *obj, const char *key, char *buf, int size);

// A whole-number member: 1 and the value when it is a JSON integer within
// 32 bits or a text holding a whole decimal number ("12"); 0 when absent;
// -1 when present but anything else ("abc", 1.5, null, an array), so that a
// request is refused rather than acted on as 0. The output is untouched
// unless 1 is returned.
int cgi_json_whole_int(json_object *obj, const char *key, int32_t *out);

// The member when it exists and has the given type, else nullptr: the way
// to reach arrays and objects, whose json-c calls assert on other types.
json_object *cgi_json_member(json_object *obj, const char *key, json_type type);

// Adds a member: an integer, or a text read only within its record field
// (the other side may fill a field completely).
void cgi_json_add_int(json_object *obj, const char *key, int32_t value);
template <size_t N>
inline void cgi_json_add_text(json_object *obj, const char *key, const char (&field)[N])
{
    json_object_object_add(obj, key, codec::field_string(field));
}

// Answers a JSON value in json-c's default text form and releases it.
int cgi_writeback_json(json_object *obj);
