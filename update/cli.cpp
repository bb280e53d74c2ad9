#include "cli.h"

#include "env.h"
#include "image.h"
#include "nvr_root.h"
#include "ptb.h"
#include "upfw.h"

#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <climits>
#include <cstring>
#include <getopt.h>

namespace {

enum {
    OPT_HELP = 256, OPT_VERSION, OPT_SHOW, OPT_AUTO_BOOT, OPT_AUTO_DL, OPT_PRI_ADDR,
    OPT_PRI_FILE, OPT_SERVERIP, OPT_ETH0_IP, OPT_ETH0_MASK, OPT_ETH0_GW, OPT_UBOOT_VER,
    OPT_WIFI0_IP, OPT_WIFI0_MASK, OPT_WIFI0_GW,
};

enum { IMAGE_PATH_MAX = 127, SN_MAX = 32, PRI_FILE_MAX = 32 };

struct option_row {
    const char *name;
    int has_arg;
    int val;       // the letter, or an OPT_ number for long-only options
    const char *arg_name;
    const char *help;
};

const option_row rows[] = {
    {"help", no_argument, OPT_HELP, nullptr, "display this help and exit"},
    {"version", no_argument, OPT_VERSION, nullptr, "output version information and exit"},
    {"show", no_argument, OPT_SHOW, nullptr, "Show Vantrel AMBOOT information "},
    {"upfw", no_argument, 'u', nullptr, "Update Vantrel upgrade images"},
    {"analysis", no_argument, 'a', nullptr, "Analysis Vantrel upgrade images"},
    {"oem", no_argument, 'e', nullptr, "Analysis Vantrel upgrade OEM images"},
    {"list", no_argument, 'l', nullptr, "List upgrade image information"},
    {"bootState", required_argument, 'B', "state", "set boot state"},
    {"system", required_argument, 'S', "id", "Switch Vantrel System"},
    {"sn", required_argument, 'N', "sn", "Update Vantrel AMBOOT SN "},
    {"cmdline", required_argument, 'C', "str", "Update Vantrel AMBOOT cmdline "},
    {"delay", required_argument, 'D', "digit", "Update Vantrel AMBOOT bootdelay "},
    {"auto_boot", required_argument, OPT_AUTO_BOOT, "digit",
     "Update Vantrel AMBOOT load linux from nandflash or no "},
    {"auto_dl", required_argument, OPT_AUTO_DL, "digit",
     "Update Vantrel AMBOOT load linux from network or no "},
    {"pri_addr", required_argument, OPT_PRI_ADDR, "hex", "Update Vantrel AMBOOT pri_addr "},
    {"pri_file", required_argument, OPT_PRI_FILE, "str", "Update Vantrel updated file name(32bytes) "},
    {"serverip", required_argument, OPT_SERVERIP, "ip", "Update Vantrel AMBOOT tftpd server ip "},
    {"eth0_mac", required_argument, 'E', "MAC", "Update Vantrel AMBOOT eth0 MAC "},
    {"eth0_ip", required_argument, OPT_ETH0_IP, "ip", "Update Vantrel AMBOOT eth0 lan ip "},
    {"eth0_mask", required_argument, OPT_ETH0_MASK, "ip", "Update Vantrel AMBOOT eth0 lan mask "},
    {"eth0_gw", required_argument, OPT_ETH0_GW, "ip", "Update Vantrel AMBOOT eth0 lan gw "},
    {"uboot_ver", required_argument, OPT_UBOOT_VER, "ver", "set uboot version , eg: xx.xx.xx.xx"},
    {"wifi0_mac", required_argument, 'W', "MAC", "Update Vantrel AMBOOT wifi0 MAC "},
    {"wifi0_ip", required_argument, OPT_WIFI0_IP, "ip", "Update Vantrel AMBOOT wifi0 ip "},
    {"wifi0_mask", required_argument, OPT_WIFI0_MASK, "ip", "Update Vantrel AMBOOT wifi0 mask"},
    {"wifi0_gw", required_argument, OPT_WIFI0_GW, "ip", "Update Vantrel AMBOOT wifi0 gw "},
};
const int ROWS = (int)(sizeof rows / sizeof rows[0]);

void usage()
{
    printf("Usage:\n  update [OPTION] upfw_file \n  Writes to the specified MTD device.\n\n");
    for (const option_row &r : rows) {
        if (r.val < 256)
            printf("-%c ", r.val);
        else
            printf("   ");
        printf("--%s", r.name);
        if (r.arg_name)
            printf(" [%s]", r.arg_name);
        printf("\t%s\n", r.help);
    }
    printf("\n");
}

// Numbers take any base strtol knows. One outside the range of int comes
// back as INT_MIN, which the settings refuse, instead of wrapping round
// into some other, valid number.
int number(const char *s)
{
    errno = 0;
    long long v = strtoll(s, nullptr, 0);
    if (errno || v < INT_MIN || v > INT_MAX)
        return INT_MIN;
    return (int)v;
}

void print_date(uint32_t d)
{
    printf("\tdate    = %d/%d/%d\n", (int)(d >> 16), (int)((d >> 8) & 0xFF), (int)(d & 0xFF));
}

void print_heading(const ptb_table &t, const char *name)
{
    if (strstr(t.bootargs, name) || strstr(t.bootcmd, name))
        printf("%s:(current)\n", name);
    else if (strstr(t.bootargs, "nfs") && strstr(name, "fs"))
        printf("%s:(nfs)\n", name);
    else
        printf("%s:\n", name);
}

void print_part_version(uint32_t v)
{
    printf("\tversion = %d.%d.%d.%d\n", (int)(v >> 24), (int)((v >> 16) & 0xFF),
           (int)((v >> 8) & 0xFF), (int)(v & 0xFF));
}

void version_report()
{
    printf("Vantrel update version: %s\n", "0.1.0.1");
    ptb_table t;
    get_env_mtd_table(&t);
    for (const ptb_entry &e : t.part) {
        if (!e.version)
            continue;
        char name[PTB_NAME_SIZE + 1];
        snprintf(name, sizeof name, "%.*s", (int)PTB_NAME_SIZE, e.name);
        print_heading(t, name);
        print_part_version(e.version);
        printf("\tsize    = %d K\n", (int)(e.size / 1024));
        print_date(e.date);
    }
    fflush(stdout);
}

void show_report()
{
    printf("Vantrel update version: %s \n", "1.0.1");
    ptb_table t;
    if (get_env_mtd_table(&t) != 0) {
        fprintf(stderr, "flprog_get_part_table faild!\n");
    } else {
        for (const ptb_entry &e : t.part) {
            if (!e.size)
                continue;
            char name[PTB_NAME_SIZE + 1];
            snprintf(name, sizeof name, "%.*s", (int)PTB_NAME_SIZE, e.name);
            print_heading(t, name);
            print_part_version(e.version);
            printf("\tsize    = 0x%08X (%d K)\n", e.size, (int)(e.size / 1024));
            print_date(e.date);
        }
    }
    printf("\nMore details:\n");
    printf("Mtd information: ");
    fflush(stdout);
    char path[4096];
    nvr_path(path, sizeof path, "/proc/mtd");
    FILE *f = fopen(path, "r");
    if (f) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            fwrite(buf, 1, n, stdout);
        fclose(f);
    }
    fflush(stdout);
    if (hs_printenv() != 0)
        fprintf(stderr, "hs_printenv faild!\n");
}

