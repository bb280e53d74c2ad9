#include "route_listing.h"

#include <cstdio>
#include <cstring>

#include "elf_symbols.h"
#include "modules.h"

static std::string module_of(const WebRes &row)
{
    for (const WebModule *const *m = webcgi_modules(); *m; m++)
        for (int i = 0; i < (*m)->count; i++)
            if ((*m)->routes[i].handler == row.handler && strcmp((*m)->routes[i].path, row.path) == 0)
                return (*m)->name;
    return "?";
}

std::vector<RouteListing> list_routes()
{
    std::vector<RouteListing> out;
    webcgi_register_modules();
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) {
        const WebRes *row = WebResSlot(slot);
        if (!row)
            continue;
        std::string name = function_name(reinterpret_cast<const void *>(row->handler));
        if (name.empty()) {
            char addr[32];
            snprintf(addr, sizeof addr, "%p", reinterpret_cast<const void *>(row->handler));
            name = addr;
        }
        out.push_back({row->path, name, module_of(*row)});
    }
    webcgi_unregister_modules();
    return out;
}
