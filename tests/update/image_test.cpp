#include "image.h"
#include "test_util.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const BLD = "bld:2049:0x4901000A:0:0:0x07E60712";
const char *const KER_NO_PAYLOAD = "ker:-:0x49010005";
const char *const FS = "fs:6144:0x49090010:0x100:1:0x07E60712";

class ImageTest : public ::testing::Test {
protected:
    ut::TempRoot root;
    // Builds an image with the reference script; returns the listing it expects.
    std::string build(const std::string &path, std::vector<std::string> descs)
    {
        descs.insert(descs.begin(), {"image", root.path(path)});
        return ut::ref(descs);
    }
};

TEST_F(ImageTest, ListsAndVerifiesReferenceImage)
{
    std::string want = build("/img.bin", {BLD, KER_NO_PAYLOAD, FS});
    ut::Capture cap;
    EXPECT_EQ(UPFW_list_intfo("/img.bin"), 0);
    cap.stop();
    EXPECT_EQ(cap.out, want);
    EXPECT_NE(want.find("date    = 2022/7/18\n"), std::string::npos);
    EXPECT_NE(want.find("version = 73.9.0.16\n"), std::string::npos);
    EXPECT_NE(want.find("ker: \nversion = 73.1.0.5\nfs: "), std::string::npos);

    ut::Capture cap2;
    EXPECT_EQ(UPFW_verify("/img.bin", nullptr), 0);
    cap2.stop();
    EXPECT_NE(cap2.out.find("bld: \noffset  = 0x00000800\nsize    = 0x00001000 (4 K)\n"),
              std::string::npos);
    EXPECT_EQ(cap2.out.find("ker:"), std::string::npos); // no payload, nothing to check
    EXPECT_NE(cap2.out.find("fs: "), std::string::npos);
    EXPECT_EQ(cap2.err, "");
}

// Any changed byte, padding included, fails the record holding it and
// stops the check there.
TEST_F(ImageTest, ChangedByteFailsVerification)
{
    struct Case {
        long offset;
        const char *failed;
        bool fs_checked;
    } cases[] = {
        {2048 + 10, "bld", false},       // payload
        {2048 + 4095, "bld", false},     // last padding byte of bld (2049 -> 4096)
        {6144 + 6143, "fs", true},       // last byte of fs
    };
    for (const Case &c : cases) {
        build("/img.bin", {BLD, KER_NO_PAYLOAD, FS});
        std::string img = root.read("/img.bin");
        img[(size_t)c.offset] ^= 0x40;
        root.write("/img.bin", img);
        ut::Capture cap;
        EXPECT_EQ(UPFW_verify("/img.bin", nullptr), -1) << c.offset;
        cap.stop();
        EXPECT_EQ(cap.err, std::string("check_img_crc ") + c.failed + " failed\n") << c.offset;
        EXPECT_EQ(cap.out.find("fs: ") != std::string::npos, c.fs_checked) << c.offset;
    }
}

TEST_F(ImageTest, ShortFilesAreRefused)
{
    root.write("/short.bin", std::string(2047, '\0'));
    const std::string msg = "Bad size: \"/short.bin\" is no valid image\n";
    {
        ut::Capture cap;
        EXPECT_EQ(UPFW_list_intfo("/short.bin"), -1);
        EXPECT_EQ(UPFW_verify("/short.bin", nullptr), -1);
        EXPECT_EQ(UPFW_analysis_img("/short.bin", 0), -1);
        cap.stop();
        EXPECT_EQ(cap.err, msg + msg + msg);
    }
    // A record pointing past the end of the file is a read error, not a pass.
    build("/img.bin", {BLD, FS});
    std::string img = root.read("/img.bin");
    root.write("/img.bin", img.substr(0, img.size() - 100));
    ut::Capture cap;
    EXPECT_EQ(UPFW_verify("/img.bin", nullptr), -1);
    cap.stop();
    EXPECT_EQ(cap.err, "read output imager\n");
    ut::Capture cap2;
    EXPECT_EQ(UPFW_list_intfo(nullptr), -1);
    cap2.stop();
    EXPECT_EQ(cap2.err, "Please input datafile\n");
}

