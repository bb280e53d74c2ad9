// The I2C bus as the update tool uses it (board EEPROM, PoE controller).
//
// On the recorder "/dev/i2c-0" is an i2c-dev character device and the calls
// below are its plain requests (ioctl, read, write). On a development
// machine the bus path (NVR_ROOT applied) may instead be a regular file:
// a file-backed stand-in. Each device on a stand-in bus is a file next to
// it named "<bus>.<address as two lower-case hex digits>" ("i2c-0.a2")
// holding the device's memory. A write sets the memory pointer from its
// first byte (and stores any bytes after it); a read returns bytes from the
// pointer on and advances it. A device without its file, or a read past its
// end, does not answer (EIO), as a missing or failing chip does.
#pragma once

#include <cstddef>
#include <sys/types.h>

#define I2C_BUS_PATH "/dev/i2c-0"

enum {
    I2C_REQ_SLAVE = 0x0703,       // set the device address
    I2C_REQ_SLAVE_FORCE = 0x0706, // same, even when a driver holds it
    I2C_REQ_REG_WIDTH = 0x0709,   // board driver: register address width
    I2C_REQ_DATA_WIDTH = 0x070A,  // board driver: data width
};

// Opens the bus read-write; an fd, or -1 with errno set.
int i2c_open(const char *path);
int i2c_close(int fd);
// A driver request with a value argument; 0 or -1.
int i2c_request(int fd, unsigned long request, unsigned long value);
ssize_t i2c_read(int fd, void *buf, size_t len);
ssize_t i2c_write(int fd, const void *buf, size_t len);
