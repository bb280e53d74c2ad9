// Named parameters: one row per key in the table params; the value keeps
// the type it was written with and is converted on reading.
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "outside/qxdb.h"
#include "outside/qxdb_internal.h"

using qxdb::detail::open_store;
using qxdb::detail::Txn;

namespace {

bool valid_key(const char *key)
{
    return key && *key && strnlen(key, 256) < 256;
}

// Prepares "SELECT value, typeof(value) ..." for the key; nullptr on failure.
sqlite3_stmt *select_param(sqlite3 *db, const char *key)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT value FROM params WHERE name = ?", -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return nullptr;
    }
    sqlite3_bind_text(st, 1, key, -1, SQLITE_TRANSIENT);
    return st;
}

// INSERT (OR REPLACE / OR IGNORE) of one value in its own transaction;
// returns the number of rows changed, or -1.
int store_param(const char *path, const char *verb, const char *key, const char *text, int32_t value)
{
    if (!path || !valid_key(key))
        return -1;
    sqlite3 *db = open_store(path);
    if (!db)
        return -1;
    char sql[96];
    snprintf(sql, sizeof sql, "%s INTO params (name, value) VALUES (?, ?)", verb);
    Txn txn(db);
    sqlite3_stmt *st = nullptr;
    if (!txn.ok() || sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return -1;
    }
    sqlite3_bind_text(st, 1, key, -1, SQLITE_TRANSIENT);
    if (text)
        sqlite3_bind_text(st, 2, text, -1, SQLITE_TRANSIENT);
    else
        sqlite3_bind_int(st, 2, value);
    bool ok = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    int changed = ok ? sqlite3_changes(db) : -1;
    return ok && txn.commit() ? changed : -1;
}

// A text read as an integer: leading blanks, a sign and digits; anything
// else (or a number out of range) gives the default.
int32_t text_to_int(const char *text, int32_t def)
{
    if (!text)
        return def;
    errno = 0;
    char *end = nullptr;
    long long v = strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
        return def;
    return static_cast<int32_t>(v);
}

void copy_cut(char *buf, int32_t size, const char *text)
{
    size_t n = text ? strnlen(text, static_cast<size_t>(size) - 1) : 0;
    if (n)
        memcpy(buf, text, n);
    buf[n] = '\0';
}

} // namespace

int32_t get_param_int(const char *path, const char *key, int32_t def)
{
    if (!path || !valid_key(key))
        return def;
    sqlite3 *db = open_store(path);
    sqlite3_stmt *st = db ? select_param(db, key) : nullptr;
    if (!st)
        return def;
    int32_t v = def;
    if (sqlite3_step(st) == SQLITE_ROW) {
        switch (sqlite3_column_type(st, 0)) {
        case SQLITE_INTEGER: {
            sqlite3_int64 i = sqlite3_column_int64(st, 0);
            v = i < INT32_MIN || i > INT32_MAX ? def : static_cast<int32_t>(i);
            break;
        }
        case SQLITE_NULL:
            break;
        default:
            v = text_to_int(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), def);
            break;
        }
    }
    sqlite3_finalize(st);
    return v;
}

int32_t set_param_int(const char *path, const char *key, int32_t value)
{
    return store_param(path, "INSERT OR REPLACE", key, nullptr, value) < 0 ? -1 : 0;
}

int32_t get_param_value(const char *path, const char *key, char *buf, int32_t size, const char *def)
{
    if (!buf || size <= 0)
        return -1;
    copy_cut(buf, size, def);
    if (!path || !valid_key(key))
        return -1;
    sqlite3 *db = open_store(path);
    sqlite3_stmt *st = db ? select_param(db, key) : nullptr;
    if (!st)
        return -1;
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
        copy_cut(buf, size, reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return 0;
}

int32_t set_param_value(const char *path, const char *key, const char *value)
{
    if (!value)
        return -1;
    return store_param(path, "INSERT OR REPLACE", key, value, 0) < 0 ? -1 : 0;
}

int32_t check_param_key(const char *path, const char *key)
{
    if (!path || !valid_key(key))
        return 1;
    sqlite3 *db = open_store(path);
    sqlite3_stmt *st = db ? select_param(db, key) : nullptr;
    if (!st)
        return 1;
    int32_t missing = sqlite3_step(st) == SQLITE_ROW ? 0 : 1;
    sqlite3_finalize(st);
    return missing;
}

int32_t add_param_value(const char *path, const char *key, const char *value)
{
    if (!value)
        return -1;
    return store_param(path, "INSERT OR IGNORE", key, value, 0) == 1 ? 0 : -1;
}

int32_t copy_table_column_int(const char *path, const char *table, const char *column, int32_t value,
                              uint64_t mask, const char *key_column)
{
    return qxdb::set_column_int(path, table, column, value, mask, key_column);
}
