#include "elf_symbols.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <elf.h>
#include <link.h>
#include <map>
#include <vector>

namespace {

#if UINTPTR_MAX == 0xffffffffu
typedef Elf32_Ehdr Ehdr;
typedef Elf32_Shdr Shdr;
typedef Elf32_Sym Sym;
#define SYM_TYPE ELF32_ST_TYPE
#else
typedef Elf64_Ehdr Ehdr;
typedef Elf64_Shdr Shdr;
typedef Elf64_Sym Sym;
#define SYM_TYPE ELF64_ST_TYPE
#endif

// Start address (link-time) -> mangled name of every function symbol.
std::map<uintptr_t, std::string> load_symbols()
{
    std::map<uintptr_t, std::string> syms;
    FILE *f = fopen("/proc/self/exe", "rb");
    if (!f)
        return syms;
    std::vector<char> img;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        img.insert(img.end(), buf, buf + n);
    fclose(f);
    if (img.size() < sizeof(Ehdr))
        return syms;
    const Ehdr *eh = reinterpret_cast<const Ehdr *>(img.data());
    if (memcmp(eh->e_ident, ELFMAG, SELFMAG) != 0 || eh->e_shoff == 0 ||
        eh->e_shoff + static_cast<uint64_t>(eh->e_shnum) * sizeof(Shdr) > img.size())
        return syms;
    const Shdr *sh = reinterpret_cast<const Shdr *>(img.data() + eh->e_shoff);
    for (unsigned i = 0; i < eh->e_shnum; i++) {
        if (sh[i].sh_type != SHT_SYMTAB || sh[i].sh_link >= eh->e_shnum)
            continue;
        const Shdr &strs = sh[sh[i].sh_link];
        if (sh[i].sh_offset + sh[i].sh_size > img.size() || strs.sh_offset + strs.sh_size > img.size())
            continue;
        const Sym *sym = reinterpret_cast<const Sym *>(img.data() + sh[i].sh_offset);
        size_t count = sh[i].sh_size / sizeof(Sym);
        for (size_t k = 0; k < count; k++) {
            if (SYM_TYPE(sym[k].st_info) != STT_FUNC || sym[k].st_name >= strs.sh_size || !sym[k].st_value)
                continue;
            const char *name = img.data() + strs.sh_offset + sym[k].st_name;
            // Thumb functions have their low bit set.
            syms[static_cast<uintptr_t>(sym[k].st_value) & ~static_cast<uintptr_t>(1)] =
                std::string(name, strnlen(name, strs.sh_size - sym[k].st_name));
        }
    }
    return syms;
}

// Load address of the main program (0 for a fixed-address program).
uintptr_t load_bias()
{
    uintptr_t bias = 0;
    dl_iterate_phdr(
        [](struct dl_phdr_info *info, size_t, void *out) {
            *static_cast<uintptr_t *>(out) = info->dlpi_addr;
            return 1; // the first entry is the main program
        },
        &bias);
    return bias;
}

std::string short_name(const std::string &mangled)
{
    int status = 0;
    char *d = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
    std::string s = status == 0 && d ? d : mangled;
    free(d);
    size_t paren = s.find('(');
    if (paren != std::string::npos)
        s.resize(paren);
    size_t colons = s.rfind("::");
    if (colons != std::string::npos)
        s = s.substr(colons + 2);
    return s;
}

} // namespace

std::string function_name(const void *addr)
{
    static const std::map<uintptr_t, std::string> syms = load_symbols();
    static const uintptr_t bias = load_bias();
    uintptr_t a = (reinterpret_cast<uintptr_t>(addr) - bias) & ~static_cast<uintptr_t>(1);
    auto it = syms.find(a);
    return it == syms.end() ? "" : short_name(it->second);
}
