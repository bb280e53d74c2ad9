// Boot environment store: the boot loader's name=value variables, kept in
// two copies of 65536 bytes on "/dev/mtd1" (copy 0 at offset 0, copy 1 at
// offset 65536). Each copy carries a CRC-32 and a generation flag; the tool
// loads the newer valid copy and, when storing, writes the other copy first
// and then the current one, so that a power cut always leaves one good copy.
#pragma once

#include "byteorder.h"

#include <cstddef>
#include <cstdint>

enum {
    ENV_COPY_SIZE = 65536,
    ENV_DATA_SIZE = 65531,
};

struct env_copy {
    uint32_t crc;             // CRC-32 of bytes 4..65535 (data and flags)
    char data[ENV_DATA_SIZE]; // name=value\0 ... \0, then zeros
    uint8_t flags;            // generation, counts up and wraps at 256
};
static_assert(sizeof(env_copy) == ENV_COPY_SIZE, "environment copy is 65536 bytes");
static_assert(offsetof(env_copy, crc) == 0, "crc");
static_assert(offsetof(env_copy, data) == 4, "data");
static_assert(offsetof(env_copy, flags) == 65535, "flags");

#define ENV_DEVICE "/dev/mtd1"

// Loads the store (0, or -1 when the flash cannot be used). Loading again
// rereads the flash.
int env_init();
void env_deinit();
bool env_loaded();
// Which copy the loaded store came from (0 or 1).
int env_current_copy();

// Value inside the loaded store, or null. The pointer is valid until the
// next change of the store.
const char *hs_getenv(const char *name);
// Stores at once; value null only deletes. 0, or -1.
int hs_setenv(const char *name, const char *value);
int hs_printenv();
// Sets several variables (null value: delete) and stores them with one
// write, so that related variables never reach flash half changed.
int hs_setenv_many(int n, const char *const names[], const char *const values[]);

// Like the hs_ calls but load the store first when it is not loaded.
const char *fw_getenv(const char *name);
// argv[0..argc-1]: names to print, optionally "-n" first.
int fw_printenv(int argc, char *argv[]);
// argv[0] is the name, argv[1..] are joined with blanks into the value.
int fw_setenv(int argc, char *argv[]);
