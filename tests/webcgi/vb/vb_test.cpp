// "/vb.htm" factory options, with a stand-in chip tool first on PATH.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "harness.h"
#include "outside/qxdb.h"

using namespace nvrtest;

namespace {

// KT | N AAAAAA | H BB | E CCCCCCC | S DDDDDDDDDDD
const std::string kChip = "KTNAAAAAAHBBECCCCCCCSDDDDDDDDDDD";

class VbTest : public RouteTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(kChip.size(), 32u);
        root.write_file("/testbin/qxchip_update",
                        "#!/bin/sh\n"
                        "if [ \"$1\" = -r ]; then cat \"$NVR_ROOT/chip/current\" 2>/dev/null || exit 1\n"
                        "else printf '%s|%s\\n' \"$#\" \"$1\" >> \"$NVR_ROOT/chip/written\"; fi\n");
        chmod(root.path("/testbin/qxchip_update").c_str(), 0755);
        set_chip_output("some banner\nRead old:" + kChip + "\n");
    }
    void set_chip_output(const std::string &text) { root.write_file("/chip/current", text); }
    std::string written() { return root.read_file("/chip/written"); }

    CgiResult vb(const std::string &query)
    {
        CgiRequest req = nvrtest::get("/vb.htm", query);
        req.env["PATH"] = root.path("/testbin") + ":" + getenv("PATH");
        return run(req);
    }
};

