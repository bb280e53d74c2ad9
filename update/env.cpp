#include "env.h"

#include "crc32.h"
#include "flash.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// Copy 0 may use only its own 64 KiB; copy 1 may run on into the rest of the
// partition, so that a bad NAND block there is skipped instead of losing
// the copy.
struct env_place {
    const char *path;
    uint32_t offset;
    uint32_t end; // 0: to the end of the device
};
const env_place places[2] = {
    {ENV_DEVICE, 0, ENV_COPY_SIZE},
    {ENV_DEVICE, ENV_COPY_SIZE, 0},
};

// Smallest erase block handled: 512 bytes, so a copy spans at most 128.
enum { MAX_COPY_BLOCKS = 128, MIN_ERASE = ENV_COPY_SIZE / MAX_COPY_BLOCKS };

const char default_env[] =
    "bootcmd=bootp; setenv bootargs root=/dev/nfs nfsroot=${serverip}:${rootpath} "
    "ip=${ipaddr}:${serverip}:${gatewayip}:${netmask}:${hostname}::off; bootm\0"
    "bootdelay=5\0"
    "baudrate=115200\0";

env_copy g_env;
env_copy g_scratch;
bool g_loaded;
int g_cur;

uint32_t copy_crc(const env_copy *c)
{
    return crc32(0, reinterpret_cast<const uint8_t *>(c) + 4, ENV_COPY_SIZE - 4);
}

// Offsets of the erase blocks that hold a copy, bad blocks skipped on NAND.
// Returns the number found (ENV_COPY_SIZE / erasesize), or -1.
int copy_blocks(flash_dev *d, const env_place &pl, uint32_t *blocks, int max)
{
    const flash_geom *g = flash_geometry(d);
    uint32_t es = g->erasesize;
    int need = (int)(ENV_COPY_SIZE / es);
    if (need > max)
        return -1;
    uint64_t end = pl.end ? pl.end : g->size;
    if (end > g->size)
        end = g->size;
    int n = 0;
    for (uint64_t off = pl.offset; n < need; off += es) {
        if (off + es > end) {
            fprintf(stderr, "End of range reached, aborting\n");
            return -1;
        }
        if (g->type == FLASH_TYPE_NAND) {
            int bad = flash_is_bad(d, (int64_t)off);
            if (bad < 0) {
                fprintf(stderr, "Cannot read bad block mark\n");
                return -1;
            }
            if (bad)
                continue;
        }
        blocks[n++] = (uint32_t)off;
    }
    return n;
}

bool geometry_usable(const char *path, const flash_geom *g)
{
    if (g->type != FLASH_TYPE_NOR && g->type != FLASH_TYPE_NAND) {
        fprintf(stderr, "Unsupported flash type %u\n", g->type);
        return false;
    }
    // Each copy is written as whole erase blocks; a block larger than a copy
    // would take the other copy with it when erased.
    if (g->erasesize < MIN_ERASE || g->erasesize > ENV_COPY_SIZE || ENV_COPY_SIZE % g->erasesize) {
        fprintf(stderr, "Erase block of %s is %u bytes, environment copies are %u bytes: not usable\n",
                path, g->erasesize, (unsigned)ENV_COPY_SIZE);
        return false;
    }
    return true;
}

