// Applying an upgrade image: the compatibility check, the update plan, the
// NAND and SPI partition writers, the switch of the boot pair and the
// result log "/mnt/nand/upfw.log".
//
// The recorder keeps two root file systems (fs1, fs2) and two kernels
// (ker1, ker2). An update writes the pair that is not running and then
// points "bootargs" and "bootcmd" at it in one store of the boot
// environment, so a power cut at any moment starts either the old pair or
// the new one.
#pragma once

#include "byteorder.h"
#include "image.h"
#include "ptb.h"

#include <cstddef>
#include <cstdint>

// Result codes of an update run.
enum {
    UPFW_OK = 0,
    UPFW_ERR = -1,
    UPFW_ERR_VERIFY = -2,
    UPFW_ERR_ANALYSIS = -3,
    UPFW_ERR_PTB = -4,
    UPFW_ERR_BLD = -5,
    UPFW_ERR_HAL = -6,
    UPFW_ERR_DSP = -7,
    UPFW_ERR_KERNEL = -8,
    UPFW_ERR_FILESYS = -9,
    UPFW_ERR_CMDLINE = -10,
    UPFW_ERR_KER1_VERSION = -11,
    UPFW_ERR_KER2_VERSION = -12,
    UPFW_MISMATCH = -14, // compatibility refusal, before any writing
};

// Image slots as the build table numbers them.
enum {
    SLOT_BLD = 0, SLOT_KER = 1, SLOT_FS = 2, SLOT_CMD = 3, SLOT_JPG = 4, SLOT_BLD2 = 5,
    SLOT_TOOL = 6,
};

#define UPFW_LOG_PATH "/mnt/nand/upfw.log"
#define UPFW_MARKER_PATH "/mnt/nand/updb.cfg"
#define UPFW_OEM_DB "/mnt/nand2/oem.db"
#define UPFW_SPECIAL_OEM "/opt/app/bin/special_oem.cfg"
#define MTD_LIST_PATH "/proc/mtd"
#define FLASH_ERASE_PROGRAM "/usr/sbin/flash_erase"
#define DROP_CACHES_PATH "/proc/sys/vm/drop_caches"

enum {
    UPFW_LOG_BLOCK = 256, // the log is two blocks: code, then message
    MTD_PATH_SIZE = 32,
    SPI_PIECE = 10240,
};

// Device path of each partition of g_part_str ("" when it has none).
struct mtd_dev_list {
    char dev[PTB_PARTS][MTD_PATH_SIZE];
};
static_assert(sizeof(mtd_dev_list) == PTB_PARTS * MTD_PATH_SIZE, "device list");

// One image slot of the update plan.
struct upfw_plan_entry {
    int32_t write;             // 1: write this slot
    char part[PTB_NAME_SIZE];  // target partition name
    char dev[MTD_PATH_SIZE];   // target device path ("/dev/mtd5")
    uint32_t offset;           // payload position in the image
    uint32_t size;
    uint32_t flag;
    uint32_t addr;
    uint32_t version;
    uint32_t date;
};
static_assert(sizeof(upfw_plan_entry) == 92, "plan entry is 92 bytes");
static_assert(offsetof(upfw_plan_entry, part) == 4, "part");
static_assert(offsetof(upfw_plan_entry, dev) == 36, "dev");
static_assert(offsetof(upfw_plan_entry, offset) == 68, "offset");
static_assert(offsetof(upfw_plan_entry, date) == 88, "date");

struct upfw_plan {
    upfw_plan_entry slot[UPFW_SLOTS];
};

// 0 = may be applied, -1 = refused or unreadable.
int UPFW_version_check(const char *path);
// One of the result codes above.
int UPFW_run_update(const char *path);
// Writes the result log; bytes written by the last write, or -1.
int UPFW_log(int code, const char *msg);
// The logged message of a result code (without line break).
const char *upfw_result_text(int code);

int nand_flash_write_file(const char *path, const upfw_plan_entry *entry);
int spi_flash_write_file(const char *path, const upfw_plan_entry *entry);
int get_mtd_info(mtd_dev_list *list);
int clean_memory_and_sync();

// Model of this recorder, from the chip tool and the boot environment.
// The chip tool runs at most once per process.
bool model_is(const char *code);          // its first output line contains code
bool model_ktr4470_ir804ar();             // KTR4470 with the IR804AR PoE controller
bool model_ktr4430_vavb();                // "chipinfo": KTR4430 with 'N' at 14
bool model_new_flash();                   // "flashtype" is MX35LF2G24AD
// Forgets the chip tool's answer (tests, or after the chip text changed).
void model_forget();
