// Named store calls for user accounts: slot allocation, lookup by name,
// counting, and the preset user list of a customised build.
#include <cstdio>
#include <cstring>

#include <sqlite3.h>

#include "outside/qxdb.h"
#include "outside/qxdb_internal.h"
#include "outside/qxdb_store.h"

namespace {

int32_t status(int rc)
{
    return rc < 0 ? -1 : 0;
}

// Walks the stored accounts in slot order inside an open connection; `fn`
// gets each record (key member set to its slot) and returns true to stop.
// 0, or -1 when the table cannot be read.
template <typename Fn>
int for_each_user(sqlite3 *db, Fn fn)
{
    const qxdb::Kind &k = qxdb::kUser.kind;
    char sql[160];
    snprintf(sql, sizeof sql, "SELECT key, data FROM \"%s\" WHERE key BETWEEN %d AND %d ORDER BY key", k.table,
             static_cast<int>(k.key_min), static_cast<int>(k.key_max));
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return -1;
    }
    UserRecord rec;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        memset(&rec, 0, sizeof rec);
        const void *blob = sqlite3_column_blob(st, 1);
        int n = sqlite3_column_bytes(st, 1);
        if (blob && n > 0)
            memcpy(&rec, blob, static_cast<size_t>(n) < sizeof rec ? static_cast<size_t>(n) : sizeof rec);
        rec.id = sqlite3_column_int(st, 0);
        if (fn(rec)) {
            rc = SQLITE_DONE;
            break;
        }
    }
    sqlite3_finalize(st);
    return rc == SQLITE_DONE ? 0 : -1;
}

bool insert_user(sqlite3 *db, const UserRecord *user)
{
    char sql[160];
    snprintf(sql, sizeof sql, "INSERT OR REPLACE INTO \"%s\" (key, data) VALUES (?, ?)", qxdb::kUser.kind.table);
    sqlite3_stmt *st = nullptr;
    bool ok = sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_bind_int(st, 1, user->id);
        sqlite3_bind_blob(st, 2, user, static_cast<int>(sizeof *user), SQLITE_STATIC);
        ok = sqlite3_step(st) == SQLITE_DONE;
    }
    sqlite3_finalize(st);
    return ok;
}

} // namespace

int32_t add_user(const char *path, UserRecord *user)
{
    if (!path || !user)
        return -1;
    sqlite3 *db = qxdb::detail::open_store(path);
    if (!db)
        return -1;
    // Finding the free slot and taking it is one transaction, so two
    // requests adding at once never get the same slot.
    qxdb::detail::Txn txn(db);
    if (!txn.ok())
        return -1;
    bool used[QXDB_MAX_USERS] = {};
    int rc = for_each_user(db, [&used](const UserRecord &r) {
        if (r.id >= 0 && r.id < QXDB_MAX_USERS && r.enable != 0)
            used[r.id] = true;
        return false;
    });
    if (rc < 0)
        return -1;
    int32_t slot = -1;
    for (int32_t i = 0; i < QXDB_MAX_USERS; i++) {
        if (!used[i]) {
            slot = i;
            break;
        }
    }
    if (slot < 0)
        return -1;
    user->id = slot;
    return insert_user(db, user) && txn.commit() ? 0 : -1;
}

int32_t read_user_by_name_n(const char *path, const char *name, int32_t n, UserRecord *user)
{
    if (!user)
        return -1;
    memset(user, 0, sizeof *user);
    if (!path || !name || n <= 0)
        return -1;
    if (n > static_cast<int32_t>(sizeof user->name))
        n = static_cast<int32_t>(sizeof user->name);
    sqlite3 *db = qxdb::detail::open_store(path);
    if (!db)
        return -1;
    bool found = false;
    for_each_user(db, [&](const UserRecord &r) {
        if (r.enable == 0)
            return false;
        // The stored name may fill its field: compare a terminated copy.
        char stored[sizeof r.name + 1];
        size_t len = field_len(r.name);
        memcpy(stored, r.name, len);
        stored[len] = '\0';
        if (strncmp(stored, name, static_cast<size_t>(n)) != 0)
            return false;
        *user = r;
        found = true;
        return true;
    });
    return found ? 0 : -1;
}

int32_t read_user_by_name(const char *path, const char *name, UserRecord *user)
{
    // One more than the longest stored name, so only the whole name matches.
    return read_user_by_name_n(path, name, static_cast<int32_t>(sizeof user->name), user);
}

int32_t read_user_count(const char *path)
{
    if (!path)
        return 0;
    sqlite3 *db = qxdb::detail::open_store(path);
    if (!db)
        return 0;
    int32_t count = 0;
    for_each_user(db, [&count](const UserRecord &r) {
        if (r.enable != 0)
            count++;
        return false;
    });
    return count;
}

int32_t read_users_oem(const char *path, PresetUserRecord *users, int32_t capacity, int32_t *count)
{
    return status(qxdb::read_all(path, qxdb::kPresetUser, users, capacity, count));
}

int32_t write_user_oem(const char *path, const PresetUserRecord *user)
{
    return status(qxdb::write(path, qxdb::kPresetUser, user));
}
