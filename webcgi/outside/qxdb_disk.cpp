// Named store calls: disks and user accounts.
#include "outside/qxdb.h"
#include "outside/qxdb_store.h"

namespace {
int32_t status(int rc)
{
    return rc < 0 ? -1 : 0;
}
} // namespace

int32_t read_disk(const char *path, DiskRecord *disk, int32_t slot)
{
    return status(qxdb::read(path, qxdb::kDisk, slot, disk));
}

int32_t read_disks(const char *path, DiskRecord *disks, int32_t capacity, int32_t *count)
{
    return status(qxdb::read_all(path, qxdb::kDisk, disks, capacity, count));
}

int32_t write_disk(const char *path, const DiskRecord *disk)
{
    return status(qxdb::write(path, qxdb::kDisk, disk));
}

int32_t read_user(const char *path, UserRecord *user, int32_t id)
{
    return status(qxdb::read(path, qxdb::kUser, id, user));
}

int32_t read_users(const char *path, UserRecord *users, int32_t capacity, int32_t *count)
{
    return status(qxdb::read_all(path, qxdb::kUser, users, capacity, count));
}

int32_t write_user(const char *path, const UserRecord *user)
{
    return status(qxdb::write(path, qxdb::kUser, user));
}
