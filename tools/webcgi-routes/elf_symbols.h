// Names of this program's functions, read from its own ELF symbol table.
#pragma once

#include <string>

// The function containing addr, demangled and without its namespace and
// parameters ("on_get_disk_info"); "" when unknown (stripped program).
std::string function_name(const void *addr);
