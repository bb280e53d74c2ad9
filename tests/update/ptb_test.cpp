#include "env_fixture.h"
#include "ptb.h"

#include <sys/stat.h>

namespace {

const std::string ARGS1 =
    "bootargs=mem=1024M console=ttyAMA0,115200 ubi.mtd=fs1 root=ubi0:rootfs rw rootfstype=ubifs";
const std::string CMD1 = "bootcmd=nand read 0x82000000 ker1 0x400000; bootm";
const std::string FS1 = "fs1=name:fs1\tver:0x49090010\tsize:1048576\tdate:0x07e60712 ";

class PtbTest : public EnvFixture {};

TEST_F(PtbTest, ReadsTableEntriesWithinTheirFields)
{
    load({ARGS1, CMD1, FS1, "ker1=name:" + std::string(40, 'k') + "\tver:0x1\tsize:2\tdate:0x3 ",
          "ker2=name:\tver:0x49010005\tsize:4096\tdate:0x07e60712 ", "logo=garbage",
          "cfg=" + std::string("name:cfg\tver:0x1")});
    ptb_table t;
    ASSERT_EQ(get_env_mtd_table(&t), 0);
    EXPECT_STREQ(t.part[5].name, "fs1");
    EXPECT_EQ(t.part[5].version, 0x49090010u);
    EXPECT_EQ(t.part[5].size, 1048576u);
    EXPECT_EQ(t.part[5].date, 0x07e60712u);
    EXPECT_EQ(std::string(t.part[3].name), std::string(31, 'k'));
    EXPECT_EQ(t.part[3].size, 2u);
    // An empty name stays empty; the fields after it are still read.
    EXPECT_STREQ(t.part[4].name, "");
    EXPECT_EQ(t.part[4].version, 0x49010005u);
    for (int broken : {2, 7}) {
        EXPECT_STREQ(t.part[broken].name, "") << broken;
        EXPECT_EQ(t.part[broken].version, 0u) << broken;
    }
    EXPECT_EQ("bootargs=" + std::string(t.bootargs), ARGS1);
    EXPECT_EQ("bootcmd=" + std::string(t.bootcmd), CMD1);

    ASSERT_EQ(hs_setenv("bootargs", std::string(600, 'a').c_str()), 0);
    ASSERT_EQ(get_env_mtd_table(&t), 0);
    EXPECT_EQ(std::string(t.bootargs), std::string(511, 'a'));
}

TEST_F(PtbTest, WritesEntriesOnlyUnderPartitionNames)
{
    load({ARGS1});
    ptb_entry e = {"fs2", 2048, 0x49090011, 0x07e60712};
    EXPECT_EQ(set_env_partition(&e), 0);
    EXPECT_STREQ(hs_getenv("fs2"), "name:fs2\tver:0x49090011\tsize:2048\tdate:0x07e60712 ");
    ptb_entry bad = {"bootargs", 1, 2, 3};
    EXPECT_EQ(set_env_partition(&bad), -1);
    EXPECT_EQ("bootargs=" + std::string(hs_getenv("bootargs")), ARGS1);

    ptb_table t;
    get_env_mtd_table(&t);
    snprintf(t.part[0].name, sizeof t.part[0].name, "uboot");
    t.part[0].version = 0x4901000A;
    snprintf(t.part[1].name, sizeof t.part[1].name, "logo"); // not its slot
    EXPECT_EQ(set_env_mtd_table(&t), 0);
    EXPECT_STREQ(hs_getenv("uboot"), "name:uboot\tver:0x4901000a\tsize:0\tdate:0x00000000 ");
    EXPECT_EQ(hs_getenv("logo"), nullptr);
    EXPECT_EQ(hs_getenv("env"), nullptr);
}

// The boot loader's "ver" fills in a uboot entry that has no minor number.
TEST_F(PtbTest, UbootVersionFromVerVariable)
{
    struct Row {
        const char *uboot; // entry value, or null
        const char *ver;   // "ver" value, or null
        uint32_t want;
        bool stored;
    } rows[] = {
        {"name:uboot\tver:0x49010000\tsize:0\tdate:0x0 ", "U-Boot 2010.06 (73.01.02.10)", 0x4901020A, true},
        {nullptr, "73.01.02.10", 0x4901020A, true},
        {"name:uboot\tver:0x49010300\tsize:0\tdate:0x0 ", "73.01.02.10", 0x49010300, false},
        {"name:uboot\tver:0x49010000\tsize:0\tdate:0x0 ", "74.01.02.10", 0x49010000, false},
        {"name:uboot\tver:0x49010000\tsize:0\tdate:0x0 ", nullptr, 0x49010000, false},
    };
    for (const Row &r : rows) {
        std::vector<std::string> vars = {ARGS1};
        if (r.uboot)
            vars.push_back(std::string("uboot=") + r.uboot);
        if (r.ver)
            vars.push_back(std::string("ver=") + r.ver);
        load(vars);
        ptb_table t;
        get_env_mtd_table(&t);
        EXPECT_EQ(t.part[0].version, r.want) << r.ver;
        EXPECT_EQ(flag0() == 1 + 2, r.stored) << r.ver;
        if (r.stored) {
            get_env_mtd_table(&t); // already right: not written again
            EXPECT_EQ(flag0(), 3);
        }
    }
}

TEST_F(PtbTest, SetUbootVersion)
{
    struct Row {
        const char *text;
        int rc;
        const char *stored;
    } rows[] = {
        {"12.01.02.03", 0, "name:uboot\tver:0x0c010203\tsize:0\tdate:0x00000000 "},
        {"73.1.0.10", 0, "name:uboot\tver:0x4901000a\tsize:0\tdate:0x00000000 "},
        {"1.2.3", -1, nullptr},
        {"abc", -1, nullptr},
        {"123.1.1.1", -1, nullptr},
        {"1.2.3.4x", -1, nullptr},
        {"1.-2.3.4", -1, nullptr},
    };
    for (const Row &r : rows) {
        load({ARGS1});
        ut::Capture cap;
        EXPECT_EQ(set_ptb_uboot_version(r.text), r.rc) << r.text;
        cap.stop();
        const char *v = hs_getenv("uboot");
        if (r.stored) {
            ASSERT_NE(v, nullptr) << r.text;
            EXPECT_STREQ(v, r.stored);
        } else {
            EXPECT_EQ(v, nullptr) << r.text;
            EXPECT_EQ(cap.err, "uboot version format invalid, eg: xx.xx.xx.xx\n");
        }
    }
}

TEST_F(PtbTest, SwitchBootPair)
{
    load({ARGS1, CMD1});
    struct Step {
        int n;
        const char *fs, *ker;
    } steps[] = {{0, "ubi.mtd=fs2", "ker2"}, {0, "ubi.mtd=fs1", "ker1"}, {2, "ubi.mtd=fs2", "ker2"},
                 {2, "ubi.mtd=fs2", "ker2"}, {1, "ubi.mtd=fs1", "ker1"}};
    int flag = 1;
    for (const Step &s : steps) {
        ut::Capture cap;
        ASSERT_EQ(set_env_boot(s.n), 0);
        cap.stop();
        EXPECT_EQ(cap.out, std::string("\tFilesys will switch to fs") + s.fs[10] + " after reboot!\n");
        EXPECT_NE(strstr(hs_getenv("bootargs"), s.fs), nullptr) << s.n;
        EXPECT_NE(strstr(hs_getenv("bootcmd"), s.ker), nullptr) << s.n;
        flag += 2; // both texts in one store
        EXPECT_EQ(flag0(), flag);
    }
    EXPECT_EQ(set_env_boot(3), -1);

    // Without "=fs" the standard command line is put in first.
    load({"bootargs=console=ttyAMA0", "bootcmd=bootm ker2"});
    {
        ut::Capture cap;
        ASSERT_EQ(set_env_boot(0), 0);
    }
    EXPECT_STREQ(hs_getenv("bootargs"),
                 "mem=256M console=ttyAMA0,115200 ubi.mtd=fs2 root=ubi0:rootfs rw rootfstype=ubifs");
    EXPECT_STREQ(hs_getenv("bootcmd"), "bootm ker1");

    load({ARGS1, "bootcmd=bootm"});
    ut::Capture cap;
    EXPECT_EQ(set_env_boot(0), -1);
    cap.stop();
    EXPECT_EQ(cap.err, "Can't find kernel partition!\n");
    EXPECT_EQ(flag0(), 1);
}

TEST_F(PtbTest, SwitchFilesysRebootsOnlyAfterSwitch)
{
    load({ARGS1, CMD1});
    {
        ut::Capture cap;
        EXPECT_EQ(set_switch_filesys(3), -1);
        cap.stop();
        EXPECT_EQ(cap.err, "Unknown fs index, please choose 1 or 2\n");
    }
    // The stand-in reboot under the root leaves a mark.
    root.write("/sbin/reboot", "#!/bin/sh\ntouch \"$NVR_ROOT/rebooted\"\n");
    chmod(root.path("/sbin/reboot").c_str(), 0755);
    {
        ut::Capture cap;
        EXPECT_EQ(set_switch_filesys(2), 0);
    }
    EXPECT_TRUE(ut::exists(root.path("/rebooted")));
    EXPECT_NE(strstr(hs_getenv("bootargs"), "ubi.mtd=fs2"), nullptr);

    load({"bootargs=x", "bootcmd=none"});
    unlink(root.path("/rebooted").c_str());
    ut::Capture cap;
    EXPECT_EQ(set_switch_filesys(1), -1);
    EXPECT_FALSE(ut::exists(root.path("/rebooted")));
}

TEST_F(PtbTest, CmdlineMemory)
{
    struct Row {
        const char *args;
        int mb;
        const char *want; // null: refused
    } rows[] = {
        {"mem=1024M console=ttyAMA0", 128, "mem=128M console=ttyAMA0"},
        {"a mem=1024M", 256, "a mem=256M"},
        {"mem=64M", 148, "mem=148M"},
        {"mem=256M", 512, "mem=128M"},
        {"mem=", 256, "mem=256"},
        {"console=ttyAMA0", 128, nullptr},
    };
    for (const Row &r : rows) {
        load({std::string("bootargs=") + r.args});
        ut::Capture cap;
        EXPECT_EQ(set_cmdline_memory(r.mb), r.want ? 0 : -1) << r.args;
        cap.stop();
        EXPECT_STREQ(hs_getenv("bootargs"), r.want ? r.want : r.args);
        if (!r.want) {
            EXPECT_EQ(cap.err, "unknow memory of env!\n");
        }
    }
}

TEST_F(PtbTest, BootState)
{
    struct Row {
        const char *before; // null: absent
        int s;
        const char *after;
        int writes;
    } rows[] = {
        {"None", 1, "Done", 1}, {"Done", 0, "None", 1}, {"Done", 1, "Done", 0},
        {"None", 0, "None", 0}, {nullptr, 1, nullptr, 0},
    };
    for (const Row &r : rows) {
        std::vector<std::string> vars = {ARGS1};
        if (r.before)
            vars.push_back(std::string("bootState=") + r.before);
        load(vars);
        EXPECT_EQ(set_boot_state(r.s), 0);
        const char *v = hs_getenv("bootState");
        if (r.after) {
            EXPECT_STREQ(v, r.after);
        } else {
            EXPECT_EQ(v, nullptr);
        }
        EXPECT_EQ(flag0(), 1 + 2 * r.writes);
    }
}

TEST_F(PtbTest, SimpleSetters)
{
    load({ARGS1});
    struct Row {
        int (*fn)(const char *);
        const char *var;
    } rows[] = {
        {set_ptb_sn, "sn"},           {set_ptb_pri_file, "bootfile"}, {set_ptb_tftpd_ip, "serverip"},
        {set_ptb_eth_mac, "ethaddr"}, {set_ptb_eth_ip, "ipaddr"},     {set_ptb_eth_netmask, "netmask"},
        {set_ptb_eth_gateway, "gateway"}, {set_ptb_wifi_mac, "wifimac"}, {set_ptb_wifi_ip, "wifiip"},
        {set_ptb_wifi_netmask, "wifinm"}, {set_ptb_wifi_gateway, "wifigw"}, {set_ptb_cmdline, "bootargs"},
    };
    for (const Row &r : rows) {
        std::string v = std::string("value-of-") + r.var;
        EXPECT_EQ(r.fn(v.c_str()), 0) << r.var;
        EXPECT_STREQ(hs_getenv(r.var), v.c_str());
    }
    EXPECT_EQ(set_ptb_bootdelay(300), 0);
    EXPECT_STREQ(hs_getenv("bootdelay"), "44");
    int before = flag0();
    EXPECT_EQ(set_ptb_autoboot(1), 0);
    EXPECT_EQ(set_ptb_autodownload(1), 0);
    EXPECT_EQ(set_ptb_pri_addr(0x100), 0);
    EXPECT_EQ(flag0(), before);
    // bootargs must fit the table's 512-byte field.
    EXPECT_EQ(set_ptb_cmdline(std::string(512, 'a').c_str()), -1);
    EXPECT_EQ(set_ptb_cmdline(std::string(511, 'a').c_str()), 0);

    char name[32];
    EXPECT_EQ(get_part_name(0, name, sizeof name), 0);
    EXPECT_STREQ(name, "uboot");
    EXPECT_EQ(get_part_name(9, name, sizeof name), 0);
    EXPECT_STREQ(name, "rsd");
    EXPECT_EQ(get_part_name(10, name, sizeof name), -1);
    EXPECT_EQ(get_part_name(-1, name, sizeof name), -1);
}

} // namespace