int read_copy(int idx, env_copy *out, uint32_t *type)
{
    const env_place &pl = places[idx];
    flash_dev *d = flash_open(pl.path, O_RDONLY);
    if (!d) {
        fprintf(stderr, "Can't open %s: %s\n", pl.path, strerror(errno));
        return -1;
    }
    const flash_geom *g = flash_geometry(d);
    *type = g->type;
    int rc = 0;
    if (g->type != FLASH_TYPE_NOR && g->type != FLASH_TYPE_NAND) {
        fprintf(stderr, "Unsupported flash type %u\n", g->type);
        rc = -1;
    } else if (g->erasesize < MIN_ERASE || g->erasesize > ENV_COPY_SIZE || ENV_COPY_SIZE % g->erasesize) {
        // Blocks that do not tile a copy: nothing to skip, read it as it lies.
        if (flash_pread(d, out, ENV_COPY_SIZE, pl.offset) != ENV_COPY_SIZE) {
            fprintf(stderr, "Read error on %s: %s\n", pl.path, strerror(errno));
            rc = -1;
        }
    } else {
        uint32_t blocks[MAX_COPY_BLOCKS];
        int n = copy_blocks(d, pl, blocks, MAX_COPY_BLOCKS);
        if (n < 0) {
            fprintf(stderr, "Too few good blocks within range\n");
            rc = -1;
        }
        uint8_t *p = reinterpret_cast<uint8_t *>(out);
        for (int i = 0; rc == 0 && i < n; i++) {
            if (flash_pread(d, p + (size_t)i * g->erasesize, g->erasesize, blocks[i]) !=
                (ssize_t)g->erasesize) {
                fprintf(stderr, "Read error on %s: %s\n", pl.path, strerror(errno));
                rc = -1;
            }
        }
    }
    if (flash_close(d) != 0)
        fprintf(stderr, "I/O error on %s: %s\n", pl.path, strerror(errno));
    return rc;
}

int write_copy(int idx, const env_copy *c)
{
    const env_place &pl = places[idx];
    flash_dev *d = flash_open(pl.path, O_RDWR | O_SYNC);
    if (!d) {
        fprintf(stderr, "Can't open %s: %s\n", pl.path, strerror(errno));
        return -1;
    }
    const flash_geom *g = flash_geometry(d);
    int rc = geometry_usable(pl.path, g) ? 0 : -1;
    uint32_t blocks[MAX_COPY_BLOCKS];
    int n = rc == 0 ? copy_blocks(d, pl, blocks, MAX_COPY_BLOCKS) : -1;
    if (n < 0)
        rc = -1;
    const uint8_t *p = reinterpret_cast<const uint8_t *>(c);
    for (int i = 0; rc == 0 && i < n; i++) {
        uint32_t es = g->erasesize;
        flash_unlock(d, blocks[i], es); // not every part supports locking
        if (flash_erase(d, blocks[i], es) != 0) {
            fprintf(stderr, "MTD erase error on %s: %s\n", pl.path, strerror(errno));
            rc = -1;
            break;
        }
        if (flash_pwrite(d, p + (size_t)i * es, es, blocks[i]) != (ssize_t)es) {
            fprintf(stderr, "Write error on %s: %s\n", pl.path, strerror(errno));
            rc = -1;
            break;
        }
        flash_lock(d, blocks[i], es);
    }
    if (flash_close(d) != 0) {
        fprintf(stderr, "I/O error on %s: %s\n", pl.path, strerror(errno));
        rc = -1;
    }
    return rc;
}

// Writes the other copy with the next generation, then the current copy
// with the one after: if either write is cut off, the other copy is whole.
int env_store()
{
    int other = 1 - g_cur;
    g_env.flags = (uint8_t)(g_env.flags + 1);
    g_env.crc = copy_crc(&g_env);
    if (write_copy(other, &g_env) != 0)
        return -1;
    g_env.flags = (uint8_t)(g_env.flags + 1);
    g_env.crc = copy_crc(&g_env);
    return write_copy(g_cur, &g_env);
}

// Offset where the text starting at i ends (its zero byte), or -1 when it
// runs past the end of the area.
long text_end(const char *data, long i)
{
    const void *z = memchr(data + i, 0, (size_t)(ENV_DATA_SIZE - i));
    if (!z) {
        fprintf(stderr, "## Error: environment not terminated\n");
        return -1;
    }
    return static_cast<const char *>(z) - data;
}

