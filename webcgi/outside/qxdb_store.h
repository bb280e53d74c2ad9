// Generic record store underneath the named config-store calls.
//
// A store file is an SQLite database. Every record kind has a table
//     CREATE TABLE <table> (key INTEGER PRIMARY KEY, data BLOB NOT NULL)
// holding the record bytes as they are in memory; named parameters live in
//     CREATE TABLE params (name TEXT PRIMARY KEY, value)
// and the table qxdb_kinds tells which record type each table holds.
//
// Rules every kind follows:
// - a key outside the kind's range is refused (-1) before the file is touched;
// - a read zero-fills the record; a missing row reads as zeros, a stored row
//   shorter or longer than the record (after a layout change) reads as far as
//   it goes; the key member, when the record has one, is set to the key read;
// - each write or copy is one transaction (BEGIN IMMEDIATE), so another
//   process sees the old or the new records, never part of them, and waits
//   (busy timeout) instead of failing while a writer holds the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "outside/qxdb_records.h"

struct sqlite3;

namespace qxdb {

enum FieldType : int32_t { FIELD_I32, FIELD_U32, FIELD_TEXT };

// A named member of a record, for copy_table_column_int and the dump tool.
struct Field {
    const char *name;
    uint32_t offset;
    uint32_t size;
    FieldType type;
};

struct Kind {
    const char *table;       // nullptr: a family, the caller names the table
    const char *record;      // record type name, "DiskRecord"
    uint32_t size;           // record size in bytes
    int32_t key_offset;      // offset of the int32 key member, -1 when none
    int32_t key_min;
    int32_t key_max;
    const Field *fields;     // may be nullptr
    uint32_t field_count;
};

// A kind bound to its record type, so the typed calls below check the type.
template <typename R>
struct TypedKind {
    Kind kind;
};

#define QXDB_CALLER_TABLE nullptr
#define QXDB_KIND(name, table, R, member, lo, hi) extern const TypedKind<R> name;
#define QXDB_KIND_NOKEY(name, table, R, lo, hi) extern const TypedKind<R> name;
#include "outside/qxdb_kinds.def"
#undef QXDB_KIND
#undef QXDB_KIND_NOKEY

// Every declared kind, families included, in declaration order.
const Kind *const *all_kinds(size_t *count);
// The kind of a fixed table name, or the family of a record type name.
const Kind *find_kind(const char *table);
const Kind *find_family(const char *record);
// The key member's name ("slot", "chnid"), or "key" when the record has none.
const char *key_column(const Kind &k);
const Field *find_field(const Kind &k, const char *name);

bool key_in_range(const Kind &k, int32_t key);
bool valid_table_name(const char *table);

// Byte-level calls. `table` names the table of a family and is ignored for
// a fixed kind (pass nullptr). Results: read_raw 1 found, 0 missing, -1
// refused or failed; the others 0 or -1.
int read_raw(const char *path, const Kind &k, const char *table, int32_t key, void *rec, uint32_t size);
// Stored records in key order, at most `capacity`; *count = number filled.
int read_all_raw(const char *path, const Kind &k, const char *table, void *recs, uint32_t size,
                 int32_t capacity, int32_t *count);
int write_raw(const char *path, const Kind &k, const char *table, int32_t key, const void *rec,
              uint32_t size);
// Writes the record under key_base + i for every bit i of the mask whose key
// lies in the kind's range; `fix` adjusts each copy for its channel i
// (default: the key member is set to the key).
int copy_raw(const char *path, const Kind &k, const char *table, const void *rec, uint32_t size,
             uint64_t mask, void (*fix)(void *rec, int32_t chn), int32_t key_base = 0);
int erase_raw(const char *path, const Kind &k, const char *table, int32_t key);
// Sets one int32 field in the rows of the masked keys (missing rows are
// created as zero records with that field set).
int set_column_int(const char *path, const char *table, const char *column, int32_t value,
                   uint64_t mask, const char *key_column);

// Several writes and copies as one transaction: one commit (one set of
// flash syncs) for all of them, and all or none of them after a power cut.
// Calls made on the same store file while a Batch is open join it; a call
// that fails undoes only its own part. Not committed = rolled back.
class Batch {
public:
    explicit Batch(const char *path);
    ~Batch();
    bool ok() const { return begun_ || nested_; }
    bool commit();
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

private:
    ::sqlite3 *db_;
    bool nested_;
    bool begun_;
};

// Closes the cached connections of this process (tests; the CGI just exits).
void close_all();
// The file the store opens for a device path (under NVR_ROOT).
void store_file(const char *path, char *out, size_t size);

// Typed calls.
template <typename R>
inline int key_of(const TypedKind<R> &k, const R *rec)
{
    int32_t key = 0;
    memcpy(&key, reinterpret_cast<const char *>(rec) + k.kind.key_offset, sizeof key);
    return key;
}

template <typename R>
inline int read(const char *path, const TypedKind<R> &k, int32_t key, R *rec, const char *table = nullptr)
{
    static_assert(std::is_trivially_copyable<R>::value, "records are plain data");
    return read_raw(path, k.kind, table, key, rec, sizeof(R));
}

template <typename R>
inline int read_all(const char *path, const TypedKind<R> &k, R *recs, int32_t capacity, int32_t *count,
                    const char *table = nullptr)
{
    return read_all_raw(path, k.kind, table, recs, sizeof(R), capacity, count);
}

// Key taken from the record's key member.
template <typename R>
inline int write(const char *path, const TypedKind<R> &k, const R *rec, const char *table = nullptr)
{
    static_assert(std::is_trivially_copyable<R>::value, "records are plain data");
    if (!rec || k.kind.key_offset < 0)
        return -1;
    return write_raw(path, k.kind, table, key_of(k, rec), rec, sizeof(R));
}

// Key passed by the caller (kinds without a key member).
template <typename R>
inline int write_at(const char *path, const TypedKind<R> &k, int32_t key, const R *rec,
                    const char *table = nullptr)
{
    static_assert(std::is_trivially_copyable<R>::value, "records are plain data");
    return write_raw(path, k.kind, table, key, rec, sizeof(R));
}

template <typename R>
inline int copy(const char *path, const TypedKind<R> &k, const R *rec, uint64_t mask,
                const char *table = nullptr, void (*fix)(void *, int32_t) = nullptr, int32_t key_base = 0)
{
    return copy_raw(path, k.kind, table, rec, sizeof(R), mask, fix, key_base);
}

} // namespace qxdb
