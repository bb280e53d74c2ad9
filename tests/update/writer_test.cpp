// The partition writers on their own: bad blocks, geometry, sizes.
#include "recorder_fixture.h"

#include "upfw.h"

namespace {

class WriterTest : public RecorderTest {
protected:
    upfw_plan_entry entry(int slot, const char *part, const char *dev)
    {
        upfw_part r = record(slot);
        upfw_plan_entry e;
        memset(&e, 0, sizeof e);
        e.write = 1;
        snprintf(e.part, sizeof e.part, "%s", part);
        snprintf(e.dev, sizeof e.dev, "%s", dev);
        e.offset = r.offset;
        e.size = r.size;
        e.flag = r.flag;
        e.addr = r.addr;
        e.version = r.version;
        e.date = r.date;
        return e;
    }
};

TEST_F(WriterTest, NandSkipsAndMarksBadBlocks)
{
    const uint32_t BS = 16384;
    struct Row {
        const char *what;
        std::string geom; // added to the device's sidecar
        uint32_t dev_size;
        int rc;
        std::vector<int> blocks; // erase blocks holding the payload, in order
        const char *bad_after;   // the sidecar's bad= line afterwards, or null
        const char *out, *err;   // expected within the output
    } rows[] = {
        {"clean", "", 8 * BS, 0, {0, 1, 2}, nullptr, "image_length = 0x0000a000\n", ""},
        {"marked and failing blocks", "bad=1\nfailverify=2\n", 8 * BS, 0, {0, 3, 4}, "bad=1,2\n",
         "Bad block at 4000, 1 block(s) from 4000 will be skipped\n", ""},
        {"failing first block", "failverify=0\n", 8 * BS, 0, {1, 2, 3}, "bad=0\n", "image_length", ""},
        // Page 4 of block 1 keeps zero bits after the erase: the first four
        // pages of the block must be written again into the next one.
        {"failing in mid block", "", 8 * BS, 0, {0, 2, 3}, "bad=1\n",
         "Verify failed at 6000, marking block at 4000 bad\n", ""},
        {"too few good blocks", "bad=0,1,2,3,4,5\n", 8 * BS, -1, {}, nullptr, "",
         "Data was only partially written due to error\n"},
        {"device too small", "", 2 * BS, -1, {}, nullptr,
         "Image 40960 bytes, NAND page 2048 bytes, OOB area 64 bytes, device size 32768 bytes\n",
         "Input file does not fit into device\n"},
        {"not a normal NAND", "writesize=4096\noobsize=128\n", 8 * BS, -1, {}, nullptr, "",
         "Unknown flash (not normal NAND)\n"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        recorder({"bootargs=" + rec::ARGS1, "bootcmd=" + rec::CMD1, rec::UBOOT, rec::FS1});
        root.write("/dev/mtd6", std::string(r.dev_size, '\x66'));
        root.write("/dev/mtd6.geom", rec::NAND16K + r.geom);
        if (r.what == std::string("failing in mid block")) {
            unlink(root.path("/usr/sbin/flash_erase").c_str());
            root.write("/usr/sbin/flash_erase", std::string("#!/bin/sh\n") + FLASH_ERASE_BIN +
                                                    " \"$@\" || exit 1\n"
                                                    "head -c 2048 /dev/zero | dd of=\"$NVR_ROOT/dev/mtd6\" "
                                                    "bs=2048 seek=12 conv=notrunc 2>/dev/null\n");
            chmod(root.path("/usr/sbin/flash_erase").c_str(), 0755);
        }
        image({"bld:-:0x4901000A", "ker:2048:0x49010006:0:0:0x07E60712", "fs:40000:0x49090011:0:1:0x07E60713"});
        upfw_plan_entry e = entry(SLOT_FS, "fs2", "/dev/mtd6");
        ut::Capture cap;
        int rc = nand_flash_write_file("/dev/shm/updateFM.bin", &e);
        cap.stop();
        EXPECT_EQ(rc, r.rc) << cap.err;
        EXPECT_NE(cap.out.find(r.out), std::string::npos) << cap.out;
        EXPECT_NE(cap.err.find(r.err), std::string::npos) << cap.err;
        if (r.rc == 0) {
            std::string d = dev("/dev/mtd6"), got;
            for (int b : r.blocks)
                got += d.substr((size_t)b * BS, BS);
            std::string want = payload(SLOT_FS);
            EXPECT_TRUE(got.compare(0, want.size(), want) == 0);
            EXPECT_TRUE(got.substr(want.size()) == std::string(got.size() - want.size(), '\xff'));
            EXPECT_EQ(env("fs2"), "name:fs2\tver:0x49090011\tsize:40960\tdate:0x07e60713 ");
        } else {
            EXPECT_EQ(env("fs2"), "<none>");
        }
        if (r.bad_after) {
            EXPECT_NE(root.read("/dev/mtd6.geom").find(r.bad_after), std::string::npos);
        }
    }
}

TEST_F(WriterTest, SpiRefusals)
{
    recorder({"bootargs=" + rec::ARGS1, "bootcmd=" + rec::CMD1, rec::UBOOT});
    image({"bld:70000:0x4901000B:0:0:0x07E60712", "ker:2048:0x49010006:0:0:0x07E60712",
           "fs:2048:0x49090011:0:1:0x07E60713"});
    struct Row {
        const char *dev, *err;
    } rows[] = {
        {"/dev/mtd0", "The image length > mtd size ! \n"},
        {"/dev/mtd9", "This doesn't seem to be a valid MTD flash device! \n"},
    };
    for (const Row &r : rows) {
        upfw_plan_entry e = entry(SLOT_BLD, "uboot", r.dev);
        ut::Capture cap;
        EXPECT_EQ(spi_flash_write_file("/dev/shm/updateFM.bin", &e), -1);
        cap.stop();
        EXPECT_EQ(cap.err, r.err);
    }
    EXPECT_TRUE(untouched("uboot"));
    EXPECT_EQ(env("uboot"), rec::UBOOT.substr(6));
}

TEST_F(WriterTest, ResultLog)
{
    recorder({"bootargs=" + rec::ARGS1});
    root.write("/mnt/nand/upfw.log", std::string(1000, 'x'));
    std::string long_msg(300, 'm');
    {
        ut::Capture cap;
        EXPECT_EQ(UPFW_log(-9, long_msg.c_str()), 256);
        cap.stop();
        EXPECT_EQ(cap.err, long_msg);
    }
    EXPECT_EQ(log(), rec::block("-9\n") + std::string(255, 'm') + '\0');
    for (const char *f : {"/mnt/nand/upfw.log", "/mnt/nand/.keep"})
        unlink(root.path(f).c_str());
    ASSERT_EQ(rmdir(root.path("/mnt/nand").c_str()), 0);
    ut::Capture cap;
    EXPECT_EQ(UPFW_log(0, "update success!\n"), -1);
    cap.stop();
    EXPECT_EQ(cap.err, "update success!\nopen /mnt/nand/upfw.log\n");
}

} // namespace
