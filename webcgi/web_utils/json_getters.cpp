#include "json_getters.h"

#include <cstring>

#include "web_utils/req_parse.h"
#include "web_utils/response.h"

json_object *get_request_tokener_json_object(const char *text)
{
    if (!text)
        return nullptr;
    return json_tokener_parse(text);
}

int on_cgi_get_value_by_json(const char *text, const char *key, int *value)
{
    if (!text || !key || !value)
        return -1;
    json_object *obj = get_request_tokener_json_object(text);
    if (!obj)
        return -1;
    int rc = on_cgi_get_int_from_json(obj, key, value);
    json_object_put(obj);
    return rc;
}

int on_cgi_get_int_from_json(json_object *obj, const char *key, int *value)
{
    json_object *m = nullptr;
    if (!obj || !key || !value || !json_object_is_type(obj, json_type_object) ||
        !json_object_object_get_ex(obj, key, &m))
        return -1;
    *value = json_object_get_int(m);
    return 0;
}

int on_cgi_get_string_from_json(json_object *obj, const char *key, char *buf, int size)
{
    json_object *m = nullptr;
    if (!obj || !key || !buf || size <= 0 || !json_object_is_type(obj, json_type_object) ||
        !json_object_object_get_ex(obj, key, &m))
        return -1;
    const char *s = json_object_get_string(m);
    size_t n = s ? strnlen(s, static_cast<size_t>(size) - 1) : 0;
    memcpy(buf, s ? s : "", n);
    buf[n] = '\0';
    return 0;
}

int cgi_json_whole_int(json_object *obj, const char *key, int32_t *out)
{
    json_object *m = nullptr;
    if (!obj || !key || !out || !json_object_is_type(obj, json_type_object) ||
        !json_object_object_get_ex(obj, key, &m))
        return 0;
    if (json_object_is_type(m, json_type_int)) {
        int64_t v = json_object_get_int64(m);
        if (v < INT32_MIN || v > INT32_MAX)
            return -1;
        *out = static_cast<int32_t>(v);
        return 1;
    }
    if (json_object_is_type(m, json_type_string))
        return cgi_text_to_int(json_object_get_string(m), out) ? 1 : -1;
    return -1;
}

json_object *cgi_json_member(json_object *obj, const char *key, json_type type)
{
    json_object *m = nullptr;
    if (!obj || !key || !json_object_is_type(obj, json_type_object) ||
        !json_object_object_get_ex(obj, key, &m) || !json_object_is_type(m, type))
        return nullptr;
    return m;
}

void cgi_json_add_int(json_object *obj, const char *key, int32_t value)
{
    json_object_object_add(obj, key, json_object_new_int(value));
}

int cgi_writeback_json(json_object *obj)
{
    if (!obj)
        return -1;
    int rc = cgi_writeback_webserver(CGI_JSON, json_object_to_json_string(obj));
    json_object_put(obj);
    return rc;
}
