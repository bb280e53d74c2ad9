// Connection handling shared by the store's own files; not for handlers.
#pragma once

#include <sqlite3.h>

#include "outside/qxdb_store.h"

namespace qxdb {
namespace detail {

// The process's connection to a store file (opened, schema made, on first
// use); nullptr when the file cannot be opened.
sqlite3 *open_store(const char *path);

// BEGIN IMMEDIATE ... COMMIT, rolled back unless commit() succeeded.
class Txn {
public:
    explicit Txn(sqlite3 *db);
    ~Txn();
    bool ok() const { return begun_; }
    bool commit();
    Txn(const Txn &) = delete;
    Txn &operator=(const Txn &) = delete;

private:
    sqlite3 *db_;
    bool nested_; // inside a Batch: a savepoint instead of a transaction
    bool begun_;
};

// Creates a kind's table (and notes its record type) when missing.
bool ensure_table(sqlite3 *db, const Kind &k, const char *table);

// The kind of an existing table: a fixed kind by name, or the family that
// the table was made for; nullptr for a table the store does not know.
const Kind *kind_of_table(sqlite3 *db, const char *table);

// Runs a statement without results; true on success.
bool exec(sqlite3 *db, const char *sql);

} // namespace detail
} // namespace qxdb
