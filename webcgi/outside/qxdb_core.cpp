// The generic record store on SQLite: connections, schema, and the
// byte-level read, write, copy and column calls every named call uses.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "nvr_root.h"
#include "outside/qxdb_internal.h"
#include "outside/qxdb_store.h"

namespace qxdb {
namespace detail {
namespace {

// Several web requests may reach the store at once, and the core daemon
// reads it too: a writer waits this long for the file instead of failing.
constexpr int kBusyTimeoutMs = 20000;
constexpr int kMaxConnections = 8;

struct Connection {
    char file[512];      // the file under the root in force when opened
    sqlite3 *db;
    pid_t pid;
};

Connection g_conns[kMaxConnections];
pthread_mutex_t g_conns_lock = PTHREAD_MUTEX_INITIALIZER;

// Changes whenever a fixed kind is added or changes size, so that a store
// made by an older program gets the new tables on first open.
int32_t schema_stamp()
{
    uint32_t h = 2166136261u;
    auto mix = [&h](const void *p, size_t n) {
        const unsigned char *b = static_cast<const unsigned char *>(p);
        for (size_t i = 0; i < n; i++) {
            h ^= b[i];
            h *= 16777619u;
        }
    };
    size_t n = 0;
    const Kind *const *kinds = all_kinds(&n);
    for (size_t i = 0; i < n; i++) {
        if (!kinds[i]->table)
            continue;
        mix(kinds[i]->table, strlen(kinds[i]->table) + 1);
        mix(kinds[i]->record, strlen(kinds[i]->record) + 1);
        mix(&kinds[i]->size, sizeof kinds[i]->size);
    }
    return static_cast<int32_t>((h & 0x7fffffffu) | 1u);
}

int user_version(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    int v = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        v = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return v;
}

bool mkdirs_for(const char *file)
{
    char dir[512];
    snprintf(dir, sizeof dir, "%s", file);
    char *slash = strrchr(dir, '/');
    if (!slash || slash == dir)
        return true;
    *slash = '\0';
    for (char *p = dir + 1; *p; p++) {
        if (*p != '/')
            continue;
        *p = '\0';
        if (mkdir(dir, 0755) != 0 && errno != EEXIST)
            return false;
        *p = '/';
    }
    return mkdir(dir, 0755) == 0 || errno == EEXIST;
}

bool make_schema(sqlite3 *db)
{
    int32_t stamp = schema_stamp();
    if (user_version(db) == stamp)
        return true;
    Txn txn(db);
    if (!txn.ok())
        return false;
    if (user_version(db) == stamp)    // another process made it meanwhile
        return txn.commit();
    bool ok = exec(db, "CREATE TABLE IF NOT EXISTS params (name TEXT PRIMARY KEY, value)") &&
              exec(db, "CREATE TABLE IF NOT EXISTS qxdb_kinds (name TEXT PRIMARY KEY, record TEXT NOT NULL, "
                           "size INTEGER NOT NULL, key_min INTEGER NOT NULL, key_max INTEGER NOT NULL)");
    size_t n = 0;
    const Kind *const *kinds = all_kinds(&n);
    for (size_t i = 0; ok && i < n; i++) {
        if (!kinds[i]->table)
            continue;
        ok = ensure_table(db, *kinds[i], kinds[i]->table);
    }
    char sql[64];
    snprintf(sql, sizeof sql, "PRAGMA user_version = %d", static_cast<int>(stamp));
    return ok && exec(db, sql) && txn.commit();
}

} // namespace

bool exec(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Inside a Batch the connection already holds a transaction: a savepoint
// keeps this step all-or-nothing, and the Batch's commit makes it durable.
Txn::Txn(sqlite3 *db)
    : db_(db), nested_(db && !sqlite3_get_autocommit(db)),
      begun_(db && exec(db, nested_ ? "SAVEPOINT txn" : "BEGIN IMMEDIATE"))
{
}

Txn::~Txn()
{
    if (!begun_)
        return;
    if (nested_) {
        exec(db_, "ROLLBACK TO txn");
        exec(db_, "RELEASE txn");
    } else {
        exec(db_, "ROLLBACK");
    }
}

bool Txn::commit()
{
    if (!begun_)
        return false;
    if (!exec(db_, nested_ ? "RELEASE txn" : "COMMIT"))
        return false;    // still open: the destructor rolls back
    begun_ = false;
    return true;
}

bool ensure_table(sqlite3 *db, const Kind &k, const char *table)
{
    char sql[256];
    snprintf(sql, sizeof sql, "CREATE TABLE IF NOT EXISTS \"%s\" (key INTEGER PRIMARY KEY, data BLOB NOT NULL)",
             table);
    if (!exec(db, sql))
        return false;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO qxdb_kinds VALUES (?, ?, ?, ?, ?)", -1, &st, nullptr) !=
        SQLITE_OK)
        return false;
    sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 2, k.record, -1, SQLITE_STATIC);
    sqlite3_bind_int(st, 3, static_cast<int>(k.size));
    sqlite3_bind_int(st, 4, k.key_min);
    sqlite3_bind_int(st, 5, k.key_max);
    bool ok = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    return ok;
}

sqlite3 *open_store(const char *path)
{
    if (!path || !*path)
        return nullptr;
    char file[512];
    store_file(path, file, sizeof file);
    if (strlen(file) >= sizeof file - 1)
        return nullptr;    // cut: not the file the caller meant
    pid_t pid = getpid();
    pthread_mutex_lock(&g_conns_lock);
    Connection *free_slot = nullptr;
    for (Connection &c : g_conns) {
        // A connection made before a fork belongs to the parent; the child
        // leaves it alone and opens its own.
        if (c.db && c.pid == pid && strcmp(c.file, file) == 0) {
            pthread_mutex_unlock(&g_conns_lock);
            return c.db;
        }
        if (!free_slot && (!c.db || c.pid != pid))
            free_slot = &c;
    }
    if (!free_slot) {
        // More store files than slots (a test switching roots): reuse the
        // slots in turn.
        static int next_evict = 0;
        free_slot = &g_conns[next_evict];
        next_evict = (next_evict + 1) % kMaxConnections;
        sqlite3_close(free_slot->db);
        free_slot->db = nullptr;
    }
    sqlite3 *db = nullptr;
    if (mkdirs_for(file) &&
        sqlite3_open_v2(file, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) ==
            SQLITE_OK) {
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        // Reads through a memory map instead of one read call per page: a
        // copy to many channels compares megabytes of stored records.
        exec(db, "PRAGMA mmap_size = 67108864");
        if (make_schema(db)) {
            snprintf(free_slot->file, sizeof free_slot->file, "%s", file);
            free_slot->db = db;
            free_slot->pid = pid;
        } else {
            sqlite3_close(db);
            db = nullptr;
        }
    } else if (db) {
        sqlite3_close(db);
        db = nullptr;
    }
    pthread_mutex_unlock(&g_conns_lock);
    return db;
}

// The kind of an existing table: a fixed kind by name, or the family that
// the table was made for.
const Kind *kind_of_table(sqlite3 *db, const char *table)
{
    const Kind *k = find_kind(table);
    if (k)
        return k;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT record FROM qxdb_kinds WHERE name = ?", -1, &st, nullptr) != SQLITE_OK)
        return nullptr;
    sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC);
    if (sqlite3_step(st) == SQLITE_ROW)
        k = find_family(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return k;
}

} // namespace detail

