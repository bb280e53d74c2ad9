#include "upfw.h"

#include "env.h"
#include "nvr_root.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int major_of(uint32_t v) { return (int)((v >> 16) & 0xFF); }
int minor_of(uint32_t v) { return (int)((v >> 8) & 0xFF); }
int patch_of(uint32_t v) { return (int)(v & 0xFF); }
int platform_of(uint32_t v) { return (int)(v >> 24); }

bool file_exists(const char *path)
{
    struct stat st;
    return stat(nvr_path(path).c_str(), &st) == 0;
}

int refuse(const char *text)
{
    printf("%s\n", text);
    fflush(stdout);
    return -1;
}

// Accepting a jump from a 7.x file system to a newer generation leaves the
// marker for the programs that migrate the data at the next start.
int accept(int new_major, int cur_major)
{
    if (new_major > 7 && cur_major < 8) {
        std::string p = nvr_path(UPFW_MARKER_PATH);
        int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            fprintf(stderr, "touch %s: %s\n", UPFW_MARKER_PATH, strerror(errno));
        else
            close(fd);
    }
    return 0;
}

// Replaces the digit after marker: '1' <-> '2'. Returns the digit found
// ('1' or '2'), or 0 when the marker is absent, 'x' for any other digit.
char flip_digit(char *text, const char *marker)
{
    char *p = strstr(text, marker);
    if (!p)
        return 0;
    p += strlen(marker);
    char c = *p;
    if (c == '1')
        *p = '2';
    else if (c == '2')
        *p = '1';
    else
        return 'x';
    return c;
}

void print_version4(const char *label, uint32_t v)
{
    printf("%s%d.%d.%d.%d\n", label, (int)(v >> 24), major_of(v), minor_of(v), patch_of(v));
}

void plan_slot(upfw_plan_entry *e, const upfw_part *rec, const char *part, const mtd_dev_list &devs)
{
    e->write = 1;
    snprintf(e->part, sizeof e->part, "%s", part);
    int idx = ptb_part_index(part);
    snprintf(e->dev, sizeof e->dev, "%s", idx >= 0 ? devs.dev[idx] : "");
    e->offset = rec->offset;
    e->size = rec->size;
    e->flag = rec->flag;
    e->addr = rec->addr;
    e->version = rec->version;
    e->date = rec->date;
}

// The larger memory setting a boot loader of these boards needs, plus the
// vmalloc area. The field is checked before anything is written: a
// bootargs that cannot take the addition refuses the update.
bool adjust_memory(char *bootargs, size_t size, const char *mem)
{
    char *p = strstr(bootargs, "mem=1024M");
    if (p)
        memcpy(p + 4, mem, 4);
    if (!strstr(bootargs, "vmalloc")) {
        const char add[] = " vmalloc=1024M";
        size_t n = strlen(bootargs);
        if (n + sizeof add > size)
            return false;
        memcpy(bootargs + n, add, sizeof add);
    }
    return true;
}

int fail(int code, const char *msg)
{
    fprintf(stderr, "%s", msg);
    return code;
}

} // namespace

const char *upfw_result_text(int code)
{
    switch (code) {
    case UPFW_OK: return "update success!";
    case UPFW_ERR: return "update faild!";
    case UPFW_ERR_VERIFY: return "verify update firmware faild!";
    case UPFW_ERR_ANALYSIS: return "analysis update firmware faild!";
    case UPFW_ERR_PTB: return "update ptb partition faild!";
    case UPFW_ERR_BLD: return "update bld partition faild!";
    case UPFW_ERR_HAL: return "update hal partition faild!";
    case UPFW_ERR_DSP: return "update dsp partition faild!";
    case UPFW_ERR_KERNEL: return "update kernel partition faild!";
    case UPFW_ERR_FILESYS: return "update filesys partition faild!";
    case UPFW_ERR_CMDLINE: return "update cmdline faild!";
    case UPFW_ERR_KER1_VERSION: return "kernel 1 version mismatch!";
    case UPFW_ERR_KER2_VERSION: return "kernel 2 version mismatch!";
    case UPFW_MISMATCH: return "firmware mismatch!";
    default: return "unknow error!";
    }
}

