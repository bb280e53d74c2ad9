// Builders shared by the storage route tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "harness.h"
#include "outside/qxdb.h"
#include "storage/storage.h"
#include "web_utils/oplog.h"

namespace storagetest {

using nvrtest::Bytes;

// A disk as the daemon reports it.
inline StorageInfoRecord reported(int32_t slot, int32_t type, const char *vendor = "")
{
    StorageInfoRecord d;
    memset(&d, 0, sizeof d);
    d.slot = slot;
    d.type = type;
    copy_text(d.vendor, vendor);
    return d;
}

// A disk as the store keeps it.
inline DiskRecord stored(int32_t slot, int32_t type, const char *vendor, const char *address = "",
                         const char *directory = "", const char *user = "", const char *password = "")
{
    DiskRecord d;
    memset(&d, 0, sizeof d);
    d.slot = slot;
    d.enable = 1;
    d.type = type;
    copy_text(d.vendor, vendor);
    copy_text(d.address, address);
    copy_text(d.directory, directory);
    copy_text(d.user, user);
    copy_text(d.password, password);
    return d;
}

inline Bytes records(std::initializer_list<StorageInfoRecord> disks)
{
    Bytes b;
    for (const StorageInfoRecord &d : disks)
        b += nvrtest::bytes_of(d);
    return b;
}

// The operation-log record of a request, checked for its size.
inline OpLogRecord oplog_of(const nvrtest::DaemonMsg &m)
{
    OpLogRecord log;
    memset(&log, 0, sizeof log);
    EXPECT_EQ(m.code, 3485);
    EXPECT_EQ(m.payload.size(), sizeof log);
    if (m.payload.size() == sizeof log)
        memcpy(&log, m.payload.data(), sizeof log);
    return log;
}

inline void expect_oplog(const nvrtest::DaemonMsg &m, int64_t sub, int32_t param, int32_t chn)
{
    OpLogRecord log = oplog_of(m);
    EXPECT_EQ(log.main_type, 4);
    EXPECT_EQ(log.sub_type, sub);
    EXPECT_EQ(log.param, param);
    EXPECT_EQ(log.chn, chn);
    EXPECT_EQ(log.remote, 1);
}

inline std::vector<int32_t> codes_of(const std::vector<nvrtest::DaemonMsg> &msgs)
{
    std::vector<int32_t> codes;
    for (const nvrtest::DaemonMsg &m : msgs)
        codes.push_back(m.code);
    return codes;
}

// Every stored disk record, as bytes, to show that a refused request wrote
// nothing.
inline Bytes store_snapshot()
{
    static DiskRecord disks[QXDB_MAX_DISKS];
    int32_t n = 0;
    read_disks(CONFIG_DB_PATH, disks, &n);
    return Bytes(reinterpret_cast<const char *>(disks), sizeof(DiskRecord) * static_cast<size_t>(n));
}

} // namespace storagetest
