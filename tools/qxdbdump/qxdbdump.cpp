// qxdbdump: prints the records of a config store file.
//
//   qxdbdump DBFILE                  the tables, their record types and row counts
//   qxdbdump [--hex] DBFILE KIND [KEY]
//                                    the records of one table (or one key) as
//                                    JSON, named members where the record type
//                                    has them, else the bytes in hex;
//                                    KIND "params" prints the named parameters
//
// The file is opened read-only and used as given (no NVR_ROOT prefix).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <json-c/json.h>
#include <sqlite3.h>

#include "outside/qxdb_internal.h"
#include "outside/qxdb_store.h"

namespace {

int usage()
{
    fprintf(stderr, "usage: qxdbdump DBFILE\n"
                    "       qxdbdump [--hex] DBFILE KIND [KEY]\n");
    return 2;
}

std::string hex(const unsigned char *p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; i++) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

void hexdump(const unsigned char *p, size_t n)
{
    for (size_t off = 0; off < n; off += 16) {
        printf("  %06zx ", off);
        for (size_t i = off; i < off + 16; i++) {
            if (i < n)
                printf(" %02x", p[i]);
            else
                printf("   ");
        }
        printf("  |");
        for (size_t i = off; i < off + 16 && i < n; i++)
            putchar(p[i] >= 32 && p[i] < 127 ? p[i] : '.');
        printf("|\n");
    }
}

// A schedule as its days, each with its words and the segments in use
// ([slot, start, end, action]); the whole record in hex would be 52 KB.
json_object *schedule_json(json_object *o, const unsigned char *blob, size_t n)
{
    static ScheduleRecord s;
    memset(&s, 0, sizeof s);
    memcpy(&s, blob, n < sizeof s ? n : sizeof s);
    json_object *days = json_object_new_array();
    for (const ScheduleDay &day : s.day) {
        json_object *d = json_object_new_object();
        json_object_object_add(d, "valid", json_object_new_int(day.valid));
        json_object_object_add(d, "action", json_object_new_int(day.action));
        json_object *segs = json_object_new_array();
        for (int i = 0; i < SCHEDULE_SEGMENTS; i++) {
            const ScheduleSegment &g = day.seg[i];
            if (!g.start_time[0] && !g.end_time[0] && !g.action_type)
                continue;
            json_object *e = json_object_new_array();
            json_object_array_add(e, json_object_new_int(i));
            json_object_array_add(e, json_object_new_string_len(g.start_time, static_cast<int>(field_len(g.start_time))));
            json_object_array_add(e, json_object_new_string_len(g.end_time, static_cast<int>(field_len(g.end_time))));
            json_object_array_add(e, json_object_new_int(g.action_type));
            json_object_array_add(segs, e);
        }
        json_object_object_add(d, "segments", segs);
        json_object_array_add(days, d);
    }
    json_object_object_add(o, "days", days);
    return o;
}

json_object *record_json(const qxdb::Kind *k, int64_t key, const unsigned char *blob, size_t n)
{
    json_object *o = json_object_new_object();
    json_object_object_add(o, "key", json_object_new_int64(key));
    json_object_object_add(o, "size", json_object_new_int64(static_cast<int64_t>(n)));
    if (k && strcmp(k->record, "ScheduleRecord") == 0)
        return schedule_json(o, blob, n);
    if (!k || !k->field_count) {
        json_object_object_add(o, "hex", json_object_new_string(hex(blob, n).c_str()));
        return o;
    }
    // Read as the store does: as far as the stored bytes go, the rest zero.
    std::vector<unsigned char> rec(k->size, 0);
    memcpy(rec.data(), blob, n < k->size ? n : k->size);
    for (uint32_t i = 0; i < k->field_count; i++) {
        const qxdb::Field &f = k->fields[i];
        const unsigned char *p = rec.data() + f.offset;
        if (f.type == qxdb::FIELD_TEXT) {
            const char *t = reinterpret_cast<const char *>(p);
            json_object_object_add(o, f.name, json_object_new_string_len(t, static_cast<int>(strnlen(t, f.size))));
        } else if (f.type == qxdb::FIELD_U32) {
            uint32_t v;
            memcpy(&v, p, sizeof v);
            json_object_object_add(o, f.name, json_object_new_int64(v));
        } else {
            int32_t v;
            memcpy(&v, p, sizeof v);
            json_object_object_add(o, f.name, json_object_new_int(v));
        }
    }
    return o;
}

int list_tables(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name, record, size, key_min, key_max FROM qxdb_kinds ORDER BY name", -1, &st,
                           nullptr) != SQLITE_OK) {
        fprintf(stderr, "qxdbdump: not a config store: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    printf("%-40s %-24s %6s %11s %6s\n", "KIND", "RECORD", "SIZE", "KEYS", "ROWS");
    while (sqlite3_step(st) == SQLITE_ROW) {
        const char *name = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
        std::string sql = std::string("SELECT count(*) FROM \"") + name + "\"";
        sqlite3_stmt *cnt = nullptr;
        long long rows = -1;
        if (qxdb::valid_table_name(name) && sqlite3_prepare_v2(db, sql.c_str(), -1, &cnt, nullptr) == SQLITE_OK &&
            sqlite3_step(cnt) == SQLITE_ROW)
            rows = sqlite3_column_int64(cnt, 0);
        sqlite3_finalize(cnt);
        char keys[32];
        snprintf(keys, sizeof keys, "%d-%d", sqlite3_column_int(st, 3), sqlite3_column_int(st, 4));
        printf("%-40s %-24s %6d %11s %6lld\n", name, sqlite3_column_text(st, 1), sqlite3_column_int(st, 2), keys,
               rows);
    }
    sqlite3_finalize(st);
    return 0;
}

int dump_params(sqlite3 *db, const char *key)
{
    sqlite3_stmt *st = nullptr;
    const char *sql = key ? "SELECT name, value FROM params WHERE name = ?" : "SELECT name, value FROM params ORDER BY name";
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        fprintf(stderr, "qxdbdump: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    if (key)
        sqlite3_bind_text(st, 1, key, -1, SQLITE_STATIC);
    json_object *o = json_object_new_object();
    while (sqlite3_step(st) == SQLITE_ROW) {
        const char *name = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
        json_object *v = sqlite3_column_type(st, 1) == SQLITE_INTEGER
                             ? json_object_new_int64(sqlite3_column_int64(st, 1))
                             : json_object_new_string(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        json_object_object_add(o, name, v);
    }
    sqlite3_finalize(st);
    printf("%s\n", json_object_to_json_string_ext(o, JSON_C_TO_STRING_PRETTY));
    json_object_put(o);
    return 0;
}

int dump_kind(sqlite3 *db, const char *table, const char *key, bool as_hex)
{
    if (strcmp(table, "params") == 0)
        return dump_params(db, key);
    if (!qxdb::valid_table_name(table)) {
        fprintf(stderr, "qxdbdump: bad kind name: %s\n", table);
        return 2;
    }
    const qxdb::Kind *k = qxdb::detail::kind_of_table(db, table);
    std::string sql = std::string("SELECT key, data FROM \"") + table + "\"" + (key ? " WHERE key = ?" : "") +
                      " ORDER BY key";
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        fprintf(stderr, "qxdbdump: no such kind in this file: %s\n", table);
        return 1;
    }
    if (key)
        sqlite3_bind_int64(st, 1, strtoll(key, nullptr, 10));
    json_object *arr = json_object_new_array();
    while (sqlite3_step(st) == SQLITE_ROW) {
        int64_t row_key = sqlite3_column_int64(st, 0);
        const unsigned char *blob = static_cast<const unsigned char *>(sqlite3_column_blob(st, 1));
        size_t n = static_cast<size_t>(sqlite3_column_bytes(st, 1));
        if (as_hex) {
            printf("%s key %lld: %zu bytes%s%s\n", table, static_cast<long long>(row_key), n, k ? ", " : "",
                   k ? k->record : "");
            hexdump(blob, n);
        } else {
            json_object_array_add(arr, record_json(k, row_key, blob, n));
        }
    }
    sqlite3_finalize(st);
    if (!as_hex)
        printf("%s\n", json_object_to_json_string_ext(arr, JSON_C_TO_STRING_PRETTY));
    json_object_put(arr);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    int i = 1;
    bool as_hex = false;
    if (i < argc && strcmp(argv[i], "--hex") == 0) {
        as_hex = true;
        i++;
    }
    if (argc - i < 1 || argc - i > 3)
        return usage();
    const char *file = argv[i];
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file, &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        fprintf(stderr, "qxdbdump: cannot open %s: %s\n", file, db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return 1;
    }
    sqlite3_busy_timeout(db, 5000);
    int rc = argc - i == 1 ? list_tables(db) : dump_kind(db, argv[i + 1], argc - i == 3 ? argv[i + 2] : nullptr, as_hex);
    sqlite3_close(db);
    return rc;
}