int UPFW_log(int code, const char *msg)
{
    if (!msg)
        msg = "";
    fprintf(stderr, "%s", msg);
    char block[2][UPFW_LOG_BLOCK];
    memset(block, 0, sizeof block);
    snprintf(block[0], sizeof block[0], "%d\n", code);
    snprintf(block[1], sizeof block[1], "%s", msg);
    std::string path = nvr_path(UPFW_LOG_PATH);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        fprintf(stderr, "open %s\n", UPFW_LOG_PATH);
        return -1;
    }
    fchmod(fd, 0666); // read by the web side, whatever our umask
    int rc = -1;
    if (write(fd, block[0], sizeof block[0]) != (ssize_t)sizeof block[0])
        fprintf(stderr, "write %s\n", UPFW_LOG_PATH);
    else if ((rc = (int)write(fd, block[1], sizeof block[1])) != (int)sizeof block[1]) {
        fprintf(stderr, "write upfw.log\n");
        rc = -1;
    }
    if (close(fd) != 0)
        rc = -1;
    return rc;
}

int get_mtd_info(mtd_dev_list *list)
{
    memset(list, 0, sizeof *list);
    FILE *f = fopen(nvr_path(MTD_LIST_PATH).c_str(), "r");
    if (!f) {
        fprintf(stderr, "popen %s\n", MTD_LIST_PATH);
        return -1;
    }
    char line[256];
    while (fgets(line, sizeof line, f)) {
        // "mtd5: 04000000 00020000 "fs1"": the device, then the quoted name,
        // which must equal a partition name exactly ("fs1" is not "fs10").
        char *colon = strchr(line, ':');
        char *q1 = strchr(line, '"');
        char *q2 = q1 ? strchr(q1 + 1, '"') : nullptr;
        if (!colon || !q2 || colon > q1)
            continue;
        *colon = 0;
        *q2 = 0;
        size_t n = strlen(line);
        bool dev_ok = n > 0 && n < MTD_PATH_SIZE - 5;
        for (size_t i = 0; i < n && dev_ok; i++)
            dev_ok = (line[i] >= 'a' && line[i] <= 'z') || (line[i] >= '0' && line[i] <= '9');
        int idx = ptb_part_index(q1 + 1);
        if (!dev_ok || idx < 0 || list->dev[idx][0])
            continue;
        snprintf(list->dev[idx], sizeof list->dev[idx], "/dev/%s", line);
    }
    fclose(f);
    return 0;
}

int clean_memory_and_sync()
{
    int rc = 0;
    int fd = open(nvr_path(DROP_CACHES_PATH).c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0 || write(fd, "3\n", 2) != 2) {
        fprintf(stderr, "clean memory error!\n");
        rc = -1;
    }
    if (fd >= 0)
        close(fd);
    sync();
    return rc;
}

int UPFW_version_check(const char *path)
{
    upfw_header hdr;
    int fd = upfw_read_header(path, &hdr);
    if (fd < 0)
        return -1;
    close(fd);
    ptb_table t;
    if (get_env_mtd_table(&t) != 0) {
        fprintf(stderr, "flprog_get_part_table faild!\n");
        return -1;
    }
    uint32_t nv = hdr.part[SLOT_FS].version;
    uint32_t cv = strstr(t.bootargs, "fs2") ? t.part[6].version : t.part[5].version;
    int nM = major_of(nv), nm = minor_of(nv), np = patch_of(nv);
    int cM = major_of(cv), cp = patch_of(cv);
    printf("version = %d.%d.%d\n", nM, nm, np);
    fflush(stdout);

    int plat = platform_of(t.part[0].version);
    if (plat != platform_of(hdr.part[SLOT_BLD].version) && plat != platform_of(hdr.part[SLOT_BLD2].version))
        return refuse("platform dismatch !");

    if (file_exists(UPFW_OEM_DB)) {
        bool special = file_exists(UPFW_SPECIAL_OEM);
        if (nM < 8 && cM < 8) {
            if (nm == 0 && special)
                return refuse("OEM special do not support update 7.0.x ");
            return accept(nM, cM);
        }
        if (nM >= 8 && cM < 8)
            return special ? accept(nM, cM) : refuse("OEM do not support update 7.x to 8.x ");
        if (nM < 8 && cM >= 8)
            return refuse("OEM do not support update 8.x to 7.x ");
        if (nM >= 9 && cM == 8)
            return special ? accept(nM, cM) : refuse("OEM do not support update 8.x to 9.x ");
    }

    if (nM < 9 && cM >= 9)
        return refuse("do not support back to < 9.0.x from 9.0.x. ");
    if (nM == 7 && cM == 7 && np < 9 && cp > 8 && model_is("KTR4410"))
        return refuse("4410 do not support update 7.x.9+ to 7.x.8- ");
    if (nM == 9 && np < 10 && model_is("KTR4420"))
        return refuse("4420 do not support update 9+.x.10+ to 9-.x.10- ");
    if (nM == 9 && np < 15 && model_ktr4430_vavb())
        return refuse("4430VA/VB do not support update 9+.x.15+ to 9.x.15- ");
    if (nM == 9 && np < 12 && model_is("KTR4430"))
        return refuse("4430 do not support update 9+.x.12+ to 9.x.12- ");
    if (nM == 9 && np < 14 && model_ktr4470_ir804ar())
        return refuse("4470_ir804ar do not support update 9+.x.14+ to 9.x.14- ");
    if (nM == 9 && np < 15 && model_new_flash())
        return refuse("new flash[MX35LF2G24AD] do not support update 9+.x.15+ to 9.x.15- ");
    return accept(nM, cM);
}

