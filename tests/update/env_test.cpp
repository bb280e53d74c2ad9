#include "env.h"
#include "test_util.h"

#include <algorithm>
#include <sstream>

namespace {

const uint32_t COPY = 65536;

class EnvTest : public ::testing::Test {
protected:
    ut::TempRoot root;
    void SetUp() override { root.make_flash("/dev/mtd1", 2 * COPY, "type=nor\nerasesize=65536\n"); }
    void TearDown() override { env_deinit(); }

    // One copy made by the reference script, placed at copy idx.
    std::string make_copy(int flag, const std::vector<std::string> &vars)
    {
        std::vector<std::string> args = {"envcopy", root.path("/copy.bin"), std::to_string(flag)};
        args.insert(args.end(), vars.begin(), vars.end());
        ut::ref(args);
        return root.read("/copy.bin");
    }
    void put(int idx, const std::string &copy, uint32_t at_block_offset = 0)
    {
        std::string dev = root.read("/dev/mtd1");
        dev.replace(idx * COPY + at_block_offset, copy.size(), copy);
        root.write("/dev/mtd1", dev);
    }
    void put_copy(int idx, int flag, const std::vector<std::string> &vars, bool valid = true)
    {
        std::string c = make_copy(flag, vars);
        if (!valid)
            c[100] ^= 1;
        put(idx, c);
    }
    // What an independent reader finds in a copy: crc, flag, variables.
    std::string read_copy(int idx)
    {
        return ut::ref({"envread", root.path("/dev/mtd1"), std::to_string(idx * COPY)});
    }
    int quiet_init()
    {
        ut::Capture cap;
        return env_init();
    }
};

TEST_F(EnvTest, ChoosesCurrentCopy)
{
    struct Row {
        bool valid0;
        int flag0;
        bool valid1;
        int flag1;
        const char *who; // value of "who" in the chosen store
        int current;
    } rows[] = {
        {true, 255, true, 0, "copy1", 1},
        {true, 0, true, 255, "copy0", 0}, // 0 follows 255 in copy 0 as well
        {true, 7, true, 7, "copy0", 0},
        {true, 3, true, 4, "copy1", 1},
        {true, 4, true, 3, "copy0", 0},
        {false, 9, true, 1, "copy1", 1},
        {true, 1, false, 9, "copy0", 0},
        {false, 1, false, 2, nullptr, 0},
    };
    for (const Row &r : rows) {
        put_copy(0, r.flag0, {"who=copy0"}, r.valid0);
        put_copy(1, r.flag1, {"who=copy1"}, r.valid1);
        ut::Capture cap;
        ASSERT_EQ(env_init(), 0);
        cap.stop();
        std::string label = std::to_string(r.flag0) + "/" + std::to_string(r.flag1);
        EXPECT_EQ(env_current_copy(), r.current) << label;
        const char *who = hs_getenv("who");
        if (r.who) {
            ASSERT_NE(who, nullptr) << label;
            EXPECT_STREQ(who, r.who) << label;
            EXPECT_EQ(cap.err, "") << label;
        } else {
            EXPECT_EQ(who, nullptr);
            EXPECT_EQ(cap.err, "Warning: Bad CRC, using default environment\n");
            EXPECT_STREQ(hs_getenv("bootdelay"), "5");
            EXPECT_STREQ(hs_getenv("baudrate"), "115200");
            EXPECT_EQ(std::string(hs_getenv("bootcmd")).rfind("bootp; setenv bootargs root=/dev/nfs", 0), 0u);
        }
    }
}

// A store writes the other copy with flag+1, then the current one with
// flag+2, both with the same variables; the current copy stays current.
TEST_F(EnvTest, StoreAdvancesFlagsInBothCopies)
{
    struct Row {
        int flag0, flag1;
        int want0, want1, current;
    } rows[] = {
        {4, 3, 6, 5, 0},
        {3, 4, 5, 6, 1},
        {254, 253, 0, 255, 0},
        {253, 254, 255, 0, 1},
    };
    for (const Row &r : rows) {
        put_copy(0, r.flag0, {"a=1"});
        put_copy(1, r.flag1, {"a=1"});
        ASSERT_EQ(quiet_init(), 0);
        ASSERT_EQ(hs_setenv("b", "two words"), 0);
        std::string vars = "a=1\nb=two words\n";
        EXPECT_EQ(read_copy(0), "crc=ok\nflag=" + std::to_string(r.want0) + "\n" + vars) << r.flag0;
        EXPECT_EQ(read_copy(1), "crc=ok\nflag=" + std::to_string(r.want1) + "\n" + vars) << r.flag0;
        ASSERT_EQ(quiet_init(), 0);
        EXPECT_EQ(env_current_copy(), r.current) << r.flag0;
        EXPECT_STREQ(hs_getenv("b"), "two words");
    }
}

TEST_F(EnvTest, ReplaceDeleteAndEmptyValues)
{
    put_copy(0, 1, {"a=1", "b=2", "c=3"});
    put_copy(1, 0, {"a=old"});
    ASSERT_EQ(quiet_init(), 0);
    EXPECT_EQ(hs_setenv("a", "9"), 0);
    EXPECT_EQ(hs_setenv("b", nullptr), 0);
    EXPECT_EQ(hs_setenv("e", ""), 0);
    EXPECT_EQ(hs_setenv("bad=name", "x"), -1);
    EXPECT_EQ(hs_setenv("", "x"), -1);
    EXPECT_EQ(read_copy(0), "crc=ok\nflag=" + std::to_string(1 + 3 * 2) + "\nc=3\na=9\ne=\n");
    EXPECT_EQ(hs_getenv("b"), nullptr);
    EXPECT_EQ(hs_getenv("a="), nullptr);
    ut::Capture cap;
    EXPECT_EQ(hs_printenv(), 0);
    cap.stop();
    EXPECT_EQ(cap.out, "c=3\na=9\ne=\n");
}

// A value that does not fit is refused, the old one stays in memory and
// on flash, and a later store does not drop it.
TEST_F(EnvTest, OverflowKeepsOldValue)
{
    put_copy(0, 1, {"bootargs=mem=128M", "fill=" + std::string(65000, 'f')});
    put_copy(1, 0, {"x=y"});
    ASSERT_EQ(quiet_init(), 0);
    std::string before = root.read("/dev/mtd1");
    ut::Capture cap;
    EXPECT_EQ(hs_setenv("bootargs", std::string(600, 'a').c_str()), -1);
    cap.stop();
    EXPECT_EQ(cap.err, "Error: environment overflow, \"bootargs\" deleted\n");
    EXPECT_EQ(root.read("/dev/mtd1"), before);
    EXPECT_STREQ(hs_getenv("bootargs"), "mem=128M");
    EXPECT_EQ(hs_setenv("z", "1"), 0);
    std::string c0 = read_copy(0);
    EXPECT_NE(c0.find("bootargs=mem=128M\n"), std::string::npos);
    EXPECT_NE(c0.find("z=1\n"), std::string::npos);
    // Exactly full: name, '=', value, its zero and the closing zero.
    const size_t used = 18 + 65006 + 4; // "bootargs=mem=128M", "fill=...", "z=1" with zeros
    std::string room(65531 - used - 1 - 3, 'r');
    EXPECT_EQ(hs_setenv("q", room.c_str()), 0);
    EXPECT_EQ(hs_setenv("q", (room + "r").c_str()), -1);
}

TEST_F(EnvTest, UnterminatedStoreIsRefused)
{
    // A valid CRC over a variable area with no zero byte at all.
    std::string c = make_copy(1, {});
    std::fill(c.begin() + 4, c.end() - 1, 'a');
    root.write("/bad.bin", c);
    ut::RunResult r = ut::run({ut::python(), "-c",
                               "import sys,zlib,struct;b=bytearray(open(sys.argv[1],'rb').read());"
                               "b[0:4]=struct.pack('<I',zlib.crc32(bytes(b[4:])));"
                               "open(sys.argv[1],'wb').write(b)",
                               root.path("/bad.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    put(0, root.read("/bad.bin"));
    put_copy(1, 9, {"a=1"}, false);
    ASSERT_EQ(quiet_init(), 0);
    ut::Capture cap;
    EXPECT_EQ(hs_getenv("a"), nullptr);
    EXPECT_EQ(hs_printenv(), -1);
    EXPECT_EQ(hs_setenv("a", "1"), -1);
    cap.stop();
    EXPECT_EQ(cap.out, "");
    EXPECT_NE(cap.err.find("## Error: environment not terminated\n"), std::string::npos);
}

TEST_F(EnvTest, FwCalls)
{
    put_copy(0, 1, {"serial#=123", "a=1"});
    put_copy(1, 0, {});
    char n_a[] = "a", n_b[] = "b", v1[] = "x", v2[] = "y z", n_dash[] = "-n", n_ser[] = "serial#",
         n_miss[] = "missing";
    {
        char *args[] = {n_b, v1, v2};
        EXPECT_EQ(fw_setenv(3, args), 0); // loads the store itself
        EXPECT_STREQ(fw_getenv("b"), "x y z");
    }
    {
        char *args[] = {n_ser, v1};
        ut::Capture cap;
        EXPECT_EQ(fw_setenv(2, args), -1);
        cap.stop();
        EXPECT_EQ(cap.err, "Can't overwrite \"serial#\"\n");
    }
    {
        char *args[] = {n_a};
        EXPECT_EQ(fw_setenv(1, args), 0);
        EXPECT_EQ(fw_getenv("a"), nullptr);
    }
    ut::Capture cap;
    char *p1[] = {n_dash, n_b};
    EXPECT_EQ(fw_printenv(2, p1), 0);
    char *p2[] = {n_b, n_miss, n_ser};
    EXPECT_EQ(fw_printenv(3, p2), -1);
    char *p3[] = {n_dash, n_a, n_b};
    EXPECT_EQ(fw_printenv(3, p3), -1);
    cap.stop();
    EXPECT_EQ(cap.out, "x y z\nb=x y z\nserial#=123\n");
    EXPECT_EQ(cap.err, "## Error: \"missing\" not defined\n"
                       "## Error: `-n' option requires exactly one argument\n");
}

TEST_F(EnvTest, MissingOrUnusableDevice)
{
    unlink(root.path("/dev/mtd1").c_str());
    {
        ut::Capture cap;
        EXPECT_EQ(env_init(), -1);
        cap.stop();
        EXPECT_EQ(cap.err, "Cannot access MTD device /dev/mtd1: No such file or directory\n");
        EXPECT_EQ(hs_setenv("a", "1"), -1);
    }
    root.make_flash("/dev/mtd1", 2 * COPY, "type=7\nerasesize=65536\n");
    ut::Capture cap;
    EXPECT_EQ(env_init(), -1);
    cap.stop();
    EXPECT_NE(cap.err.find("Incompatible flash types!\n"), std::string::npos);
}

// With an erase block larger than a copy, erasing one copy would wipe both:
// the store reads but never writes.
TEST_F(EnvTest, NoWriteWhenEraseBlockExceedsCopy)
{
    root.make_flash("/dev/mtd1", 4 * COPY, "type=nand\nerasesize=131072\n");
    put_copy(0, 1, {"a=1"});
    put_copy(1, 0, {"a=0"});
    ASSERT_EQ(quiet_init(), 0);
    EXPECT_STREQ(hs_getenv("a"), "1");
    std::string before = root.read("/dev/mtd1");
    ut::Capture cap;
    EXPECT_EQ(hs_setenv("a", "2"), -1);
    cap.stop();
    EXPECT_EQ(root.read("/dev/mtd1"), before);
    EXPECT_NE(cap.err.find("Error: can't write fw_env to flash\n"), std::string::npos);
}

// On NAND a bad block in copy 1's range is skipped (the copy moves on into
// the next good block); copy 0 has no room to move, so a bad block there
// fails its write and the store says so.
TEST_F(EnvTest, NandBadBlocksAreSkipped)
{
    const uint32_t BS = 16384;
    root.make_flash("/dev/mtd1", 12 * BS, "type=nand\nerasesize=16384\nbad=5\n");
    std::string dev = root.read("/dev/mtd1");
    dev.replace(5 * BS, BS, std::string(BS, '\x5a')); // what the bad block holds
    root.write("/dev/mtd1", dev);
    put_copy(0, 1, {"a=1"});
    ASSERT_EQ(quiet_init(), 0); // copy 1 unreadable as it stands: CRC bad
    ASSERT_EQ(hs_setenv("a", "2"), 0);
    dev = root.read("/dev/mtd1");
    EXPECT_EQ(dev.substr(5 * BS, BS), std::string(BS, '\x5a'));
    // Copy 1 is blocks 4, 6, 7, 8; break copy 0 and read it back alone.
    std::string c1 = dev.substr(4 * BS, BS) + dev.substr(6 * BS, 3 * BS);
    EXPECT_EQ(c1.substr(4, COPY - 5), dev.substr(4, COPY - 5)); // same variables as copy 0
    dev[200] ^= 1;
    root.write("/dev/mtd1", dev);
    ASSERT_EQ(quiet_init(), 0);
    EXPECT_EQ(env_current_copy(), 1);
    EXPECT_STREQ(hs_getenv("a"), "2");

    root.write("/dev/mtd1.geom", "type=nand\nerasesize=16384\nbad=1\n");
    ut::Capture cap;
    EXPECT_EQ(hs_setenv("a", "3"), -1);
    cap.stop();
    EXPECT_NE(cap.err.find("End of range reached, aborting\n"), std::string::npos);
}

// Power cut while storing: whatever is lost, one copy stays whole and the
// store loads either the old or the new value, never neither. The tool runs
// as its own process, as the cut counts one process's writes.
TEST_F(EnvTest, PowerCutKeepsOneGoodCopy)
{
    struct Row {
        uint32_t cut;
        const char *value;
    } rows[] = {
        {70000, "old"},          // other copy cut off mid-write
        {2 * COPY + 100, "new"}, // other copy whole, current copy's erase cut off
        {4 * COPY, "new"},       // no cut
    };
    for (const Row &r : rows) {
        root.make_flash("/dev/mtd1", 2 * COPY,
                        "type=nor\nerasesize=65536\ncutafter=" + std::to_string(r.cut) + "\n");
        put_copy(0, 4, {"sn=old"});
        put_copy(1, 3, {"sn=old"});
        ut::RunResult run = ut::run({ut::update_bin(), "-N", "new"});
        EXPECT_EQ(run.status, 0) << run.err;
        ut::Capture cap;
        ASSERT_EQ(env_init(), 0);
        cap.stop();
        EXPECT_EQ(cap.err, "") << r.cut;
        EXPECT_STREQ(hs_getenv("sn"), r.value) << r.cut;
    }
}

std::string sorted_lines(const std::string &s)
{
    std::vector<std::string> v;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);)
        v.push_back(l);
    std::sort(v.begin(), v.end());
    std::string out;
    for (const std::string &l : v)
        out += l + "\n";
    return out;
}

// Each copy written by the store reads correctly with Debian's fw_printenv
// configured for that one copy.
TEST_F(EnvTest, CopiesReadWithFwPrintenv)
{
    if (!ut::have_program("fw_printenv"))
        GTEST_SKIP() << "fw_printenv (libubootenv-tool) not installed";
    put_copy(0, 1, {"bootcmd=nand read 0 ker1; bootm", "bootargs=mem=128M console=ttyAMA0,115200"});
    put_copy(1, 0, {});
    ASSERT_EQ(quiet_init(), 0);
    ASSERT_EQ(hs_setenv("ipaddr", "192.168.1.10"), 0);
    const std::string want = "bootargs=mem=128M console=ttyAMA0,115200\n"
                             "bootcmd=nand read 0 ker1; bootm\n"
                             "ipaddr=192.168.1.10\n";
    for (int idx = 0; idx < 2; idx++) {
        char cfg[256];
        snprintf(cfg, sizeof cfg, "%s 0x%x 0x10000\n", root.path("/dev/mtd1").c_str(), idx * COPY);
        root.write("/fw_env.config", cfg);
        ut::RunResult r = ut::run({"fw_printenv", "-c", root.path("/fw_env.config")});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(sorted_lines(r.out), want) << idx;
    }
}

// A copy made with Debian's mkenvimage (no redundancy, zero padding), given
// a flag byte and a new CRC, loads in the store.
TEST_F(EnvTest, ReadsMkenvimageCopies)
{
    if (!ut::have_program("mkenvimage"))
        GTEST_SKIP() << "mkenvimage (u-boot-tools) not installed";
    root.write("/env.txt", "bootargs=mem=256M ubi.mtd=fs2\nbootcmd=run ker2\nethaddr=00:11:22:33:44:55\n");
    ut::RunResult r = ut::run({"mkenvimage", "-s", "65536", "-p", "0", "-o", root.path("/env.bin"),
                               root.path("/env.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = ut::run({ut::python(), "-c",
                 "import sys,zlib,struct;b=bytearray(open(sys.argv[1],'rb').read());b[-1]=200;"
                 "b[0:4]=struct.pack('<I',zlib.crc32(bytes(b[4:])));open(sys.argv[1],'wb').write(b)",
                 root.path("/env.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    put(1, root.read("/env.bin"));
    put_copy(0, 100, {"who=copy0"});
    ASSERT_EQ(quiet_init(), 0);
    EXPECT_EQ(env_current_copy(), 1);
    EXPECT_STREQ(hs_getenv("bootargs"), "mem=256M ubi.mtd=fs2");
    EXPECT_STREQ(hs_getenv("bootcmd"), "run ker2");
    EXPECT_STREQ(hs_getenv("ethaddr"), "00:11:22:33:44:55");
}

} // namespace
