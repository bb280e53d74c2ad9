#include "factory_options.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "nvr_root.h"
#include "outside/qxdb.h"
#include "web_utils/ipc.h"
#include "web_utils/response.h"
#include "web_utils/shell.h"

namespace {

enum { OPTION_FIELD = 64, CHIP_TEXT_LEN = 32, HASH_BUCKETS = 64, REQ_SET_LANGUAGE = 4000 };

struct HttpOption {
    char name[OPTION_FIELD];
    char value[OPTION_FIELD];
};
static_assert(sizeof(HttpOption) == 128, "parsed option entry is 128 bytes");

typedef void (*HttpOptionHandler)(const HttpOption &opt);

struct HttpOptionRow {
    const char *name;
    HttpOptionHandler handler;
};

void answer(const char *text)
{
    cgi_writeback_webserver(CGI_TEXT, text);
}

// Stores a named parameter, creating it when missing.
void store_param(const char *key, const char *value)
{
    if (check_param_key(CONFIG_DB_PATH, key))
        add_param_value(CONFIG_DB_PATH, key, value);
    else
        set_param_value(CONFIG_DB_PATH, key, value);
}

void opt_setlang(const HttpOption &opt)
{
    int32_t lang = atoi(opt.value);
    cgi_notify(REQ_SET_LANGUAGE, &lang, sizeof lang);
    answer("OK");
}

void opt_setdefault(const HttpOption &) {}

void opt_decode(const HttpOption &opt)
{
    store_param("decode", opt.value);
    answer("OK");
}

void opt_hotplug(const HttpOption &opt)
{
    store_param("hdmihotplug", opt.value);
    answer("OK");
}

// A device path under the root, as one command-line word.
std::string word(const char *device_path)
{
    char w[1024];
    shell_word(nvr_path(device_path).c_str(), w, sizeof w);
    return w;
}

void opt_oemclean(const HttpOption &)
{
    const std::string nand2 = word("/mnt/nand2"), bin = word("/opt/app/bin");
    const std::string www = word("/opt/app/www"), app = word("/mnt/nand/app");
    web_systemf("cp %s/%s %s/logo.jpg > /dev/null", nand2.c_str(), "logo.jpg_bk", bin.c_str());
    web_systemf("cp %s/%s %s/gui.rcc > /dev/null", nand2.c_str(), "gui.rcc_bk", bin.c_str());
    web_systemf("rm %s/* > /dev/null", nand2.c_str());
    web_systemf("tar -zxvf %s/%s -C %s/ > /dev/null", www.c_str(), "web.tar.gz", www.c_str());
    web_systemf("touch %s/%s", app.c_str(), "eraseip");
    web_systemf("touch %s/%s", app.c_str(), "eraseuser");
    set_param_int(CONFIG_DB_PATH, "oem_type", 0);
    web_systemf("touch %s/%s", app.c_str(), "eraseall");
    web_system("sync");
    answer("OK");
}

void opt_paratest(const HttpOption &opt)
{
    if (strcmp(opt.value, "chipinfo") != 0) {
        answer("Param ERROR");
        return;
    }
    char chip[64];
    if (cgi_read_chip_info(chip, sizeof chip) != 0) {
        answer("ERROR");
        return;
    }
    char text[128];
    snprintf(text, sizeof text, "OK chipinfo=%s\n", chip);
    answer(text);
}

// The current chip text, padded with '0' to its 32 characters so that a
// field written into it never leaves a hole. False when it cannot be read.
bool current_chip(char (&chip)[64])
{
    if (cgi_read_chip_info(chip, sizeof chip) != 0)
        return false;
    size_t n = strlen(chip);
    while (n < CHIP_TEXT_LEN)
        chip[n++] = '0';
    chip[n] = '\0';
    return true;
}

int write_chip(const char *chip)
{
    char w[160];
    if (shell_word(chip, w, sizeof w) != 0)
        return -1;
    return web_systemf("qxchip_update %s", w);
}

// A field of the chip text: its marker letter, where the marker sits, and
// how many characters follow it.
struct ChipField {
    char marker;
    int pos;
    int len;
};
const ChipField kChipFields[] = {{'N', 2, 6}, {'H', 9, 2}, {'E', 12, 7}, {'S', 20, 11}};

const ChipField *chip_field(char marker)
{
    for (const ChipField &f : kChipFields)
        if (f.marker == marker)
            return &f;
    return nullptr;
}

void opt_chipupdate(const HttpOption &opt)
{
    char value[OPTION_FIELD];
    snprintf(value, sizeof value, "%s", opt.value);
    size_t len = strlen(value);
    if (len > 20 && len < CHIP_TEXT_LEN) {
        memset(value + len, '0', CHIP_TEXT_LEN - len);
        value[CHIP_TEXT_LEN] = '\0';
        len = CHIP_TEXT_LEN;
    }
    char chip[64];
    bool have = current_chip(chip);
    const ChipField *f = len ? chip_field(value[0]) : nullptr;
    bool ok = len > 0 && len <= CHIP_TEXT_LEN;
    if (ok && f) {
        // The data after the marker must all be there, and so must the text
        // it goes into.
        ok = have && len >= static_cast<size_t>(1 + f->len);
        if (ok)
            memcpy(chip + f->pos + 1, value + 1, static_cast<size_t>(f->len));
    } else if (ok) {
        ok = strncmp(value, "KTR", 3) == 0;
        if (ok)
            snprintf(chip, sizeof chip, "%s", value);
    }
    if (!ok || write_chip(chip) != 0) {
        answer("NG chipupdate");
        return;
    }
    answer("OK chipupdate");
}

void opt_modelupdate(const HttpOption &opt)
{
    const ChipField *f = opt.value[0] ? chip_field(opt.value[0]) : nullptr;
    size_t len = strlen(opt.value);
    char chip[64];
    if (!f || len > static_cast<size_t>(f->len + 1) || !current_chip(chip)) {
        answer("NG modelupdate");
        return;
    }
    // Marker and data, padded with '0' to the field's length.
    memset(chip + f->pos, '0', static_cast<size_t>(f->len + 1));
    memcpy(chip + f->pos, opt.value, len);
    if (write_chip(chip) != 0) {
        answer("NG modelupdate");
        return;
    }
    answer("OK modelupdate");
}

void opt_softversion(const HttpOption &)
{
    char version[256];
    get_param_value(CONFIG_DB_PATH, "software_version", version, sizeof version, "7x.7.0.9");
    answer(version);
}

const HttpOptionRow HttpOptionTable[] = {
    {"setlang", opt_setlang},       {"setdefault", opt_setdefault}, {"decode", opt_decode},
    {"hotplug", opt_hotplug},       {"oemclean", opt_oemclean},     {"paratest", opt_paratest},
    {"chipupdate", opt_chipupdate}, {"modelupdate", opt_modelupdate}, {"softversion", opt_softversion},
};
constexpr int kOptionCount = sizeof HttpOptionTable / sizeof HttpOptionTable[0];

const char HTTP_OPTION_NO_ARG[10][OPTION_FIELD] = {"oemclean", "qwill", "debug", "softversion"};

// Options by name: 64 buckets of rows, newest first in each.
struct OptionNode {
    const HttpOptionRow *row;
    OptionNode *next;
};
struct OptionHash {
    OptionNode *bucket[HASH_BUCKETS];
    OptionNode nodes[kOptionCount];
};

uint32_t option_hash(const char *name)
{
    uint32_t h = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; p++)
        h = h * 37 + *p;
    return h;
}

