// Chip information: the 32-character text that names this recorder's model
// ("KTR4470..."). It lives in the boot environment variable "chipinfo"; a
// copy lies in the board's DM2016 EEPROM (I2C address 0xA2, bytes 0 to 31),
// from which the variable is restored when it is missing.
#pragma once

#include <cstddef>
#include <cstdint>

enum {
    CHIP_INFO_LEN = 32,
    DM2016_ADDR = 0xA2,
};

#define CHIP_INFO_DEFAULT "KTR447002H10EU000000S13155100010"

// Thin wrappers around the boot environment store.
int qx_env_init();
void qx_env_deinit();
// Value, or null (the store is loaded when it is not yet).
const char *qx_getenv(const char *name);
// 0, or -1 for any failure.
int qx_setenv(const char *name, const char *value);

// EEPROM access. dm2016_open returns a handle, negative on failure.
int dm2016_open();
int dm2016_close(int handle);
// Reads count bytes from address start on, one byte per transfer; 0, or the
// failed transfer's result.
int dm2016_eeprom_read(int handle, int start, int count, uint8_t *buf);

// Fills exactly CHIP_INFO_LEN bytes of buf (a shorter text is followed by
// zero bytes; a full one has no terminator inside those 32). Returns 0, or
// -1 without a buffer. Messages go to standard error.
int qxchip_read(char *buf);
// Stores text as "chipinfo"; 0 when the variable now equals it, else -1.
int qxchip_write(const char *text);
