// Detail blocks of operation-log records.
#pragma once

#include "web_utils/oplog.h"

// Stores a detail block: its kind as a little-endian 32-bit word, then the
// data (cut to fit the 512-byte detail field); detail_size counts both.
// Returns 0, or -1 for a missing record or data.
int qxfs_log_pack_detail(OpLogRecord *log, int kind, const void *data, int size);