void build_hash(OptionHash &cmd_hash)
{
    memset(&cmd_hash, 0, sizeof cmd_hash);
    for (int i = 0; i < kOptionCount; i++) {
        uint32_t b = option_hash(HttpOptionTable[i].name) & (HASH_BUCKETS - 1);
        cmd_hash.nodes[i] = {&HttpOptionTable[i], cmd_hash.bucket[b]};
        cmd_hash.bucket[b] = &cmd_hash.nodes[i];
    }
}

const HttpOptionRow *find_option(const OptionHash &cmd_hash, const char *name)
{
    for (OptionNode *n = cmd_hash.bucket[option_hash(name) & (HASH_BUCKETS - 1)]; n; n = n->next)
        if (strcmp(n->row->name, name) == 0)
            return n->row;
    return nullptr;
}

// Copies text up to one of the stop characters into a 64-byte field.
// False when it does not fit.
bool take_part(const char *&p, const char *stops, char (&field)[OPTION_FIELD])
{
    size_t n = strcspn(p, stops);
    if (n >= OPTION_FIELD)
        return false;
    memcpy(field, p, n);
    field[n] = '\0';
    p += n;
    if (*p)
        p++;
    return true;
}

} // namespace

int cgi_read_chip_info(char *buf, int size)
{
    if (!buf || size <= 0)
        return -1;
    const std::string file = nvr_path("/tmp/chipinfo.txt");
    char w[1024];
    shell_word(file.c_str(), w, sizeof w);
    web_systemf("qxchip_update -r 32 > %s", w);
    int rc = -1;
    if (FILE *f = fopen(file.c_str(), "r")) {
        char line[128];
        while (fgets(line, sizeof line, f)) {
            if (!strstr(line, "Read old:"))
                continue;
            line[strcspn(line, "\r\n")] = '\0';
            snprintf(buf, static_cast<size_t>(size), "%s", strlen(line) > 9 ? line + 9 : "");
            rc = 0;
            break;
        }
        fclose(f);
    }
    web_systemf("rm -f %s", w);
    return rc;
}

void on_cgi_http_option(const char *req)
{
    if (!req) {
        answer("ERROR");
        return;
    }
    OptionHash cmd_hash;
    build_hash(cmd_hash);

    // A GET query is at most 255 characters, so at most 128 "=" signs.
    HttpOption entries[128];
    int count = 0;
    for (const auto &name : HTTP_OPTION_NO_ARG) {
        if (name[0] && strcmp(req, name) == 0) {
            memcpy(entries[0].name, name, sizeof entries[0].name);
            snprintf(entries[0].value, sizeof entries[0].value, "1");
            count = 1;
            break;
        }
    }
    if (count == 0) {
        int pairs = 0;
        for (const char *p = req; *p; p++)
            pairs += *p == '=';
        if (pairs == 0 || pairs > static_cast<int>(sizeof entries / sizeof entries[0])) {
            answer("PARAM ERROR");
            return;
        }
        const char *p = req;
        for (; count < pairs; count++) {
            if (!take_part(p, "=&", entries[count].name) || !take_part(p, "&", entries[count].value)) {
                answer("PARAM ERROR");
                return;
            }
        }
    }
    for (int i = 0; i < count; i++) {
        const HttpOptionRow *row = find_option(cmd_hash, entries[i].name);
        if (!row) {
            answer("ERROR");
            return;
        }
        row->handler(entries[i]);
    }
}
