#include "chip.h"

#include "env.h"
#include "i2c.h"

#include <cstdio>
#include <cstring>

namespace {

void fill(char *buf, const char *text)
{
    size_t n = strnlen(text, CHIP_INFO_LEN);
    memcpy(buf, text, n);
    memset(buf + n, 0, CHIP_INFO_LEN - n);
}

// An erased EEPROM reads 0xFF; a text with other non-printable bytes is no
// chip information either, and must not become the model name.
bool printable(const uint8_t *p, size_t n)
{
    for (size_t i = 0; i < n; i++)
        if (p[i] < 0x20 || p[i] > 0x7E)
            return false;
    return true;
}

} // namespace

int qx_env_init() { return env_init(); }

void qx_env_deinit() { env_deinit(); }

const char *qx_getenv(const char *name) { return fw_getenv(name); }

int qx_setenv(const char *name, const char *value)
{
    if (!env_loaded() && env_init() != 0)
        return -1;
    return hs_setenv(name, value) == 0 ? 0 : -1;
}

int dm2016_open()
{
    int fd = i2c_open(I2C_BUS_PATH);
    if (fd < 0) {
        fprintf(stderr, "Unable to open i2c bus 2!!!\n");
        return -1;
    }
    if (i2c_request(fd, I2C_REQ_SLAVE, DM2016_ADDR) != 0) {
        fprintf(stderr, "Unable to set dm2016 address 0x%x!\n", DM2016_ADDR);
        i2c_close(fd);
        return -1;
    }
    // Address and data widths of the board's bus driver; a plain i2c-dev
    // bus does not know these requests and needs nothing.
    i2c_request(fd, I2C_REQ_REG_WIDTH, 0);
    i2c_request(fd, I2C_REQ_DATA_WIDTH, 0);
    return fd;
}

int dm2016_close(int handle) { return handle < 0 ? -1 : i2c_close(handle); }

int dm2016_eeprom_read(int handle, int start, int count, uint8_t *buf)
{
    if (handle < 0 || !buf || start < 0 || count < 0 || start + count > 256)
        return -1;
    for (int i = 0; i < count; i++) {
        int addr = start + i;
        uint8_t b = (uint8_t)addr;
        ssize_t r = i2c_write(handle, &b, 1);
        if (r == 1)
            r = i2c_read(handle, &b, 1);
        if (r != 1) {
            fprintf(stderr, "dm2016 read addr 0x%x error. \n", addr);
            return r < 0 ? (int)r : -1;
        }
        buf[i] = b;
    }
    return 0;
}

int qxchip_read(char *buf)
{
    if (!buf) {
        fprintf(stderr, "Chipinfo pointer error!\n");
        return -1;
    }
    const char *v = qx_getenv("chipinfo");
    if (v) {
        fill(buf, v);
        return 0;
    }
    uint8_t raw[CHIP_INFO_LEN];
    bool ok = false;
    int h = dm2016_open();
    if (h >= 0) {
        ok = dm2016_eeprom_read(h, 0, CHIP_INFO_LEN, raw) == 0;
        dm2016_close(h);
        if (ok && !printable(raw, sizeof raw)) {
            fprintf(stderr, "Chipinfo in dm2016 is blank or not valid.\n");
            ok = false;
        }
    }
    if (!ok) {
        fill(buf, CHIP_INFO_DEFAULT);
        fprintf(stderr, "There is no Chipinfo in the env. Use default Chipinfo.\n");
        return 0;
    }
    char text[CHIP_INFO_LEN + 1];
    memcpy(text, raw, CHIP_INFO_LEN);
    text[CHIP_INFO_LEN] = 0;
    // The EEPROM text is the board's own even when it cannot be stored:
    // hand it out rather than an empty buffer.
    if (qxchip_write(text) != 0)
        fprintf(stderr, "Write Chipinfo error.\n");
    else
        fprintf(stderr, "Recover form dm2016.\n");
    fill(buf, text);
    return 0;
}

int qxchip_write(const char *text)
{
    if (!text || !text[0])
        return -1;
    // Readers take the text from one output line: no line breaks or other
    // control characters may get into it.
    if (!printable(reinterpret_cast<const uint8_t *>(text), strlen(text)))
        return -1;
    if (qx_setenv("chipinfo", text) != 0)
        return -1;
    const char *back = hs_getenv("chipinfo");
    return back && !strcmp(back, text) ? 0 : -1;
}
