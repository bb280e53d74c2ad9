// Reading numbers and fields out of request texts.
#pragma once

#include <cstddef>
#include <cstdint>

// A whole decimal number (optional sign, surrounding blanks and line ends
// allowed) that fits in 32 bits. False for "", "abc", "12x", "1e3", overflow.
bool cgi_text_to_int(const char *text, int32_t *out);

// Same, and within lo..hi.
bool cgi_text_to_int_in(const char *text, int32_t lo, int32_t hi, int32_t *out);

// The value of key in a "k1=v1&k2=v2" text, cut to size-1. False when the
// key is absent (buf is then "").
bool cgi_form_value(const char *text, const char *key, char *buf, size_t size);