// Runs one setting option; 0, or -1 after printing its failure text.
int apply_setting(int val, const char *arg)
{
    int rc = 0;
    const char *fail = nullptr;
    switch (val) {
    case 'B':
        rc = number(arg) == INT_MIN ? -1 : set_boot_state(number(arg));
        fail = "set boot state faild.\n";
        break;
    case 'S':
        // A negative or too large id is refused by the switch itself.
        rc = set_switch_filesys(number(arg));
        fail = "switch system faild.\n";
        break;
    case 'N':
        // Refused rather than cut: a shortened serial number is a wrong one.
        rc = strlen(arg) > SN_MAX ? -1 : set_ptb_sn(arg);
        fail = "update sn faild.\n";
        break;
    case 'C': rc = set_ptb_cmdline(arg); fail = "update cmdline faild.\n"; break;
    case 'D':
        rc = number(arg) == INT_MIN ? -1 : set_ptb_bootdelay(number(arg));
        fail = "update bootdelay faild.\n";
        break;
    case OPT_AUTO_BOOT: rc = set_ptb_autoboot(number(arg)); fail = "update auto_boot faild.\n"; break;
    case OPT_AUTO_DL: rc = set_ptb_autodownload(number(arg)); fail = "update auto_dl faild.\n"; break;
    case OPT_PRI_ADDR: rc = set_ptb_pri_addr(strtoul(arg, nullptr, 0)); fail = "update pri_addr faild.\n"; break;
    case OPT_PRI_FILE:
        rc = strlen(arg) > PRI_FILE_MAX ? -1 : set_ptb_pri_file(arg);
        fail = "update pri_file faild.\n";
        break;
    case OPT_SERVERIP: rc = set_ptb_tftpd_ip(arg); fail = "update tftpd ip address faild.\n"; break;
    case 'E': rc = set_ptb_eth_mac(arg); fail = "update eth0 mac faild.\n"; break;
    case OPT_ETH0_IP: rc = set_ptb_eth_ip(arg); fail = "update eth0 ip address faild.\n"; break;
    case OPT_ETH0_MASK: rc = set_ptb_eth_netmask(arg); fail = "update eth0 netmask faild.\n"; break;
    case OPT_ETH0_GW: rc = set_ptb_eth_gateway(arg); fail = "update eth0 gateway faild.\n"; break;
    case OPT_UBOOT_VER: rc = set_ptb_uboot_version(arg); fail = "update uboot version faild.\n"; break;
    case 'W': rc = set_ptb_wifi_mac(arg); fail = "update wifi0 mac faild.\n"; break;
    case OPT_WIFI0_IP: rc = set_ptb_wifi_ip(arg); fail = "update wifi0 ip address faild.\n"; break;
    case OPT_WIFI0_MASK: rc = set_ptb_wifi_netmask(arg); fail = "update wifi0 netmask faild.\n"; break;
    case OPT_WIFI0_GW: rc = set_ptb_wifi_gateway(arg); fail = "update wifi0 gateway faild.\n"; break;
    default:
        fprintf(stderr, "Error: Unknow option\n");
        return -1;
    }
    if (rc != 0) {
        fprintf(stderr, "%s", fail);
        return -1;
    }
    return 0;
}

} // namespace

