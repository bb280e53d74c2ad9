// Whole-file read and write, an advisory lock, and the Ethernet addresses.
// Paths are device paths ("/tmp/x"); each call puts them under NVR_ROOT.
#pragma once

#include <cstddef>

// Reads a whole file into a new buffer of exactly its size (no terminator).
// nullptr and size 0 on any failure. The caller frees the buffer.
char *qx_get_file_data(const char *path, int *size);

// Creates or truncates the file and writes the data; 0 when all was written.
int qx_wirte_file_data(const char *path, const char *data, int size);

// Exclusive lock on the whole file (created when missing); waits for it.
// Returns the descriptor or -1.
int file_lock(const char *path);
void file_unlock(int fd);

// "%02X:..." addresses of eth0 and eth1 (18-byte buffers); a port whose
// address cannot be read gets a fixed fallback. Always 0.
int get_mac_addr(char *mac1, char *mac2);

// Same for one interface: 0, or -1 when its address cannot be read.
int get_if_mac(const char *ifname, char *mac);
