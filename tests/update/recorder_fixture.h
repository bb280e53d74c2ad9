// A recorder on file-backed flash under a temporary root: boot environment,
// boot loader (NOR), logo, both kernels and both file systems (NAND), the
// partition list, our flash_erase, and a stand-in chip tool first on PATH
// that prints the text of "<root>/chip_line".
#pragma once

#include "env_fixture.h"
#include "image.h"

#include <cstring>
#include <sys/stat.h>

namespace rec {

const char NAND16K[] = "type=nand\nerasesize=16384\nwritesize=2048\noobsize=64\n";
const std::string ARGS1 =
    "mem=1024M console=ttyAMA0,115200 ubi.mtd=fs1 root=ubi0:rootfs rw rootfstype=ubifs";
const std::string CMD1 = "nand read 0x82000000 ker1 0x400000; bootm";
const std::string UBOOT = "uboot=name:uboot\tver:0x4901000a\tsize:65536\tdate:0x07e60712 ";
const std::string FS1 = "fs1=name:fs1\tver:0x49090010\tsize:40960\tdate:0x07e60712 ";
const std::string LOGO = "logo=name:logo\tver:0x49010002\tsize:2048\tdate:0x07e60712 ";

// Old content of each partition, so that "untouched" can be checked.
struct Part {
    const char *dev, *name;
    uint32_t size;
    char fill;
};
const Part PARTS[] = {
    {"/dev/mtd0", "uboot", 65536, '\x33'}, {"/dev/mtd2", "logo", 65536, '\x44'},
    {"/dev/mtd3", "ker1", 65536, '\x11'},  {"/dev/mtd4", "ker2", 65536, '\x55'},
    {"/dev/mtd5", "fs1", 131072, '\x22'},  {"/dev/mtd6", "fs2", 131072, '\x66'},
};

inline std::string block(const std::string &s) { return s + std::string(256 - s.size(), '\0'); }

} // namespace rec

class RecorderTest : public EnvFixture {
protected:
    std::string saved_path_;

    void SetUp() override
    {
        const char *p = getenv("PATH");
        saved_path_ = p ? p : "/usr/bin:/bin";
    }
    void TearDown() override
    {
        setenv("PATH", saved_path_.c_str(), 1);
        EnvFixture::TearDown();
    }

    // Lays out the whole recorder afresh with these environment variables.
    void recorder(const std::vector<std::string> &vars, const std::string &mtd_names = "")
    {
        load(vars);
        std::string mtd = "dev:    size   erasesize  name\nmtd1: 00020000 00010000 \"env\"\n";
        for (const rec::Part &p : rec::PARTS) {
            bool nand = strcmp(p.name, "uboot") != 0;
            root.write(p.dev, std::string(p.size, p.fill));
            root.write(std::string(p.dev) + ".geom", nand ? rec::NAND16K : "type=nor\nerasesize=4096\n");
            char line[128];
            snprintf(line, sizeof line, "%s: %08x %08x \"%s\"\n", p.dev + 5, p.size, nand ? 16384 : 4096,
                     p.name);
            mtd += line;
        }
        root.write("/proc/mtd", mtd_names.empty() ? mtd : mtd_names);
        root.install_flash_erase();
        root.write("/proc/sys/vm/drop_caches", "");
        root.write("/mnt/nand/.keep", "");
        root.write("/dev/shm/.keep", "");
        root.write("/bin/qxchip_update", "#!/bin/sh\ncat \"$NVR_ROOT/chip_line\" 2>/dev/null\n");
        chmod(root.path("/bin/qxchip_update").c_str(), 0755);
        chip("");
        setenv("PATH", (root.path("/bin") + ":" + saved_path_).c_str(), 1);
    }
    void chip(const std::string &line) { root.write("/chip_line", line); }

    // Builds "/dev/shm/updateFM.bin" from upfw_ref.py record descriptions.
    void image(const std::vector<std::string> &descs, const std::string &path = "/dev/shm/updateFM.bin")
    {
        std::vector<std::string> args = {"image", root.path(path)};
        args.insert(args.end(), descs.begin(), descs.end());
        ut::ref(args);
    }
    upfw_part record(int slot, const std::string &path = "/dev/shm/updateFM.bin")
    {
        upfw_header h;
        std::string img = root.read(path);
        memcpy(&h, img.data(), sizeof h);
        return h.part[slot];
    }
    std::string payload(int slot, const std::string &path = "/dev/shm/updateFM.bin")
    {
        upfw_part r = record(slot, path);
        return root.read(path).substr(r.offset, r.size);
    }
    std::string dev(const char *d) { return root.read(d); }
    // A partition still holding only its old content.
    bool untouched(const char *name)
    {
        for (const rec::Part &p : rec::PARTS)
            if (!strcmp(p.name, name))
                return dev(p.dev) == std::string(p.size, p.fill);
        return false;
    }
    // The partition holds the payload, then erased flash.
    bool holds(const char *d, const std::string &data)
    {
        std::string c = dev(d);
        return c.size() >= data.size() && c.compare(0, data.size(), data) == 0 &&
               c.find_first_not_of('\xff', data.size()) == std::string::npos;
    }
    // A variable as a fresh load of the flash sees it.
    std::string env(const char *name)
    {
        ut::Capture cap;
        env_init();
        const char *v = hs_getenv(name);
        return v ? v : "<none>";
    }
    ut::RunResult update(std::vector<std::string> args)
    {
        args.insert(args.begin(), ut::update_bin());
        return ut::run(args);
    }
    std::string log() { return root.read("/mnt/nand/upfw.log"); }
};
