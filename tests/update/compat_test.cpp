// The compatibility check: which images this recorder may take.
#include "recorder_fixture.h"

#include "upfw.h"

namespace {

class CompatTest : public RecorderTest {
protected:
    void TearDown() override
    {
        model_forget();
        RecorderTest::TearDown();
    }
};

std::string fs_entry(uint32_t ver)
{
    char buf[96];
    snprintf(buf, sizeof buf, "fs1=name:fs1\tver:0x%08x\tsize:40960\tdate:0x07e60712 ", ver);
    return buf;
}

TEST_F(CompatTest, RulesAndRefusalTexts)
{
    enum { NO_BUS, BUS, BUS_PSE };
    const std::string VAVB = "chipinfo=KTR443002H10EUN00000S13155100010";
    struct Row {
        const char *what;
        uint32_t new_ver, cur_ver;
        bool oem, special;
        const char *chip;
        std::vector<std::string> vars;
        int i2c;
        int rc;
        std::string out; // after the version line
        bool marker;
    } rows[] = {
        {"back below 9", 0x49080905, 0x49090014, false, false, "", {}, NO_BUS, -1,
         "do not support back to < 9.0.x from 9.0.x. \n", false},
        {"7 to 8", 0x49080001, 0x49070103, false, false, "", {}, NO_BUS, 0, "", true},
        {"9 to 9", 0x49090011, 0x49090010, false, false, "", {}, NO_BUS, 0, "", false},
        {"platform", 0x49090011, 0x49090010, false, false, "",
         {"uboot=name:uboot\tver:0x4a01000a\tsize:0\tdate:0x0 "}, NO_BUS, -1, "platform dismatch !\n", false},
        {"oem 7 to 8", 0x49080001, 0x49070103, true, false, "", {}, NO_BUS, -1,
         "OEM do not support update 7.x to 8.x \n", false},
        {"special oem 7 to 8", 0x49080001, 0x49070103, true, true, "", {}, NO_BUS, 0, "", true},
        {"special oem to 7.0", 0x49070005, 0x49070103, true, true, "", {}, NO_BUS, -1,
         "OEM special do not support update 7.0.x \n", false},
        {"oem 7 to 7", 0x49070103, 0x49070005, true, false, "", {}, NO_BUS, 0, "", false},
        {"oem 8 to 7", 0x49070103, 0x49080001, true, true, "", {}, NO_BUS, -1,
         "OEM do not support update 8.x to 7.x \n", false},
        {"oem 8 to 9", 0x49090001, 0x49080001, true, false, "", {}, NO_BUS, -1,
         "OEM do not support update 8.x to 9.x \n", false},
        {"oem 9 to 9 follows the general rules", 0x49090001, 0x49090030, true, false, "", {}, NO_BUS, 0, "",
         false},
        {"4410 7.x.9 to 7.x.8", 0x49070108, 0x49070109, false, false, "Read old:KTR4410AB", {}, NO_BUS, -1,
         "4410 do not support update 7.x.9+ to 7.x.8- \n", false},
        {"4410 7.x.9 to 7.x.9", 0x49070109, 0x49070109, false, false, "Read old:KTR4410AB", {}, NO_BUS, 0, "",
         false},
        {"4420 below 10", 0x49090009, 0x49090010, false, false, "Read old:KTR4420AB", {}, NO_BUS, -1,
         "4420 do not support update 9+.x.10+ to 9-.x.10- \n", false},
        {"4420 at 10", 0x4909000A, 0x49090010, false, false, "Read old:KTR4420AB", {}, NO_BUS, 0, "", false},
        {"4430 VA/VB", 0x4909000E, 0x49090010, false, false, "", {VAVB}, NO_BUS, -1,
         "4430VA/VB do not support update 9+.x.15+ to 9.x.15- \n", false},
        {"4430", 0x4909000B, 0x49090010, false, false, "Read old:KTR4430AB", {}, NO_BUS, -1,
         "4430 do not support update 9+.x.12+ to 9.x.12- \n", false},
        {"4470 ir804ar", 0x4909000D, 0x49090010, false, false, "Read old:KTR4470AB", {}, BUS_PSE, -1,
         "pse is ir804ar!!!\n4470_ir804ar do not support update 9+.x.14+ to 9.x.14- \n", false},
        {"4470 ir804a", 0x4909000D, 0x49090010, false, false, "Read old:KTR4470AB", {}, BUS, 0,
         "pse is ir804a!!!\n", false},
        {"4470 without bus", 0x4909000D, 0x49090010, false, false, "Read old:KTR4470AB", {}, NO_BUS, 0, "",
         false},
        {"new flash part", 0x4909000E, 0x49090010, false, false, "", {"flashtype=MX35LF2G24AD"}, NO_BUS, -1,
         "new flash[MX35LF2G24AD] do not support update 9+.x.15+ to 9.x.15- \n", false},
        {"other flash part", 0x4909000E, 0x49090010, false, false, "", {"flashtype=MX35LF2G24ADX"}, NO_BUS, 0,
         "", false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        model_forget();
        std::vector<std::string> vars = {"bootargs=" + rec::ARGS1, "bootcmd=" + rec::CMD1, rec::UBOOT,
                                         fs_entry(r.cur_ver)};
        vars.insert(vars.begin(), r.vars.begin(), r.vars.end()); // an earlier text wins a lookup
        recorder(vars);
        chip(r.chip);
        if (r.oem)
            root.write("/mnt/nand2/oem.db", "");
        if (r.special)
            root.write("/opt/app/bin/special_oem.cfg", "");
        if (r.i2c != NO_BUS)
            root.write("/dev/i2c-0", "");
        if (r.i2c == BUS_PSE)
            root.write("/dev/i2c-0.e0", "\x01");
        char fs[64];
        snprintf(fs, sizeof fs, "fs:2048:0x%08X:0:1:0x07E60712", r.new_ver);
        image({"bld:-:0x4901000A", "ker:2048:0x49010006:0:0:0x07E60712", fs});
        ut::Capture cap;
        int rc = UPFW_version_check("/dev/shm/updateFM.bin");
        cap.stop();
        EXPECT_EQ(rc, r.rc);
        char ver[64];
        snprintf(ver, sizeof ver, "version = %d.%d.%d\n", (r.new_ver >> 16) & 0xFF, (r.new_ver >> 8) & 0xFF,
                 r.new_ver & 0xFF);
        EXPECT_EQ(cap.out, ver + r.out);
        EXPECT_EQ(ut::exists(root.path("/mnt/nand/updb.cfg")), r.marker);
        if (r.what == std::string("4470 without bus")) {
            EXPECT_EQ(cap.err, "Unable to open i2c bus 2!!!\n");
        }
        for (const char *f : {"/mnt/nand/updb.cfg", "/mnt/nand2/oem.db", "/opt/app/bin/special_oem.cfg",
                              "/dev/i2c-0", "/dev/i2c-0.e0"})
            unlink(root.path(f).c_str());
    }

    // An image that cannot be read is refused.
    ut::Capture cap;
    EXPECT_EQ(UPFW_version_check("/dev/shm/none.bin"), -1);
    cap.stop();
    EXPECT_EQ(cap.err, "open output imager\n");
}

// The model comes from our own chip tool reading the boot environment.
TEST_F(CompatTest, ModelFromOurChipTool)
{
    recorder({"chipinfo=KTR442002H10EU000000S13155100010", "bootargs=" + rec::ARGS1, "bootcmd=" + rec::CMD1,
              rec::UBOOT, fs_entry(0x49090010)});
    unlink(root.path("/bin/qxchip_update").c_str());
    ASSERT_EQ(symlink(QXCHIP_BIN, root.path("/bin/qxchip_update").c_str()), 0);
    image({"bld:-:0x4901000A", "ker:2048:0x49010006:0:0:0x07E60712", "fs:2048:0x49090009:0:1:0x07E60712"});
    ut::RunResult res = update({"-a"});
    EXPECT_EQ(res.status, 256 - 14);
    EXPECT_EQ(res.out, "version = 9.0.9\n4420 do not support update 9+.x.10+ to 9-.x.10- \n");
}

} // namespace
