// A boot environment on file-backed NOR flash under a temporary root.
#pragma once

#include "env.h"
#include "test_util.h"

class EnvFixture : public ::testing::Test {
protected:
    ut::TempRoot root;
    void TearDown() override { env_deinit(); }
    // Copy 0 holds vars (flag 1), copy 1 is blank; the store is loaded.
    void load(const std::vector<std::string> &vars)
    {
        root.make_flash("/dev/mtd1", 2 * 65536, "type=nor\nerasesize=65536\n");
        std::vector<std::string> args = {"envcopy", root.path("/copy.bin"), "1"};
        args.insert(args.end(), vars.begin(), vars.end());
        ut::ref(args);
        std::string dev = root.read("/dev/mtd1");
        dev.replace(0, 65536, root.read("/copy.bin"));
        root.write("/dev/mtd1", dev);
        ut::Capture cap;
        ASSERT_EQ(env_init(), 0);
    }
    // Flag of copy 0 as an independent reader sees it.
    int flag0()
    {
        std::string r = ut::ref({"envread", root.path("/dev/mtd1"), "0"});
        size_t p = r.find("flag=");
        return p == std::string::npos ? -1 : atoi(r.c_str() + p + 5);
    }
};
