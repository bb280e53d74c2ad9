#include "env_fixture.h"

namespace {

class CliTest : public EnvFixture {
protected:
    ut::RunResult update(std::vector<std::string> args)
    {
        args.insert(args.begin(), ut::update_bin());
        return ut::run(args);
    }
    std::string env(const char *name)
    {
        ut::Capture cap;
        env_init();
        const char *v = hs_getenv(name);
        return v ? v : "<none>";
    }
};

TEST_F(CliTest, ListsDefaultOrGivenImage)
{
    load({"bootargs=mem=128M"});
    std::string want = ut::ref({"image", root.path("/dev/shm/updateFM.bin"),
                                "fs:4096:0x49090010:0:1:0x07E60712"});
    ut::RunResult r = update({"-l"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "List upfw /dev/shm/updateFM.bin infomation.\n" + want);

    std::string other = ut::ref({"image", root.path("/other.bin"), "ker:2048:0x49010005:0:0:0x07E60712"});
    r = update({"--list", "/other.bin"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "List upfw /other.bin infomation.\n" + other);

    root.write("/short.bin", std::string(2047, 'x'));
    r = update({"-l", "/short.bin"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Bad size: \"/short.bin\" is no valid image\nList upfw /short.bin infomation failed!\n");
}

TEST_F(CliTest, ExtractsWithOemOption)
{
    load({"bootargs=mem=128M"});
    ut::ref({"image", root.path("/dev/shm/updateFM.bin"), "cmd:100:0x00010001:0:1:0x07E60712:0x41"});
    ut::RunResult r = update({"-e"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Analysis image /dev/shm/updateFM.bin \n==============name /dev/shm/updateFM.bin=\n"
                     "Create file: /dev/shm/update \n");
    EXPECT_EQ(root.read("/dev/shm/update"), std::string(100, 'A') + std::string(2048 - 100, '\xff'));
}

TEST_F(CliTest, SettingOptions)
{
    load({"bootargs=mem=128M ubi.mtd=fs1", "bootcmd=bootm ker1", "bootState=None"});
    struct Row {
        std::vector<std::string> args;
        const char *var, *value;
    } rows[] = {
        {{"-B", "1"}, "bootState", "Done"},
        {{"--bootState", "0"}, "bootState", "None"},
        {{"--bootState=0x1"}, "bootState", "Done"},
        {{"-D", "300"}, "bootdelay", "44"},
        {{"--delay", "010"}, "bootdelay", "8"},
        {{"-N", "SN0001"}, "sn", "SN0001"},
        {{"-C", "mem=256M ubi.mtd=fs2"}, "bootargs", "mem=256M ubi.mtd=fs2"},
        {{"-E", "00:11:22:33:44:55"}, "ethaddr", "00:11:22:33:44:55"},
        {{"--eth0_ip", "10.0.0.2"}, "ipaddr", "10.0.0.2"},
        {{"--eth0_mask", "255.0.0.0"}, "netmask", "255.0.0.0"},
        {{"--eth0_gw", "10.0.0.1"}, "gateway", "10.0.0.1"},
        {{"-W", "66:77:88:99:aa:bb"}, "wifimac", "66:77:88:99:aa:bb"},
        {{"--wifi0_ip", "10.1.0.2"}, "wifiip", "10.1.0.2"},
        {{"--wifi0_mask", "255.255.0.0"}, "wifinm", "255.255.0.0"},
        {{"--wifi0_gw", "10.1.0.1"}, "wifigw", "10.1.0.1"},
        {{"--serverip", "10.0.0.9"}, "serverip", "10.0.0.9"},
        {{"--pri_file", "uImage"}, "bootfile", "uImage"},
        {{"--uboot_ver", "73.01.02.10"}, "uboot", "name:uboot\tver:0x4901020a\tsize:0\tdate:0x00000000 "},
    };
    for (const Row &r : rows) {
        ut::RunResult res = update(r.args);
        EXPECT_EQ(res.status, 0) << r.args[0] << res.err;
        EXPECT_EQ(env(r.var), r.value) << r.args[0];
    }
}

TEST_F(CliTest, FailedOrUnknownOptionStopsWithUsage)
{
    load({"bootargs=mem=128M"});
    struct Row {
        std::vector<std::string> args;
        const char *err;
    } rows[] = {
        {{"--uboot_ver", "bad", "-N", "later"}, "uboot version format invalid, eg: xx.xx.xx.xx\nupdate uboot version faild.\n"},
        {{"-N", std::string(33, 's'), "-D", "1"}, "update sn faild.\n"},
        {{"--pri_file", std::string(33, 'f')}, "update pri_file faild.\n"},
        {{"-C", std::string(512, 'c')}, "update cmdline faild.\n"},
        {{"-x", "-N", "later"}, "Error: Unknow option\n"},
        {{"--bogus"}, "Error: Unknow option\n"},
        {{"-S", "5"}, "Unknown fs index, please choose 1 or 2\nswitch system faild.\n"},
        {{"-S", "-1"}, "Unknown fs index, please choose 1 or 2\nswitch system faild.\n"},
        {{"--system", "4294967297"}, "Unknown fs index, please choose 1 or 2\nswitch system faild.\n"},
        {{"-D", "99999999999"}, "update bootdelay faild.\n"},
        {{"-B", "4294967296"}, "set boot state faild.\n"},
    };
    for (const Row &r : rows) {
        ut::RunResult res = update(r.args);
        EXPECT_EQ(res.status, 255) << r.args[0];
        EXPECT_EQ(res.err, r.err) << r.args[0];
        EXPECT_EQ(res.out.rfind("Usage:\n  update [OPTION] upfw_file \n", 0), 0u) << r.args[0];
        EXPECT_EQ(env("sn"), "<none>");
        EXPECT_EQ(env("bootdelay"), "<none>");
    }
}

TEST_F(CliTest, HelpAndVersionReports)
{
    load({"bootargs=mem=128M ubi.mtd=fs1 root=ubi0:rootfs", "bootcmd=bootm ker1",
          "fs1=name:fs1\tver:0x49090010\tsize:1048576\tdate:0x07e60712 ",
          "fs2=name:fs2\tver:0x49090011\tsize:2048\tdate:0x07e60713 "});
    ut::RunResult r = update({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage:\n  update [OPTION] upfw_file \n  Writes to the specified MTD device.\n\n"
                          "   --help\tdisplay this help and exit\n",
                          0),
              0u);
    EXPECT_NE(r.out.find("\n-B --bootState [state]\tset boot state\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n   --wifi0_gw [ip]\tUpdate Vantrel AMBOOT wifi0 gw \n\n"), std::string::npos);

    r = update({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Vantrel update version: 0.1.0.1\n"
                     "fs1:(current)\n\tversion = 73.9.0.16\n\tsize    = 1024 K\n\tdate    = 2022/7/18\n"
                     "fs2:\n\tversion = 73.9.0.17\n\tsize    = 2 K\n\tdate    = 2022/7/19\n");

    root.write("/proc/mtd", "dev:    size   erasesize  name\nmtd1: 00020000 00010000 \"env\"\n");
    r = update({"--show"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Vantrel update version: 1.0.1 \nfs1:(current)\n\tversion = 73.9.0.16\n"
                         "\tsize    = 0x00100000 (1024 K)\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("\nMore details:\nMtd information: dev:    size   erasesize  name\n"
                         "mtd1: 00020000 00010000 \"env\"\n"
                         "bootargs=mem=128M ubi.mtd=fs1 root=ubi0:rootfs\n"),
              std::string::npos)
        << r.out;
}

} // namespace
