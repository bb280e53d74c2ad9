#include "flash.h"
#include "test_util.h"

#include <cerrno>
#include <fcntl.h>
#include <string>

namespace {

const uint32_t BS = 4096;

class FlashTest : public ::testing::Test {
protected:
    ut::TempRoot root;
    flash_dev *open_dev(const std::string &geom, uint32_t blocks = 4)
    {
        root.make_flash("/dev/mtd3", blocks * BS, geom);
        return flash_open("/dev/mtd3", O_RDWR);
    }
    std::string bytes(size_t off, size_t n) { return root.read("/dev/mtd3").substr(off, n); }
};

TEST_F(FlashTest, FileDeviceGeometryFromSidecar)
{
    flash_dev *d = open_dev("type=nand\nerasesize=4096\nwritesize=512\noobsize=16\n");
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(flash_is_mtd(d)); // a regular file refuses MEMGETINFO
    const flash_geom *g = flash_geometry(d);
    EXPECT_EQ(g->type, (uint32_t)FLASH_TYPE_NAND);
    EXPECT_EQ(g->size, 4 * BS);
    EXPECT_EQ(g->erasesize, BS);
    EXPECT_EQ(g->writesize, 512u);
    EXPECT_EQ(g->oobsize, 16u);
    flash_close(d);
}

TEST_F(FlashTest, OpenRefusesFilesWithoutUsableSidecar)
{
    root.write("/dev/mtd4", std::string(BS, '\xff'));
    errno = 0;
    EXPECT_EQ(flash_open("/dev/mtd4", O_RDWR), nullptr);
    EXPECT_EQ(errno, ENOTTY);
    for (const char *geom : {"erasesize=4096\n", "type=nor\n", "type=nor\nerasesize=x\n"}) {
        root.write("/dev/mtd4.geom", geom);
        EXPECT_EQ(flash_open("/dev/mtd4", O_RDWR), nullptr) << geom;
    }
    EXPECT_EQ(flash_open("/dev/mtd9", O_RDWR), nullptr);
}

// Erase sets 0xFF, a write only clears bits, as on real flash.
TEST_F(FlashTest, WritesClearBitsAndEraseSetsThem)
{
    flash_dev *d = open_dev("type=nor\nerasesize=4096\n");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(flash_pwrite(d, "\x0f\x0f", 2, 10), 2);
    EXPECT_EQ(flash_pwrite(d, "\xf3\x3c", 2, 10), 2);
    EXPECT_EQ(bytes(10, 2), std::string("\x03\x0c", 2));
    char back[2];
    EXPECT_EQ(flash_pread(d, back, 2, 10), 2);
    EXPECT_EQ(std::string(back, 2), std::string("\x03\x0c", 2));
    EXPECT_EQ(flash_erase(d, 0, BS), 0);
    EXPECT_EQ(bytes(10, 2), "\xff\xff");
    EXPECT_EQ(flash_erase(d, 100, BS), -1);   // not on a block boundary
    EXPECT_EQ(flash_erase(d, 3 * BS, 2 * BS), -1); // past the end
    EXPECT_EQ(flash_pwrite(d, "x", 1, 4 * BS), -1);
    flash_close(d);
}

TEST_F(FlashTest, BadBlocksAreReportedRefuseEraseAndMarkingIsSaved)
{
    flash_dev *d = open_dev("# test part\ntype=nand\nerasesize=4096\nbad=1, 3\n");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(flash_is_bad(d, 0), 0);
    EXPECT_EQ(flash_is_bad(d, BS + 5), 1);
    EXPECT_EQ(flash_is_bad(d, 3 * BS), 1);
    EXPECT_EQ(flash_is_bad(d, 4 * BS), -1);
    EXPECT_EQ(flash_erase(d, BS, BS), -1);
    EXPECT_EQ(flash_mark_bad(d, 2 * BS), 0);
    EXPECT_EQ(flash_is_bad(d, 2 * BS), 1);
    flash_close(d);
    EXPECT_EQ(root.read("/dev/mtd3.geom"), "# test part\ntype=nand\nerasesize=4096\nbad=1,3,2\n");
    d = flash_open("/dev/mtd3", O_RDONLY);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(flash_is_bad(d, 2 * BS), 1);
    flash_close(d);
}

TEST_F(FlashTest, FailVerifyBlockReadsBackDifferently)
{
    flash_dev *d = open_dev("type=nand\nerasesize=4096\nfailverify=2\n");
    ASSERT_NE(d, nullptr);
    std::string data(BS, 'A');
    for (uint32_t b : {1u, 2u}) {
        ASSERT_EQ(flash_pwrite(d, data.data(), BS, b * BS), (ssize_t)BS);
        std::string back(BS, 0);
        ASSERT_EQ(flash_pread(d, &back[0], BS, b * BS), (ssize_t)BS);
        EXPECT_EQ(back == data, b == 1) << b;
    }
    flash_close(d);
}

// After cutafter bytes of writes and erases in this process everything
// further is dropped, also across reopening the device.
TEST_F(FlashTest, CutAfterDropsLaterWritesAndErases)
{
    flash_dev *d = open_dev("type=nor\nerasesize=4096\ncutafter=4196\n");
    ASSERT_NE(d, nullptr);
    root.write("/dev/mtd3", std::string(4 * BS, '\x55'));
    EXPECT_EQ(flash_erase(d, 0, BS), 0); // 4096 bytes, all before the cut
    std::string zero(200, '\0');
    ASSERT_EQ(flash_pwrite(d, zero.data(), 200, 0), 200); // only 100 reach the flash
    std::string now = bytes(0, 200);
    EXPECT_EQ(now.substr(0, 100), std::string(100, '\0'));
    EXPECT_EQ(now.substr(100), std::string(100, '\xff'));
    flash_close(d);
    d = flash_open("/dev/mtd3", O_RDWR);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(flash_pwrite(d, zero.data(), 10, 2 * BS), 10); // reported done, silently lost
    EXPECT_EQ(flash_erase(d, BS, BS), 0);
    flash_close(d);
    EXPECT_EQ(bytes(2 * BS, 10), std::string(10, '\x55'));
    EXPECT_EQ(bytes(BS, 10), std::string(10, '\x55'));
}

TEST_F(FlashTest, FlashEraseProgramSkipsBadBlocks)
{
    root.make_flash("/dev/mtd5", 4 * BS, "type=nand\nerasesize=4096\nbad=1\n");
    root.write("/dev/mtd5", std::string(4 * BS, '\0'));
    root.install_flash_erase();
    // As the update tool runs it.
    ut::RunResult r = ut::run({root.path("/usr/sbin/flash_erase"), "/dev/mtd5", "0", "0"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string img = root.read("/dev/mtd5");
    EXPECT_EQ(img.substr(0, BS), std::string(BS, '\xff'));
    EXPECT_EQ(img.substr(BS, BS), std::string(BS, '\0'));
    EXPECT_EQ(img.substr(2 * BS), std::string(2 * BS, '\xff'));

    root.write("/dev/mtd5", std::string(4 * BS, '\0'));
    r = ut::run({ut::flash_erase_bin(), "/dev/mtd5", "0x2000", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    img = root.read("/dev/mtd5");
    EXPECT_EQ(img.substr(2 * BS, BS), std::string(BS, '\xff'));
    EXPECT_EQ(img.substr(3 * BS, BS), std::string(BS, '\0'));

    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
             {"/dev/mtd5", "0"}, {"/dev/mtd5", "100", "0"}, {"/dev/mtd5", "0", "5"},
             {"/dev/mtd5", "0", "-1"}, {"/dev/nothing", "0", "0"}}) {
        bad.insert(bad.begin(), ut::flash_erase_bin());
        EXPECT_EQ(ut::run(bad).status, 1) << bad[1] << " " << bad[2];
    }
}

} // namespace