using detail::exec;
using detail::open_store;
using detail::Txn;
using detail::kind_of_table;

// A Batch inside another one joins it; the outermost commits.
Batch::Batch(const char *path)
    : db_(open_store(path)), nested_(db_ && !sqlite3_get_autocommit(db_)),
      begun_(db_ && !nested_ && exec(db_, "BEGIN IMMEDIATE"))
{
}

Batch::~Batch()
{
    if (begun_)
        exec(db_, "ROLLBACK");
}

bool Batch::commit()
{
    if (nested_)
        return true;
    if (!begun_ || !exec(db_, "COMMIT"))
        return false;
    begun_ = false;
    return true;
}

namespace {

// The table of a kind: its own, or for a family the caller's (checked,
// since it is put into SQL text).
const char *table_of(const Kind &k, const char *table)
{
    if (k.table)
        return k.table;
    return valid_table_name(table) ? table : nullptr;
}

bool table_exists(sqlite3 *db, const char *table)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?", -1, &st, nullptr) !=
        SQLITE_OK)
        return false;
    sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC);
    bool found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return found;
}

void set_key(const Kind &k, void *rec, int32_t key)
{
    if (k.key_offset >= 0 && static_cast<uint32_t>(k.key_offset) + sizeof key <= k.size)
        memcpy(static_cast<char *>(rec) + k.key_offset, &key, sizeof key);
}

// Copies a stored blob into a zeroed record, as far as both go.
void fill_record(const Kind &k, sqlite3_stmt *st, int col, void *rec, int32_t key)
{
    memset(rec, 0, k.size);
    const void *blob = sqlite3_column_blob(st, col);
    int n = sqlite3_column_bytes(st, col);
    if (blob && n > 0)
        memcpy(rec, blob, static_cast<uint32_t>(n) < k.size ? static_cast<size_t>(n) : k.size);
    set_key(k, rec, key);
}