// Finds the text "name=..." in data. Returns its start (and *end its zero
// byte), -2 when absent, -1 when the area is not terminated.
long find_text(const char *data, const char *name, long *end)
{
    size_t nlen = strlen(name);
    for (long i = 0; i < ENV_DATA_SIZE && data[i];) {
        long e = text_end(data, i);
        if (e < 0)
            return -1;
        if ((size_t)(e - i) > nlen && !strncmp(data + i, name, nlen) && data[i + (long)nlen] == '=') {
            *end = e;
            return i;
        }
        i = e + 1;
    }
    return -2;
}

// Offset of the zero that ends the list, or -1.
long list_end(const char *data)
{
    long i = 0;
    while (i < ENV_DATA_SIZE && data[i]) {
        long e = text_end(data, i);
        if (e < 0)
            return -1;
        i = e + 1;
    }
    return i;
}

bool valid_name(const char *name)
{
    return name && name[0] && !strchr(name, '=');
}

// Applies one change to data: replaces (value non-null) or deletes (value
// null) a variable. 0, or -1 when the area is broken or the text does not fit.
int change_text(char *data, const char *name, const char *value)
{
    if (!valid_name(name))
        return -1;
    long e = 0;
    long s = find_text(data, name, &e);
    if (s == -1)
        return -1;
    if (s >= 0) {
        long tail = list_end(data);
        if (tail < 0)
            return -1;
        memmove(data + s, data + e + 1, (size_t)(tail - (e + 1)));
        memset(data + tail - (e + 1 - s), 0, (size_t)(e + 1 - s));
    }
    long end = list_end(data);
    if (end < 0)
        return -1;
    if (value) {
        size_t need = strlen(name) + strlen(value) + 3;
        if ((size_t)(ENV_DATA_SIZE - end) < need) {
            fprintf(stderr, "Error: environment overflow, \"%s\" deleted\n", name);
            return -1;
        }
        int n = snprintf(data + end, (size_t)(ENV_DATA_SIZE - end), "%s=%s", name, value);
        data[end + n] = 0;
        data[end + n + 1] = 0;
    }
    return 0;
}

// The changes are made on a scratch copy first: a variable that does not
// fit leaves the loaded store exactly as it was (nothing is lost in memory
// that a later store could then write).
int env_change(int n, const char *const names[], const char *const values[])
{
    if (!g_loaded)
        return -1;
    memcpy(g_scratch.data, g_env.data, ENV_DATA_SIZE);
    for (int i = 0; i < n; i++)
        if (change_text(g_scratch.data, names[i], values[i]) != 0)
            return -1;
    memcpy(g_env.data, g_scratch.data, ENV_DATA_SIZE);
    if (env_store() != 0) {
        fprintf(stderr, "Error: can't write fw_env to flash\n");
        return -1;
    }
    return 0;
}

int env_change(const char *name, const char *value)
{
    return env_change(1, &name, &value);
}

int ensure_loaded()
{
    return g_loaded ? 0 : env_init();
}

} // namespace

int env_init()
{
    g_loaded = false;
    for (const env_place &pl : places) {
        char host[4096];
        flash_host_path(host, sizeof host, pl.path);
        if (access(host, F_OK) != 0) {
            fprintf(stderr, "Cannot access MTD device %s: %s\n", pl.path, strerror(errno));
            return -1;
        }
    }
    static env_copy copies[2];
    bool valid[2];
    uint32_t type[2] = {0, 0};
    for (int i = 0; i < 2; i++) {
        valid[i] = read_copy(i, &copies[i], &type[i]) == 0 && copy_crc(&copies[i]) == copies[i].crc;
    }
    if (type[0] != type[1] || (type[0] != FLASH_TYPE_NOR && type[0] != FLASH_TYPE_NAND)) {
        fprintf(stderr, "Incompatible flash types!\n");
        return -1;
    }
    if (valid[0] && valid[1]) {
        uint8_t f0 = copies[0].flags, f1 = copies[1].flags;
        // The flag counts up and wraps: 0 follows 255 whichever copy holds it.
        if (f0 == 255 && f1 == 0)
            g_cur = 1;
        else if (f0 == 0 && f1 == 255)
            g_cur = 0;
        else
            g_cur = f0 < f1 ? 1 : 0;
    } else if (valid[0] || valid[1]) {
        g_cur = valid[0] ? 0 : 1;
    } else {
        fprintf(stderr, "Warning: Bad CRC, using default environment\n");
        memset(&copies[0], 0, sizeof copies[0]);
        memcpy(copies[0].data, default_env, sizeof default_env);
        copies[0].crc = copy_crc(&copies[0]);
        g_cur = 0;
    }
    g_env = copies[g_cur];
    g_loaded = true;
    return 0;
}

