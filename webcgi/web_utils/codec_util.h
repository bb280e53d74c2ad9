// Small json-c helpers of the codecs. json-c's array calls assert on any
// other type, so every member is checked before it is treated as an array.
#pragma once

#include <cstddef>
#include <cstring>

#include <json-c/json.h>

namespace codec {

// The member of an object, nullptr when absent, null, or not an object.
inline json_object *member(json_object *obj, const char *name)
{
    json_object *v = nullptr;
    if (!obj || !name || !json_object_object_get_ex(obj, name, &v))
        return nullptr;
    return v;
}

inline bool is_array(json_object *v)
{
    return v && json_object_is_type(v, json_type_array);
}

inline bool is_object(json_object *v)
{
    return v && json_object_is_type(v, json_type_object);
}

// The array's length, at most `cap`; the value must be an array.
inline size_t bounded_length(json_object *array, size_t cap)
{
    size_t n = json_object_array_length(array);
    return n < cap ? n : cap;
}

// A JSON string of a record text field, never read past the field.
template <size_t N>
inline json_object *field_string(const char (&field)[N])
{
    return json_object_new_string_len(field, static_cast<int>(strnlen(field, N)));
}

// An integer member of an object (0 when absent, as json-c converts).
inline int member_int(json_object *obj, const char *name)
{
    return json_object_get_int(member(obj, name));
}

} // namespace codec
