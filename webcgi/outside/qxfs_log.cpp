#include "qxfs_log.h"

#include <cstring>

int qxfs_log_pack_detail(OpLogRecord *log, int kind, const void *data, int size)
{
    if (!log || (!data && size > 0) || size < 0)
        return -1;
    int32_t k = kind;
    memcpy(log->detail, &k, sizeof k);
    size_t n = static_cast<size_t>(size);
    if (n > sizeof log->detail - sizeof k)
        n = sizeof log->detail - sizeof k;
    if (n)
        memcpy(log->detail + sizeof k, data, n);
    memset(log->detail + sizeof k + n, 0, sizeof log->detail - sizeof k - n);
    log->detail_size = static_cast<int32_t>(sizeof k + n);
    return 0;
}
