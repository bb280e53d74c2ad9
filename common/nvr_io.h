// Whole reads and writes on descriptors (sockets, pipes, files).
#pragma once

#include <cstddef>

// Reads exactly n bytes; false at end of input or on an error. EINTR is retried.
bool io_read_full(int fd, void *buf, size_t n);

// Writes all n bytes (MSG_NOSIGNAL on sockets: a closed peer is an error,
// not a signal); false on an error.
bool io_write_full(int fd, const void *buf, size_t n);
