// Which recorder this is. The chip tool prints the chip text (model code
// first); the PoE controller is told apart by whether it answers on I2C.
#include "upfw.h"

#include "env.h"
#include "i2c.h"

#include <cstdio>
#include <cstring>

namespace {

enum { MODEL_LINE = 64, PSE_ADDR = 0xE0 };

bool g_have_line;
char g_line[MODEL_LINE];

const char *model_line()
{
    if (g_have_line)
        return g_line;
    g_have_line = true;
    g_line[0] = 0;
    fflush(stdout);
    FILE *p = popen("qxchip_update -r 32 2>/dev/null", "r");
    if (!p)
        return g_line;
    if (!fgets(g_line, sizeof g_line, p))
        g_line[0] = 0;
    g_line[strcspn(g_line, "\r\n")] = 0;
    // Only the first line counts; read the rest so the tool is not cut off
    // in the middle of restoring the variable.
    char rest[256];
    while (fgets(rest, sizeof rest, p)) {
    }
    pclose(p);
    // The chip tool may have restored "chipinfo" into the boot environment
    // meanwhile: reload, so that our next store does not write it away.
    if (env_loaded())
        env_init();
    return g_line;
}

// The PoE controller of the IR804AR variant answers a one-byte read.
bool pse_is_ir804ar()
{
    int fd = i2c_open(I2C_BUS_PATH);
    if (fd < 0) {
        fprintf(stderr, "Unable to open i2c bus 2!!!\n");
        return false;
    }
    i2c_request(fd, I2C_REQ_SLAVE_FORCE, PSE_ADDR);
    i2c_request(fd, I2C_REQ_REG_WIDTH, 0);
    i2c_request(fd, I2C_REQ_DATA_WIDTH, 0);
    unsigned char b;
    bool answered = i2c_read(fd, &b, 1) == 1;
    i2c_close(fd);
    printf(answered ? "pse is ir804ar!!!\n" : "pse is ir804a!!!\n");
    fflush(stdout);
    return answered;
}

} // namespace

bool model_is(const char *code) { return strstr(model_line(), code) != nullptr; }

bool model_ktr4470_ir804ar() { return model_is("KTR4470") && pse_is_ir804ar(); }

bool model_ktr4430_vavb()
{
    const char *v = hs_getenv("chipinfo");
    if (!v)
        return false;
    char info[64];
    snprintf(info, sizeof info, "%s", v);
    return strstr(info, "KTR4430") && strlen(info) > 14 && info[14] == 'N';
}

bool model_new_flash()
{
    const char *v = hs_getenv("flashtype");
    return v && !strcmp(v, "MX35LF2G24AD");
}

void model_forget()
{
    g_have_line = false;
    g_line[0] = 0;
}
