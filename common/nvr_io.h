// Whole reads and writes on descriptors (sockets, pipes, files).
#pragma once

#include <cstddef>
#include <sys/types.h>

// Reads exactly n bytes; false at end of input or on an error. EINTR is retried.
bool io_read_full(int fd, void *buf, size_t n);

// Reads up to n bytes, stopping early only at end of input: the number
// read, or -1 on an error. EINTR is retried.
ssize_t io_read_upto(int fd, void *buf, size_t n);

// The same at a file offset.
ssize_t io_pread_upto(int fd, void *buf, size_t n, off_t off);

// Writes all n bytes (MSG_NOSIGNAL on sockets: a closed peer is an error,
// not a signal); false on an error.
bool io_write_full(int fd, const void *buf, size_t n);