// Reads one row into rec inside an open connection: 1 found, 0 missing, -1.
int select_row(sqlite3 *db, const Kind &k, const char *table, int32_t key, void *rec)
{
    char sql[160];
    snprintf(sql, sizeof sql, "SELECT data FROM \"%s\" WHERE key = ?", table);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return table_exists(db, table) ? -1 : 0;
    }
    sqlite3_bind_int(st, 1, key);
    int rc = sqlite3_step(st);
    int result = -1;
    if (rc == SQLITE_ROW) {
        fill_record(k, st, 0, rec, key);
        result = 1;
    } else if (rc == SQLITE_DONE) {
        result = 0;
    }
    sqlite3_finalize(st);
    return result;
}

// Stores records in one table, with its two statements prepared once for
// all the rows of a copy. A row that already holds the same bytes is left
// alone: saving a page unchanged, or copying settings to channels that have
// them, then writes nothing to the flash.
class RowWriter {
public:
    RowWriter(sqlite3 *db, const char *table)
    {
        char sql[160];
        snprintf(sql, sizeof sql, "SELECT 1 FROM \"%s\" WHERE key = ? AND data = ?", table);
        bool ok = sqlite3_prepare_v2(db, sql, -1, &same_, nullptr) == SQLITE_OK;
        snprintf(sql, sizeof sql, "INSERT OR REPLACE INTO \"%s\" (key, data) VALUES (?, ?)", table);
        ok_ = ok && sqlite3_prepare_v2(db, sql, -1, &insert_, nullptr) == SQLITE_OK;
    }
    ~RowWriter()
    {
        sqlite3_finalize(same_);
        sqlite3_finalize(insert_);
    }
    RowWriter(const RowWriter &) = delete;
    RowWriter &operator=(const RowWriter &) = delete;

    bool put(int32_t key, const void *rec, uint32_t size)
    {
        if (!ok_)
            return false;
        if (step(same_, key, rec, size) == SQLITE_ROW)
            return true;
        return step(insert_, key, rec, size) == SQLITE_DONE;
    }

private:
    static int step(sqlite3_stmt *st, int32_t key, const void *rec, uint32_t size)
    {
        sqlite3_reset(st);
        sqlite3_bind_int(st, 1, key);
        sqlite3_bind_blob(st, 2, rec, static_cast<int>(size), SQLITE_STATIC);
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        return rc;
    }

    sqlite3_stmt *same_ = nullptr;
    sqlite3_stmt *insert_ = nullptr;
    bool ok_ = false;
};

} // namespace

