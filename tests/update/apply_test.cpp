// Applying an image end to end: the update program on file-backed flash.
#include "recorder_fixture.h"

#include "upfw.h"

#include <dirent.h>

namespace {

using rec::block;

const std::string KER = "ker:8192:0x49010006:0:0:0x07E60712";
const std::string FS = "fs:40000:0x49090011:0:1:0x07E60713";
const std::string CMD = "cmd:100:0x00010001:0:1:0x07E60712";
const std::string NONE = ":-:0";
const std::string BLD_SAME = "bld:-:0x4901000A";
const std::string BLD2_OTHER = "bld2:-:0x4901010A";

std::vector<std::string> standard_image()
{
    return {BLD_SAME, KER, FS, CMD, NONE, BLD2_OTHER};
}

std::string digit_swapped(std::string s, const std::string &marker, char d)
{
    s[s.find(marker) + marker.size()] = d;
    return s;
}

class ApplyTest : public RecorderTest {};

TEST_F(ApplyTest, WritesTheOtherPairAndSwitches)
{
    struct Row {
        char fs, ker;               // running pair
        std::vector<std::string> opts;
        const char *fs_dev, *ker_dev; // written
        const char *fs_part, *ker_part;
    } rows[] = {
        {'1', '1', {"-u"}, "/dev/mtd6", "/dev/mtd4", "fs2", "ker2"},
        {'2', '2', {"-u"}, "/dev/mtd5", "/dev/mtd3", "fs1", "ker1"},
        // The digits disagree: neither running partition may be written.
        {'1', '2', {"-e", "-u"}, "/dev/mtd6", "/dev/mtd3", "fs2", "ker1"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(1, r.fs) + r.ker);
        std::string args = digit_swapped(rec::ARGS1, "=fs", r.fs);
        std::string cmd = digit_swapped(rec::CMD1, "ker", r.ker);
        recorder({"bootargs=" + args, "bootcmd=" + cmd, rec::UBOOT, rec::FS1, rec::LOGO});
        image(standard_image());
        std::vector<std::string> opts = r.opts;
        ut::RunResult res = update(opts);
        EXPECT_EQ(res.status, 0) << res.err;
        EXPECT_EQ(log(), block("0\n") + block("update success!\n"));
        EXPECT_NE(res.out.find(std::string("Update fs partition:\ndev \t    = ") + r.fs_dev + "\n"),
                  std::string::npos)
            << res.out;

        EXPECT_TRUE(holds(r.fs_dev, payload(SLOT_FS)));
        EXPECT_TRUE(holds(r.ker_dev, payload(SLOT_KER)));
        for (const char *p : {"uboot", "logo"})
            EXPECT_TRUE(untouched(p)) << p;
        EXPECT_TRUE(untouched(r.fs_part[2] == '1' ? "fs2" : "fs1"));
        EXPECT_TRUE(untouched(r.ker_part[3] == '1' ? "ker2" : "ker1"));

        EXPECT_EQ(env("bootargs"), digit_swapped(args, "=fs", r.fs_part[2]));
        EXPECT_EQ(env("bootcmd"), digit_swapped(cmd, "ker", r.ker_part[3]));
        EXPECT_EQ(env(r.fs_part),
                  std::string("name:") + r.fs_part + "\tver:0x49090011\tsize:40960\tdate:0x07e60713 ");
        EXPECT_EQ(env(r.ker_part),
                  std::string("name:") + r.ker_part + "\tver:0x49010006\tsize:8192\tdate:0x07e60712 ");
    }
}

// Nothing may reach flash when the run stops before writing.
TEST_F(ApplyTest, RefusedRunsWriteNothing)
{
    std::string mtd_near = "dev:    size   erasesize  name\nmtd1: 00020000 00010000 \"env\"\n"
                           "mtd3: 00010000 00004000 \"ker1\"\nmtd4: 00010000 00004000 \"ker2\"\n"
                           "mtd5: 00020000 00004000 \"fs1\"\nmtd6: 00020000 00004000 \"fs2x\"\n"
                           "mtd7: 00020000 00004000 \"xfs2\"\n";
    struct Row {
        const char *what;
        std::string bootargs, mtd, chip_line;
        std::vector<std::string> img;
        bool corrupt_fs;
        const char *code, *msg, *err;
    } rows[] = {
        {"crc", rec::ARGS1, "", "", standard_image(), true, "-2\n", "verify update firmware faild!\n",
         "check_img_crc fs failed\n"},
        {"no fs2 device", rec::ARGS1, mtd_near, "", standard_image(), false, "-4\n",
         "update ptb partition faild!\n", "No mtd device of fs2 partition!\n"},
        {"nfs", "root=/dev/nfs nfsroot=1.2.3.4:/x", "", "", standard_image(), false, "-4\n",
         "update ptb partition faild!\n", "bootargs not find fs, maybe NFS!\n"},
        {"unknown fs", "ubi.mtd=fs3", "", "", standard_image(), false, "-4\n", "update ptb partition faild!\n",
         "unknow fs partition!\n"},
        {"no room for vmalloc", "mem=1024M ubi.mtd=fs1 " + std::string(480, 'x'), "",
         "Read old:KTR4440ABCDEFGHIJKLMNOPQRSTUVWXY",
         {"bld:4096:0x4901000B:0:0:0x07E60712", KER, FS, CMD, NONE, BLD2_OTHER}, false, "-10\n",
         "update cmdline faild!\n", "bootargs has no room for vmalloc=1024M!\n"},
        {"no kernel", rec::ARGS1, "", "", {BLD_SAME, NONE, FS, CMD, NONE, BLD2_OTHER}, false, "-8\n",
         "update kernel partition faild!\n", "No filesys image!\n"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        recorder({"bootargs=" + r.bootargs, "bootcmd=" + rec::CMD1, rec::UBOOT, rec::FS1}, r.mtd);
        chip(r.chip_line);
        image(r.img);
        if (r.corrupt_fs) {
            std::string img = root.read("/dev/shm/updateFM.bin");
            img[record(SLOT_FS).offset + 40500] ^= 0x01; // in the padding
            root.write("/dev/shm/updateFM.bin", img);
        }
        std::string env_before = dev("/dev/mtd1");
        ut::RunResult res = update({"-e", "-u"});
        EXPECT_EQ(res.status, 0) << res.err;
        EXPECT_EQ(log(), block(r.code) + block(r.msg));
        EXPECT_NE(res.err.find(r.err), std::string::npos) << res.err;
        for (const rec::Part &p : rec::PARTS)
            EXPECT_TRUE(untouched(p.name)) << p.name;
        EXPECT_TRUE(dev("/dev/mtd1") == env_before);
    }
}

TEST_F(ApplyTest, CompatibilityRefusalStopsBeforeExtracting)
{
    recorder({"bootargs=" + rec::ARGS1, "bootcmd=" + rec::CMD1, rec::UBOOT,
              "fs1=name:fs1\tver:0x49090014\tsize:40960\tdate:0x07e60712 "});
    image({BLD_SAME, KER, "fs:40000:0x49080905:0:1:0x07E60713", CMD, NONE, BLD2_OTHER});
    for (const char *opt : {"-a", "-u", "--upfw"}) {
        SCOPED_TRACE(opt);
        ut::RunResult res = update({opt});
        EXPECT_EQ(res.status, 256 - 14);
        EXPECT_EQ(res.out, "version = 8.9.5\ndo not support back to < 9.0.x from 9.0.x. \n");
        EXPECT_EQ(res.err, "firmware mismatch!\n");
        EXPECT_EQ(log(), block("-14\n") + block("firmware mismatch!\n"));
        EXPECT_FALSE(ut::exists(root.path("/dev/shm/update")));
        for (const rec::Part &p : rec::PARTS)
            EXPECT_TRUE(untouched(p.name)) << p.name;
    }
    // With e the check is skipped: extracted and applied.
    ut::RunResult res = update({"-e", "-u"});
    EXPECT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(log(), block("0\n") + block("update success!\n"));
    EXPECT_EQ(root.read("/dev/shm/update"), payload(SLOT_CMD));
    EXPECT_TRUE(holds("/dev/mtd6", payload(SLOT_FS)));
}

// A failed extraction leaves no program behind, neither a cut-off copy nor
// an older one.
TEST_F(ApplyTest, ExtractionChecksTheProgramCrc)
{
    recorder({"bootargs=" + rec::ARGS1, "bootcmd=" + rec::CMD1, rec::UBOOT, rec::FS1});
    image(standard_image());
    std::string img = root.read("/dev/shm/updateFM.bin");
    img[record(SLOT_CMD).offset + 5] ^= 0x20;
    root.write("/dev/shm/updateFM.bin", img);
    root.write("/dev/shm/update", "old program");
    ut::RunResult res = update({"-e"});
    EXPECT_EQ(res.status, 255);
    EXPECT_EQ(res.err, "check_img_crc cmd failed\nwrite /dev/shm/update faild\n"
                       "Analysis /dev/shm/updateFM.bin faild!\n");
    EXPECT_EQ(log(), block("-1\n") + block("Analysis /dev/shm/updateFM.bin faild!\n"));
    DIR *d = opendir(root.path("/dev/shm").c_str());
    ASSERT_NE(d, nullptr);
    std::vector<std::string> names;
    while (dirent *e = readdir(d))
        if (e->d_name[0] != '.')
            names.push_back(e->d_name);
    closedir(d);
    EXPECT_EQ(names, std::vector<std::string>{"updateFM.bin"});
}

TEST_F(ApplyTest, BootLoaderAndLogoFollowTheBoardRules)
{
    const std::string BLD_NEWER = "bld:4096:0x4901000B:0:0:0x07E60712";
    const std::string BLD_OTHER_BOARD = "bld:4096:0x4901010B:0:0:0x07E60712";
    const std::string BLD2_NEWER = "bld2:6144:0x4901010B:0:0:0x07E60712";
    const std::string JPG_NEW = "jpg:2048:0x49010003:0:1:0x07E60712";
    const std::string JPG_OTHER = "jpg:2048:0x49010103:0:1:0x07E60712";
    const std::string ARGS_VM = "mem=1024M ubi.mtd=fs1 vmalloc=512M";
    struct Row {
        const char *what, *chip;
        std::string bootargs;
        std::vector<std::string> img;
        std::vector<std::string> written; // "Update X partition:" in order
        int uboot_slot;                    // slot now in uboot, or -1
        std::string args_after;            // bootargs, digit switched
    } rows[] = {
        {"newer patch", "", rec::ARGS1, {BLD_NEWER, KER, FS, CMD, NONE, BLD2_OTHER}, {"bld", "ker", "fs"},
         SLOT_BLD, digit_swapped(rec::ARGS1, "=fs", '2')},
        {"other board", "", rec::ARGS1, {BLD_OTHER_BOARD, KER, FS, CMD, NONE, BLD2_NEWER}, {"ker", "fs"}, -1,
         digit_swapped(rec::ARGS1, "=fs", '2')},
        {"4440 memory", "Read old:KTR4440XXXX", "mem=1024M ubi.mtd=fs1",
         {BLD_NEWER, KER, FS, CMD, NONE, BLD2_OTHER}, {"bld", "ker", "fs"}, SLOT_BLD,
         "mem=1224M ubi.mtd=fs2 vmalloc=1024M"},
        {"4450 has vmalloc", "Read old:KTR4450XXXX", ARGS_VM, {BLD_NEWER, KER, FS, CMD, NONE, BLD2_OTHER},
         {"bld", "ker", "fs"}, SLOT_BLD, "mem=1224M ubi.mtd=fs2 vmalloc=512M"},
        {"4410 takes bld2", "Read old:KTR4410XXXX", "mem=1024M ubi.mtd=fs1",
         {BLD_NEWER, KER, FS, CMD, NONE, BLD2_NEWER}, {"ker", "fs", "bld2"}, SLOT_BLD2,
         "mem=2048M ubi.mtd=fs2 vmalloc=1024M"},
        {"new logo", "", rec::ARGS1, {BLD_SAME, KER, FS, CMD, JPG_NEW, BLD2_OTHER}, {"ker", "fs", "jpg"}, -1,
         digit_swapped(rec::ARGS1, "=fs", '2')},
        {"logo of another kind", "", rec::ARGS1, {BLD_SAME, KER, FS, CMD, JPG_OTHER, BLD2_OTHER},
         {"ker", "fs"}, -1, digit_swapped(rec::ARGS1, "=fs", '2')},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        recorder({"bootargs=" + r.bootargs, "bootcmd=" + rec::CMD1, rec::UBOOT, rec::FS1, rec::LOGO});
        chip(r.chip);
        image(r.img);
        ut::RunResult res = update({"-u"});
        EXPECT_EQ(log(), block("0\n") + block("update success!\n")) << res.err;
        std::vector<std::string> written;
        for (size_t p = 0; (p = res.out.find("Update ", p)) != std::string::npos; p++) {
            size_t e = res.out.find(" partition:\n", p);
            if (e != std::string::npos)
                written.push_back(res.out.substr(p + 7, e - p - 7));
        }
        EXPECT_EQ(written, r.written) << res.out;
        if (r.uboot_slot < 0) {
            EXPECT_TRUE(untouched("uboot"));
        } else {
            // NOR: only the blocks the payload needs are erased.
            std::string p = payload(r.uboot_slot), u = dev("/dev/mtd0");
            size_t erased = (p.size() + 4095) / 4096 * 4096;
            EXPECT_TRUE(u.compare(0, p.size(), p) == 0);
            EXPECT_TRUE(u.substr(p.size(), erased - p.size()) == std::string(erased - p.size(), '\xff'));
            EXPECT_TRUE(u.substr(erased) == std::string(65536 - erased, '\x33'));
            upfw_part b = record(r.uboot_slot);
            char want[128];
            snprintf(want, sizeof want, "name:uboot\tver:0x%08x\tsize:%u\tdate:0x07e60712 ", b.version, b.size);
            EXPECT_EQ(env("uboot"), want);
        }
        if (std::find(r.written.begin(), r.written.end(), "jpg") != r.written.end())
            EXPECT_TRUE(holds("/dev/mtd2", payload(SLOT_JPG)));
        else
            EXPECT_TRUE(untouched("logo"));
        EXPECT_EQ(env("bootargs"), r.args_after);
    }
}

// A power cut at any byte of the switch leaves either the old pair or the
// new pair, never a mix.
TEST_F(ApplyTest, PowerCutDuringTheSwitch)
{
    const std::string args = "bootargs=" + rec::ARGS1, cmd = "bootcmd=" + rec::CMD1;
    recorder({args, cmd, rec::UBOOT, rec::FS1});
    image(standard_image());
    const std::string env_dev = dev("/dev/mtd1");
    const std::string new_args = digit_swapped(rec::ARGS1, "=fs", '2');
    const std::string new_cmd = digit_swapped(rec::CMD1, "ker", '2');
    // Each store erases and writes both 64 KiB copies (256 KiB); the two
    // partition entries come first, so the switch is the third store.
    const uint32_t K = 1024, start = 512 * K, end = 768 * K;
    // Around the start and end of each of its four steps (erase and write
    // of each copy), and in the middle of each, where a copy is half done.
    std::vector<uint32_t> cuts = {0, 128 * K + 1, 384 * K};
    for (uint32_t c = start; c <= end; c += 64 * K) {
        cuts.push_back(c - 1);
        cuts.push_back(c + 1);
        if (c < end)
            cuts.push_back(c + 32 * K + 3);
    }
    int old_seen = 0, new_seen = 0;
    bool switched = false;
    for (uint32_t cut : cuts) {
        SCOPED_TRACE(cut);
        root.write("/dev/mtd1", env_dev);
        root.write("/dev/mtd1.geom", "type=nor\nerasesize=65536\ncutafter=" + std::to_string(cut) + "\n");
        ut::RunResult res = update({"-e", "-u"});
        ASSERT_EQ(res.status, 0) << res.err;
        ut::Capture cap;
        ASSERT_EQ(env_init(), 0);
        const char *a = hs_getenv("bootargs"), *c = hs_getenv("bootcmd");
        cap.stop();
        ASSERT_TRUE(a && c);
        if (a == new_args) {
            EXPECT_EQ(c, new_cmd);
            new_seen++;
            switched = true;
        } else {
            EXPECT_EQ(a, rec::ARGS1);
            EXPECT_EQ(c, rec::CMD1);
            EXPECT_FALSE(switched) << "went back to the old pair after a later cut";
            old_seen++;
        }
    }
    EXPECT_GT(old_seen, 3);
    EXPECT_GT(new_seen, 3);
}

} // namespace
