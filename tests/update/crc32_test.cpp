#include "crc32.h"
#include "test_util.h"

#include <cstdlib>
#include <string>

namespace {

std::string sample(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; i++) {
        x = x * 1103515245u + 12345u;
        s[i] = (char)(x >> 16);
    }
    return s;
}

TEST(Crc32, KnownCheckValue)
{
    EXPECT_EQ(crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32(0, "", 0), 0u);
}

// The same bytes through Python's zlib.crc32, whole and fed in the tool's
// 1024-byte pieces.
TEST(Crc32, MatchesZlib)
{
    ut::TempRoot root;
    for (size_t n : {1u, 255u, 1023u, 1024u, 1025u, 65532u, 70001u}) {
        std::string data = sample(n, (unsigned)n);
        std::string f = root.path("/data.bin");
        ut::write_file(f, data);
        ut::RunResult r = ut::run({ut::python(), "-c",
                                   "import sys,zlib; print(zlib.crc32(open(sys.argv[1],'rb').read()))",
                                   f});
        ASSERT_EQ(r.status, 0) << r.err;
        uint32_t want = (uint32_t)strtoul(r.out.c_str(), nullptr, 10);
        EXPECT_EQ(crc32(0, data.data(), n), want) << n;
        uint32_t c = 0;
        for (size_t off = 0; off < n; off += 1024)
            c = crc32(c, data.data() + off, n - off < 1024 ? n - off : 1024);
        EXPECT_EQ(c, want) << n;
    }
}

} // namespace
