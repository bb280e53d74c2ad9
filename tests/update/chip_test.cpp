// Chip information: the "chipinfo" variable with its EEPROM fallback, and
// our qxchip_update tool on top of it.
#include "env_fixture.h"

#include "chip.h"

namespace {

const std::string EEPROM_TEXT = "KTR442001H20EU000000S13155100099";
const std::string ENV_TEXT = "KTR443002H10EUN00000S13155100010";

class ChipTest : public EnvFixture {
protected:
    std::string read_chip(std::string *err)
    {
        char buf[CHIP_INFO_LEN + 8];
        memset(buf, 'z', sizeof buf);
        ut::Capture cap;
        EXPECT_EQ(qxchip_read(buf), 0);
        cap.stop();
        *err = cap.err;
        EXPECT_EQ(std::string(buf + CHIP_INFO_LEN, 8), std::string(8, 'z')) << "wrote past 32 bytes";
        return std::string(buf, CHIP_INFO_LEN);
    }
    std::string stored()
    {
        ut::Capture cap;
        env_init();
        const char *v = hs_getenv("chipinfo");
        return v ? v : "<none>";
    }
};

TEST_F(ChipTest, ReadWithEepromFallback)
{
    const std::string def = CHIP_INFO_DEFAULT;
    const std::string use_default = "There is no Chipinfo in the env. Use default Chipinfo.\n";
    struct Row {
        const char *what;
        const char *var;    // "chipinfo" value, or null
        bool bus;
        const char *eeprom; // device file content, or null for none
        size_t eeprom_len;
        std::string want, stored, err;
    } rows[] = {
        {"variable", ENV_TEXT.c_str(), true, EEPROM_TEXT.c_str(), 32, ENV_TEXT, ENV_TEXT, ""},
        {"short variable", "KTR4410", false, nullptr, 0, "KTR4410" + std::string(25, '\0'), "KTR4410", ""},
        {"restored", nullptr, true, EEPROM_TEXT.c_str(), 32, EEPROM_TEXT, EEPROM_TEXT, "Recover form dm2016.\n"},
        {"no bus", nullptr, false, nullptr, 0, def, "<none>", "Unable to open i2c bus 2!!!\n" + use_default},
        {"no chip", nullptr, true, nullptr, 0, def, "<none>", "dm2016 read addr 0x0 error. \n" + use_default},
        {"read error", nullptr, true, EEPROM_TEXT.c_str(), 16, def, "<none>",
         "dm2016 read addr 0x10 error. \n" + use_default},
        {"blank", nullptr, true, "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
                                 "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff",
         32, def, "<none>", "Chipinfo in dm2016 is blank or not valid.\n" + use_default},
        {"line break", nullptr, true, "KTR4420\n1H20EU000000S13155100099", 32, def, "<none>",
         "Chipinfo in dm2016 is blank or not valid.\n" + use_default},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        std::vector<std::string> vars = {"bootcmd=bootm ker1"};
        if (r.var)
            vars.push_back(std::string("chipinfo=") + r.var);
        load(vars);
        unlink(root.path("/dev/i2c-0").c_str());
        unlink(root.path("/dev/i2c-0.a2").c_str());
        if (r.bus)
            root.write("/dev/i2c-0", "");
        if (r.eeprom)
            root.write("/dev/i2c-0.a2", std::string(r.eeprom, r.eeprom_len));
        std::string err;
        EXPECT_EQ(read_chip(&err), r.want);
        EXPECT_EQ(err, r.err);
        EXPECT_EQ(stored(), r.stored);
        env_deinit();
    }
}

TEST_F(ChipTest, WriteChecksTheText)
{
    load({"bootcmd=bootm ker1"});
    ut::Capture cap;
    EXPECT_EQ(qxchip_read(nullptr), -1);
    for (const char *bad : {(const char *)nullptr, "", "KTR4420\nX", "KTR\t4420"})
        EXPECT_EQ(qxchip_write(bad), -1) << (bad ? bad : "null");
    EXPECT_EQ(qxchip_write(EEPROM_TEXT.c_str()), 0);
    cap.stop();
    EXPECT_EQ(cap.err, "Chipinfo pointer error!\n");
    EXPECT_EQ(stored(), EEPROM_TEXT);
    EXPECT_EQ(qx_getenv("chipinfo"), EEPROM_TEXT);
    EXPECT_EQ(qx_setenv("sn", "S1"), 0);
    EXPECT_STREQ(qx_getenv("sn"), "S1");
}

// qxchip_update as the web side and the update tool use it.
TEST_F(ChipTest, ChipTool)
{
    load({"bootcmd=bootm ker1", "chipinfo=" + ENV_TEXT});
    auto tool = [](std::vector<std::string> args) {
        args.insert(args.begin(), QXCHIP_BIN);
        return ut::run(args);
    };
    ut::RunResult r = tool({"-r", "32"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Read old:" + ENV_TEXT + "\n");
    EXPECT_EQ(tool({"-r", "7"}).out, "Read old:KTR4430\n");

    r = tool({EEPROM_TEXT});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Read old:" + ENV_TEXT + "\nWrite new:" + EEPROM_TEXT + "\n");
    EXPECT_EQ(stored(), EEPROM_TEXT);

    for (const std::vector<std::string> &bad :
         {std::vector<std::string>{}, {"-r", "0"}, {"-r", "33"}, {"-r", "x"}, {EEPROM_TEXT + "9"}, {"a\nb"}}) {
        r = tool(bad);
        EXPECT_EQ(r.status, 1) << (bad.empty() ? "" : bad.back());
    }
    EXPECT_EQ(stored(), EEPROM_TEXT);

    // Without the variable and the EEPROM, the default text is printed and
    // nothing is stored.
    load({"bootcmd=bootm ker1"});
    r = tool({"-r", "32"});
    EXPECT_EQ(r.out, std::string("Read old:") + CHIP_INFO_DEFAULT + "\n");
    EXPECT_EQ(stored(), "<none>");
}

} // namespace