TEST_F(ImageTest, CreateBuildsImageFromSourceFiles)
{
    const std::string t = "/share/qxhn/targets/hi3536c/firmware/";
    root.write(t + "uboot_512M", std::string(2049, 'b'));
    root.write(t + "uImage", std::string(4096, 'k'));
    root.write(t + "ubifs", std::string(10, 'f'));
    root.write("/share/qxhn/src/boards/hi3536c/firmware/update", std::string(3000, 'c'));
    root.write(t + "boot.jpg", "j");
    root.write(t + "uboot_1024M", std::string(2048, 'B'));
    ut::Capture cap;
    ASSERT_EQ(UPFW_creat_img(), 0);
    cap.stop();
    EXPECT_EQ(cap.out, "Copy data to image!!!\n");

    // The source is padded in place: 2049 bytes become 4096, the rest 0xFF.
    std::string bld = root.read(t + "uboot_512M");
    EXPECT_EQ(bld, std::string(2049, 'b') + std::string(2047, '\xff'));
    EXPECT_EQ(root.read(t + "uImage").size(), 4096u);

    const std::string out = "/share/qxhn/src/boards/hi3536c/firmware/update_IMG";
    std::string parsed = ut::ref({"parse", root.path(out)});
    EXPECT_NE(parsed.find("bld 2048 4096 0x4901000A"), std::string::npos) << parsed;
    // Each record line: name offset size version crc date ok (crc left out).
    const char *records[] = {"bld 2048 4096 0x4901000A", "ker 6144 4096 0x49010005",
                             "fs 10240 2048 0x49090010", "cmd 12288 4096 0x00010001",
                             "jpg 16384 2048 0x49010002", "bld2 18432 2048 0x4901010A"};
    std::vector<std::string> lines;
    for (size_t p = 0, q; (q = parsed.find('\n', p)) != std::string::npos; p = q + 1)
        lines.push_back(parsed.substr(p, q - p));
    ASSERT_EQ(lines.size(), 9u) << parsed;
    for (size_t i = 0; i < 6; i++) {
        EXPECT_EQ(lines[i].rfind(std::string(records[i]) + " 0x", 0), 0u) << lines[i];
        EXPECT_EQ(lines[i].substr(lines[i].size() - 14), " 0x07E60712 ok") << lines[i];
    }
    int y, mo, d, h, mi, sec, used = 0;
    EXPECT_EQ(sscanf(lines[6].c_str(), "time=%4d-%2d-%2d %2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &sec, &used), 6);
    EXPECT_EQ((size_t)used, lines[6].size()) << lines[6];
    EXPECT_EQ(lines[7], std::string("builder=9.0.16") + '\0');
    EXPECT_EQ(lines[8], "rest_zero=True");
    EXPECT_EQ(root.read(out).size(), 20480u);
    ut::Capture cap2;
    EXPECT_EQ(UPFW_verify(out.c_str(), nullptr), 0);
    cap2.stop();

    unlink(root.path(t + "ubifs").c_str());
    ut::Capture cap3;
    EXPECT_EQ(UPFW_creat_img(), -1);
}

TEST_F(ImageTest, ExtractsUpdateProgramReplacingOldFile)
{
    build("/img.bin", {BLD, "cmd:3000:0x00010001:0:1:0x07E60712"});
    root.write("/dev/shm/update", std::string(10000, 'x'));
    ut::Capture cap;
    ASSERT_EQ(UPFW_analysis_img("/img.bin", 0), 0);
    cap.stop();
    EXPECT_EQ(cap.out, "==============name /img.bin=\nCreate file: /dev/shm/update \n");
    std::string img = root.read("/img.bin");
    EXPECT_EQ(root.read("/dev/shm/update"), img.substr(6144, 4096));
    struct stat st;
    ASSERT_EQ(stat(root.path("/dev/shm/update").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u);
}

// /dev/shm is writable by everyone: a planted link must not redirect the
// write, and a failed copy must not leave a cut-off program behind.
TEST_F(ImageTest, ExtractionIsSafeAndCleansUp)
{
    build("/img.bin", {"cmd:3000:0x00010001:0:1:0x07E60712"});
    root.write("/etc/victim", "keep");
    root.write("/dev/shm/other", "");
    ASSERT_EQ(symlink(root.path("/etc/victim").c_str(), root.path("/dev/shm/update").c_str()), 0);
    {
        ut::Capture cap;
        ASSERT_EQ(UPFW_analysis_img("/img.bin", 0), 0);
    }
    EXPECT_EQ(root.read("/etc/victim"), "keep");
    struct stat st;
    ASSERT_EQ(lstat(root.path("/dev/shm/update").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));

    std::string img = root.read("/img.bin");
    root.write("/img.bin", img.substr(0, img.size() - 1));
    ut::Capture cap;
    EXPECT_EQ(UPFW_analysis_img("/img.bin", 0), -1);
    cap.stop();
    EXPECT_EQ(cap.err, "read input imager\nwrite /dev/shm/update faild\n");
    EXPECT_FALSE(ut::exists(root.path("/dev/shm/update")));

    // No "cmd" payload: nothing to extract, and that is no failure.
    build("/img.bin", {BLD});
    ut::Capture cap2;
    EXPECT_EQ(UPFW_analysis_img("/img.bin", 0), 0);
    cap2.stop();
    EXPECT_FALSE(ut::exists(root.path("/dev/shm/update")));
}

} // namespace