int update_main(int argc, char *argv[])
{
    env_init();

    option longopts[ROWS + 1];
    for (int i = 0; i < ROWS; i++)
        longopts[i] = {rows[i].name, rows[i].has_arg, nullptr, rows[i].val};
    longopts[ROWS] = {nullptr, 0, nullptr, 0};

    bool do_upfw = false, do_analysis = false, do_oem = false, do_list = false;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "?uaelB:S:N:C:D:E:W:", longopts, nullptr)) != -1) {
        switch (c) {
        case OPT_HELP: usage(); break;
        case OPT_VERSION: version_report(); break;
        case OPT_SHOW: show_report(); break;
        case 'u': do_upfw = true; break;
        case 'a': do_analysis = true; break;
        case 'e': do_oem = true; break;
        case 'l': do_list = true; break;
        default:
            if (c == '?' && optopt == 0 && argv[optind - 1] && !strcmp(argv[optind - 1], "-?")) {
                usage();
                break;
            }
            if (apply_setting(c, optarg) != 0) {
                usage();
                fflush(stdout);
                env_deinit();
                return -1;
            }
        }
    }

    const char *image = UPFW_DEFAULT_IMAGE;
    if (argc - optind == 1) {
        // A cut path could name another file: refuse instead.
        if (strlen(argv[optind]) > IMAGE_PATH_MAX) {
            fprintf(stderr, "Image path too long: %s\n", argv[optind]);
            env_deinit();
            return -1;
        }
        image = argv[optind];
    }

    if ((do_analysis || do_upfw) && !do_oem) {
        if (UPFW_version_check(image) != 0) {
            UPFW_log(UPFW_MISMATCH, "firmware mismatch!\n");
            env_deinit();
            return UPFW_MISMATCH;
        }
    }
    if (do_list) {
        printf("List upfw %s infomation.\n", image);
        fflush(stdout);
        int rc = UPFW_list_intfo(image);
        if (rc != 0) {
            fprintf(stderr, "List upfw %s infomation failed!\n", image);
            env_deinit();
            return rc;
        }
    }
    if (do_oem || do_analysis) {
        printf("Analysis image %s \n", image);
        fflush(stdout);
        int rc = UPFW_analysis_img(image, 0);
        if (rc != 0) {
            char msg[UPFW_LOG_BLOCK];
            snprintf(msg, sizeof msg, "Analysis %s faild!\n", image);
            UPFW_log(rc, msg);
            env_deinit();
            return rc;
        }
    }
    if (do_upfw) {
        printf("Begin update %s \n", image);
        fflush(stdout);
        int rc = UPFW_run_update(image);
        char msg[UPFW_LOG_BLOCK];
        snprintf(msg, sizeof msg, "%s\n", upfw_result_text(rc));
        UPFW_log(rc, msg);
        // The result is in the log file, which the rest of the recorder
        // reads; the exit status stays 0.
    }
    env_deinit();
    return 0;
}