void env_deinit()
{
    g_loaded = false;
    memset(&g_env, 0, sizeof g_env);
}

bool env_loaded() { return g_loaded; }

int env_current_copy() { return g_cur; }

const char *hs_getenv(const char *name)
{
    if (!g_loaded || !valid_name(name))
        return nullptr;
    long e = 0;
    long s = find_text(g_env.data, name, &e);
    if (s < 0)
        return nullptr;
    return g_env.data + s + strlen(name) + 1;
}

int hs_setenv(const char *name, const char *value)
{
    return env_change(name, value);
}

int hs_setenv_many(int n, const char *const names[], const char *const values[])
{
    return env_change(n, names, values);
}

int hs_printenv()
{
    if (!g_loaded)
        return -1;
    // Check the whole list first so that a broken store prints nothing.
    if (list_end(g_env.data) < 0)
        return -1;
    for (long i = 0; i < ENV_DATA_SIZE && g_env.data[i];) {
        long e = text_end(g_env.data, i);
        printf("%s\n", g_env.data + i);
        i = e + 1;
    }
    fflush(stdout);
    return 0;
}

const char *fw_getenv(const char *name)
{
    if (ensure_loaded() != 0)
        return nullptr;
    return hs_getenv(name);
}

int fw_printenv(int argc, char *argv[])
{
    if (ensure_loaded() != 0)
        return -1;
    if (argc <= 0)
        return hs_printenv();
    int rc = 0;
    if (!strcmp(argv[0], "-n")) {
        if (argc != 2) {
            fprintf(stderr, "## Error: `-n' option requires exactly one argument\n");
            return -1;
        }
        const char *v = hs_getenv(argv[1]);
        if (!v) {
            fprintf(stderr, "## Error: \"%s\" not defined\n", argv[1]);
            return -1;
        }
        printf("%s\n", v);
        fflush(stdout);
        return 0;
    }
    for (int i = 0; i < argc; i++) {
        const char *v = hs_getenv(argv[i]);
        if (!v) {
            fprintf(stderr, "## Error: \"%s\" not defined\n", argv[i]);
            rc = -1;
            continue;
        }
        printf("%s=%s\n", argv[i], v);
    }
    fflush(stdout);
    return rc;
}

int fw_setenv(int argc, char *argv[])
{
    if (argc < 1 || ensure_loaded() != 0)
        return -1;
    const char *name = argv[0];
    if (!valid_name(name))
        return -1;
    if (!strcmp(name, "serial#") && hs_getenv(name)) {
        fprintf(stderr, "Can't overwrite \"%s\"\n", name);
        return -1;
    }
    if (argc == 1)
        return env_change(name, nullptr);
    std::string value;
    for (int i = 1; i < argc; i++) {
        if (i > 1)
            value += ' ';
        value += argv[i];
        // Larger than the whole store cannot fit; stop growing the text.
        if (value.size() > ENV_DATA_SIZE) {
            fprintf(stderr, "Error: environment overflow, \"%s\" deleted\n", name);
            return -1;
        }
    }
    return env_change(name, value.c_str());
}