bool valid_table_name(const char *table)
{
    if (!table || !*table || strlen(table) > 63)
        return false;
    if (!(table[0] == '_' || (table[0] >= 'a' && table[0] <= 'z') || (table[0] >= 'A' && table[0] <= 'Z')))
        return false;
    for (const char *p = table; *p; p++) {
        char c = *p;
        if (!(c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return strncmp(table, "sqlite_", 7) != 0;
}

void store_file(const char *path, char *out, size_t size)
{
    nvr_path(out, size, path);
}

int read_raw(const char *path, const Kind &k, const char *table, int32_t key, void *rec, uint32_t size)
{
    if (!rec || size != k.size)
        return -1;
    // Callers use the record whatever the result, so it is always cleared.
    memset(rec, 0, size);
    const char *t = table_of(k, table);
    if (!path || !t || !key_in_range(k, key))
        return -1;
    set_key(k, rec, key);
    sqlite3 *db = open_store(path);
    if (!db)
        return -1;
    return select_row(db, k, t, key, rec);
}

int read_all_raw(const char *path, const Kind &k, const char *table, void *recs, uint32_t size, int32_t capacity,
                 int32_t *count)
{
    if (count)
        *count = 0;
    if (!recs || size != k.size || capacity <= 0)
        return -1;
    memset(recs, 0, static_cast<size_t>(size) * static_cast<size_t>(capacity));
    const char *t = table_of(k, table);
    if (!path || !t)
        return -1;
    sqlite3 *db = open_store(path);
    if (!db)
        return -1;
    char sql[200];
    snprintf(sql, sizeof sql, "SELECT key, data FROM \"%s\" WHERE key BETWEEN ? AND ? ORDER BY key LIMIT ?", t);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return table_exists(db, t) ? -1 : 0;
    }
    sqlite3_bind_int(st, 1, k.key_min);
    sqlite3_bind_int(st, 2, k.key_max);
    sqlite3_bind_int(st, 3, capacity);
    int32_t n = 0;
    int rc;
    while (n < capacity && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        fill_record(k, st, 1, static_cast<char *>(recs) + static_cast<size_t>(n) * size, sqlite3_column_int(st, 0));
        n++;
    }
    sqlite3_finalize(st);
    if (count)
        *count = n;
    return 0;
}

int write_raw(const char *path, const Kind &k, const char *table, int32_t key, const void *rec, uint32_t size)
{
    const char *t = table_of(k, table);
    if (!path || !rec || size != k.size || !t || !key_in_range(k, key))
        return -1;
    sqlite3 *db = open_store(path);
    if (!db)
        return -1;
    Txn txn(db);
    if (!txn.ok() || (!k.table && !detail::ensure_table(db, k, t)))
        return -1;
    return RowWriter(db, t).put(key, rec, size) && txn.commit() ? 0 : -1;
}

int copy_raw(const char *path, const Kind &k, const char *table, const void *rec, uint32_t size, uint64_t mask,
             void (*fix)(void *rec, int32_t chn), int32_t key_base)
{
    const char *t = table_of(k, table);
    if (!path || !rec || size != k.size || !t)
        return -1;
    sqlite3 *db = open_store(path);
    if (!db)
        return -1;
    char *buf = static_cast<char *>(malloc(size));
    if (!buf)
        return -1;
    bool ok = false;
    {
        Txn txn(db);
        ok = txn.ok() && (k.table || detail::ensure_table(db, k, t));
        RowWriter rows(db, t);
        for (int32_t chn = 0; ok && chn < 64; chn++) {
            int32_t key = key_base + chn;
            if (!(mask >> chn & 1u) || !key_in_range(k, key))
                continue;
            memcpy(buf, rec, size);
            if (fix)
                fix(buf, chn);
            else
                set_key(k, buf, key);
            ok = rows.put(key, buf, size);
        }
        ok = ok && txn.commit();
    }
    free(buf);
    return ok ? 0 : -1;
}

int erase_raw(const char *path, const Kind &k, const char *table, int32_t key)
{
    const char *t = table_of(k, table);
    if (!path || !t || !key_in_range(k, key))
        return -1;
    sqlite3 *db = open_store(path);
    if (!db)
        return -1;
    if (!k.table && !table_exists(db, t))
        return 0;
    char sql[160];
    snprintf(sql, sizeof sql, "DELETE FROM \"%s\" WHERE key = ?", t);
    Txn txn(db);
    sqlite3_stmt *st = nullptr;
    bool ok = txn.ok() && sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_bind_int(st, 1, key);
        ok = sqlite3_step(st) == SQLITE_DONE;
    }
    sqlite3_finalize(st);
    return ok && txn.commit() ? 0 : -1;
}

int set_column_int(const char *path, const char *table, const char *column, int32_t value, uint64_t mask,
                   const char *key_col)
{
    if (!path || !valid_table_name(table) || !column || !key_col)
        return -1;
    sqlite3 *db = open_store(path);
    if (!db)
        return -1;
    const Kind *k = kind_of_table(db, table);
    const Field *f = k ? find_field(*k, column) : nullptr;
    if (!f || (f->type != FIELD_I32 && f->type != FIELD_U32) || strcmp(key_column(*k), key_col) != 0)
        return -1;
    char *buf = static_cast<char *>(malloc(k->size));
    if (!buf)
        return -1;
    bool ok = false;
    {
        Txn txn(db);
        ok = txn.ok() && (k->table || detail::ensure_table(db, *k, table));
        RowWriter rows(db, table);
        for (int32_t key = 0; ok && key < 64; key++) {
            if (!(mask >> key & 1u) || !key_in_range(*k, key))
                continue;
            memset(buf, 0, k->size);
            if (select_row(db, *k, table, key, buf) < 0) {
                ok = false;
                break;
            }
            set_key(*k, buf, key);    // a missing row was returned untouched
            memcpy(buf + f->offset, &value, sizeof value);
            ok = rows.put(key, buf, k->size);
        }
        ok = ok && txn.commit();
    }
    free(buf);
    return ok ? 0 : -1;
}

void close_all()
{
    pthread_mutex_lock(&detail::g_conns_lock);
    pid_t pid = getpid();
    for (detail::Connection &c : detail::g_conns) {
        if (c.db && c.pid == pid)
            sqlite3_close(c.db);
        c.db = nullptr;
    }
    pthread_mutex_unlock(&detail::g_conns_lock);
}

} // namespace qxdb