int UPFW_run_update(const char *path)
{
    upfw_header hdr;
    int fd = upfw_read_header(path, &hdr);
    if (fd < 0)
        return fail(UPFW_ERR, "image_get_header_info faild!\n");
    close(fd);

    printf("Get old ptb information!\n");
    fflush(stdout);
    ptb_table t;
    if (get_env_mtd_table(&t) != 0)
        return fail(UPFW_ERR_PTB, "flprog_get_part_table faild!\n");

    printf("Verify image %s \n", path);
    fflush(stdout);
    if (UPFW_verify(path, &t) != 0)
        return fail(UPFW_ERR_VERIFY, "Verify update firmware faild!\n");

    printf("Get mtd device information!\n");
    fflush(stdout);
    mtd_dev_list devs;
    if (get_mtd_info(&devs) != 0)
        return fail(UPFW_ERR_PTB, "get_mtd_info faild!\n");

    // The table carries bootargs and bootcmd in 512-byte fields; longer
    // ones would be stored back cut short by the switch below.
    const char *names[2] = {"bootargs", "bootcmd"};
    for (const char *n : names) {
        const char *v = hs_getenv(n);
        if (v && strlen(v) >= PTB_CMDLINE_SIZE) {
            fprintf(stderr, "%s is longer than %d characters!\n", n, PTB_CMDLINE_SIZE - 1);
            return UPFW_ERR_CMDLINE;
        }
    }

    char fs = flip_digit(t.bootargs, "=fs");
    if (!fs) {
        fprintf(stderr, "cmdline: %s \n", t.bootargs);
        return fail(UPFW_ERR_PTB, "bootargs not find fs, maybe NFS!\n");
    }
    if (fs == 'x')
        return fail(UPFW_ERR_PTB, "unknow fs partition!\n");
    printf("  current is fs%c \n", fs);

    char ker = flip_digit(t.bootcmd, "ker");
    if (!ker)
        return fail(UPFW_ERR_PTB, " bootcmd is null!\n");
    if (ker == 'x')
        return fail(UPFW_ERR_PTB, "  unknow bootcmd!\n");
    printf("  current is ker%c \n", ker);
    fflush(stdout);

    // Plan. The file system goes where the new bootargs point and the
    // kernel where the new bootcmd points, so neither running partition is
    // ever written, even when the two digits disagree.
    upfw_plan plan;
    memset(&plan, 0, sizeof plan);
    const ptb_entry &ub = t.part[0];
    const ptb_entry &logo = t.part[2];
    const upfw_part *rec = hdr.part;
    bool ktr4410 = model_is("KTR4410");
    bool big_mem = model_is("KTR4440") || model_is("KTR4450") || model_is("KTR4460");
    bool args_ok = true;
    if (!ktr4410 && upfw_part_present(&rec[SLOT_BLD]) &&
        minor_of(rec[SLOT_BLD].version) == minor_of(ub.version) &&
        patch_of(rec[SLOT_BLD].version) > patch_of(ub.version)) {
        plan_slot(&plan.slot[SLOT_BLD], &rec[SLOT_BLD], "uboot", devs);
        if (big_mem)
            args_ok = adjust_memory(t.bootargs, sizeof t.bootargs, "1224");
    }
    if (upfw_part_present(&rec[SLOT_BLD2]) &&
        patch_of(rec[SLOT_BLD2].version) > patch_of(ub.version) &&
        (ktr4410 || minor_of(rec[SLOT_BLD2].version) == minor_of(ub.version))) {
        plan_slot(&plan.slot[SLOT_BLD2], &rec[SLOT_BLD2], "uboot", devs);
        if (ktr4410)
            args_ok = adjust_memory(t.bootargs, sizeof t.bootargs, "2048") && args_ok;
    }
    if (upfw_part_present(&rec[SLOT_JPG]) && minor_of(rec[SLOT_JPG].version) == minor_of(logo.version) &&
        rec[SLOT_JPG].version != logo.version)
        plan_slot(&plan.slot[SLOT_JPG], &rec[SLOT_JPG], "logo", devs);
    if (!upfw_part_present(&rec[SLOT_FS]))
        return fail(UPFW_ERR_FILESYS, "No filesys image!\n");
    char part[8];
    snprintf(part, sizeof part, "fs%c", fs == '1' ? '2' : '1');
    plan_slot(&plan.slot[SLOT_FS], &rec[SLOT_FS], part, devs);
    if (!upfw_part_present(&rec[SLOT_KER]))
        return fail(UPFW_ERR_KERNEL, "No filesys image!\n");
    snprintf(part, sizeof part, "ker%c", ker == '1' ? '2' : '1');
    plan_slot(&plan.slot[SLOT_KER], &rec[SLOT_KER], part, devs);

    if (!args_ok)
        return fail(UPFW_ERR_CMDLINE, "bootargs has no room for vmalloc=1024M!\n");
    // Every target must exist before the first byte is written.
    for (const upfw_plan_entry &e : plan.slot) {
        if (e.write && !e.dev[0]) {
            fprintf(stderr, "No mtd device of %s partition!\n", e.part);
            return UPFW_ERR_PTB;
        }
    }

    for (int i = 0; i < UPFW_SLOTS; i++) {
        const upfw_plan_entry &e = plan.slot[i];
        if (!e.write)
            continue;
        char name[sizeof rec[i].name + 1];
        upfw_part_name(&rec[i], name, sizeof name);
        printf("Update %s partition:\n", name);
        printf("dev \t    = %s\n", e.dev);
        printf("offset   = 0x%08X\n", e.offset);
        printf("size\t    = 0x%08X (%d K)\n", e.size, (int)(e.size / 1024));
        printf("addr\t    = 0x%08X\n", e.addr);
        printf("flag\t    = 0x%08X\n", e.flag);
        printf("date\t    = %d/%d/%d\n", (int)(e.date >> 16), (int)((e.date >> 8) & 0xFF),
               (int)(e.date & 0xFF));
        print_version4("version = ", e.version);
        fflush(stdout);
        clean_memory_and_sync();
        int rc;
        if (i == SLOT_BLD || i == SLOT_BLD2) {
            rc = spi_flash_write_file(path, &e) == 0 ? 0 : UPFW_ERR_BLD;
        } else if (nand_flash_write_file(path, &e) == 0) {
            rc = 0;
        } else if (i == SLOT_KER) {
            rc = UPFW_ERR_KERNEL;
        } else if (i == SLOT_FS) {
            rc = UPFW_ERR_FILESYS;
        } else {
            fprintf(stderr, "nand_flash_write_file unkown parttition faild!\n");
            rc = UPFW_ERR;
        }
        clean_memory_and_sync();
        if (rc != 0)
            return rc;
    }

    // The switch: bootargs and bootcmd together, in one store.
    if (set_env_cmdline(&t) != 0)
        return fail(UPFW_ERR_PTB, "set_env_cmdline faild!\n");
    return UPFW_OK;
}
