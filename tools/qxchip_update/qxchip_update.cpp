// qxchip_update: reads or changes the recorder's chip information text.
//
//   qxchip_update -r N    prints "Read old:" and the first N (at most 32)
//                         characters of the current text
//   qxchip_update TEXT    prints the current text the same way, stores TEXT
//                         as the new one and prints "Write new:TEXT"
//
// The current text is the boot environment's "chipinfo", restored from the
// board EEPROM (or the default text) when the variable is missing. The
// "Read old:" line is always the first line on standard output: the web
// side and the update tool take the text from it. Exit status 0 on success.
#include "chip.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int usage()
{
    fprintf(stderr, "usage: qxchip_update -r COUNT | qxchip_update CHIPINFO\n");
    return 1;
}

void print_old(int count)
{
    char buf[CHIP_INFO_LEN];
    qxchip_read(buf);
    size_t n = strnlen(buf, CHIP_INFO_LEN);
    if ((size_t)count < n)
        n = (size_t)count;
    printf("Read old:%.*s\n", (int)n, buf);
    fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && !strcmp(argv[1], "-r")) {
        char *end = nullptr;
        errno = 0;
        long count = strtol(argv[2], &end, 10);
        if (errno || end == argv[2] || *end || count < 1 || count > CHIP_INFO_LEN)
            return usage();
        qx_env_init();
        print_old((int)count);
        qx_env_deinit();
        return 0;
    }
    if (argc != 2 || !argv[1][0] || argv[1][0] == '-')
        return usage();
    const char *text = argv[1];
    if (strlen(text) > CHIP_INFO_LEN) {
        fprintf(stderr, "Chipinfo is longer than %d characters!\n", CHIP_INFO_LEN);
        return 1;
    }
    qx_env_init();
    print_old(CHIP_INFO_LEN);
    int rc = qxchip_write(text);
    qx_env_deinit();
    if (rc != 0) {
        fprintf(stderr, "Write chipinfo failed!\n");
        return 1;
    }
    printf("Write new:%s\n", text);
    return 0;
}