TEST_F(VbTest, SimpleOptionsAnswerOncePerOption)
{
    set_param_value(CONFIG_DB_PATH, "software_version", "8.1.2");
    struct Case {
        std::string query;
        std::string out;
    } cases[] = {
        {"softversion", text_answer("8.1.2")},
        {"decode=1&hotplug=0", text_answer("OK") + text_answer("OK")},
        {"debug", text_answer("ERROR")},
        {"qwill", text_answer("ERROR")},
        {"abc", text_answer("PARAM ERROR")},
        {"", text_answer("PARAM ERROR")},
        {"decode=2&bogus=1&hotplug=5", text_answer("OK") + text_answer("ERROR")},
        {"setdefault=1", ""},
        {"decode=" + std::string(64, '1'), text_answer("PARAM ERROR")},
        {std::string(64, 'n') + "=1", text_answer("PARAM ERROR")},
        {"paratest=other", text_answer("Param ERROR")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(vb(c.query).out, c.out) << c.query;
    // The last good values stayed: the refused requests stored nothing more.
    char v[16];
    get_param_value(CONFIG_DB_PATH, "decode", v, sizeof v, "");
    EXPECT_STREQ(v, "2");
    EXPECT_EQ(get_param_int(CONFIG_DB_PATH, "hdmihotplug", -1), 0);
}

TEST_F(VbTest, SoftwareVersionHasADefault)
{
    EXPECT_EQ(vb("softversion").out, text_answer("7x.7.0.9"));
}

TEST_F(VbTest, SetLanguageTellsTheDaemon)
{
    CgiResult r = vb("setlang=3");
    EXPECT_EQ(r.out, text_answer("OK"));
    ASSERT_EQ(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].code, 4000);
    EXPECT_EQ(r.requests[0].payload, le32(3));
}

TEST_F(VbTest, ChipInfoIsReadFromTheTool)
{
    EXPECT_EQ(vb("paratest=chipinfo").out, text_answer("OK chipinfo=" + kChip + "\n"));
    EXPECT_FALSE(root.exists("/tmp/chipinfo.txt"));
    set_chip_output("no such line\n");
    EXPECT_EQ(vb("paratest=chipinfo").out, text_answer("ERROR"));
}

TEST_F(VbTest, ChipUpdateReplacesAFieldOrTheWholeText)
{
    struct Case {
        std::string value, answer, chip;
    } cases[] = {
        {"N123456", "OK chipupdate", "KTN123456HBBECCCCCCCSDDDDDDDDDDD"},
        {"H77", "OK chipupdate", "KTNAAAAAAH77ECCCCCCCSDDDDDDDDDDD"},
        {"E7654321", "OK chipupdate", "KTNAAAAAAHBBE7654321SDDDDDDDDDDD"},
        {"S12345678901", "OK chipupdate", "KTNAAAAAAHBBECCCCCCCS12345678901"},
        // 21 to 31 characters are padded to 32.
        {"KTR123456789012345678", "OK chipupdate", "KTR12345678901234567800000000000"},
        {"KTRX", "OK chipupdate", "KTRX"},
        {"N12", "NG chipupdate", ""},         // not all six characters given
        {"Q123456", "NG chipupdate", ""},
        {"KTA", "NG chipupdate", ""},
        {std::string(33, 'K'), "NG chipupdate", ""},
    };
    for (const Case &c : cases) {
        root.write_file("/chip/written", "");
        EXPECT_EQ(vb("chipupdate=" + c.value).out, text_answer(c.answer)) << c.value;
        EXPECT_EQ(written(), c.chip.empty() ? "" : "1|" + c.chip + "\n") << c.value;
    }
}

TEST_F(VbTest, ModelUpdatePadsTheFieldWithZeros)
{
    struct Case {
        std::string value, answer, chip;
    } cases[] = {
        {"H1", "OK modelupdate", "KTNAAAAAAH10ECCCCCCCSDDDDDDDDDDD"},
        {"N12", "OK modelupdate", "KTN120000HBBECCCCCCCSDDDDDDDDDDD"},
        {"E1234567", "OK modelupdate", "KTNAAAAAAHBBE1234567SDDDDDDDDDDD"},
        {"S", "OK modelupdate", "KTNAAAAAAHBBECCCCCCCS00000000000"},
        {"S123456789012", "NG modelupdate", ""},
        {"X1", "NG modelupdate", ""},
        {"", "NG modelupdate", ""},
    };
    for (const Case &c : cases) {
        root.write_file("/chip/written", "");
        EXPECT_EQ(vb("modelupdate=" + c.value).out, text_answer(c.answer)) << c.value;
        EXPECT_EQ(written(), c.chip.empty() ? "" : "1|" + c.chip + "\n") << c.value;
    }
    // Without a chip text to change, nothing is written.
    set_chip_output("");
    root.write_file("/chip/written", "");
    EXPECT_EQ(vb("modelupdate=H1").out, text_answer("NG modelupdate"));
    EXPECT_EQ(written(), "");
}

TEST_F(VbTest, ChipTextReachesTheToolAsOneWord)
{
    for (const std::string value : {"KTR;touch${IFS}pwned", "KTR$(touch${IFS}pwned)", "KTR`touch${IFS}pwned`"}) {
        root.write_file("/chip/written", "");
        EXPECT_EQ(vb("chipupdate=" + value).out, text_answer("OK chipupdate"));
        EXPECT_EQ(written().rfind("1|" + value, 0), 0u) << written(); // one argument, unchanged
        EXPECT_FALSE(root.exists("/pwned"));
    }
}

TEST_F(VbTest, OemCleanRestoresTheStandardBuild)
{
    root.write_file("/mnt/nand2/logo.jpg_bk", "LOGO");
    root.write_file("/mnt/nand2/gui.rcc_bk", "GUI");
    root.write_file("/mnt/nand2/oem.db", "x");
    root.mkdirs("/opt/app/bin");
    root.write_file("/stage/index.htm", "page");
    ASSERT_EQ(system(("tar -czf " + root.path("/opt/app/www/web.tar.gz") + " -C " + root.path("/stage") +
                      " index.htm 2>/dev/null || (mkdir -p " + root.path("/opt/app/www") + " && tar -czf " +
                      root.path("/opt/app/www/web.tar.gz") + " -C " + root.path("/stage") + " index.htm)")
                         .c_str()),
              0);
    set_param_int(CONFIG_DB_PATH, "oem_type", 3);

    EXPECT_EQ(vb("oemclean").out, text_answer("OK"));
    EXPECT_EQ(root.read_file("/opt/app/bin/logo.jpg"), "LOGO");
    EXPECT_EQ(root.read_file("/opt/app/bin/gui.rcc"), "GUI");
    EXPECT_TRUE(root.list("/mnt/nand2").empty());
    EXPECT_EQ(root.read_file("/opt/app/www/index.htm"), "page");
    for (const char *f : {"/mnt/nand/app/eraseip", "/mnt/nand/app/eraseuser", "/mnt/nand/app/eraseall"})
        EXPECT_TRUE(root.exists(f)) << f;
    EXPECT_EQ(get_param_int(CONFIG_DB_PATH, "oem_type", -1), 0);
}

} // namespace
