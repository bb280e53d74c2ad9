// Records that cross the daemon socket or the config store are plain
// structs of fixed-width types, laid out little-endian as on the recorder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "records are exchanged in little-endian byte order");

#define RECORD_SIZE(type, size) static_assert(sizeof(type) == (size), #type " must be " #size " bytes")
#define RECORD_OFFSET(type, field, off) \
    static_assert(offsetof(type, field) == (off), #type "." #field " must be at " #off)

// Copies a text into a record field: cut to the field less one, NUL-terminated.
template <size_t N>
inline void copy_text(char (&field)[N], const char *text)
{
    size_t n = text ? strnlen(text, N - 1) : 0;
    memcpy(field, text ? text : "", n);
    field[n] = '\0';
}

// Length of a text read from a record: never past the field's end.
template <size_t N>
inline size_t field_len(const char (&field)[N])
{
    return strnlen(field, N);
}
