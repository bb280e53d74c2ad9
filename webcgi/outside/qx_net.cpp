#include "outside/qx_net.h"

#include <cstdio>
#include <cstring>

#include "nvr_root.h"

int net_is_haveipv6()
{
    // One line per address: address, index, prefix, scope, flags, interface.
    FILE *f = fopen(nvr_path("/proc/net/if_inet6").c_str(), "r");
    if (!f)
        return 0;
    char line[256];
    int found = 0;
    while (!found && fgets(line, sizeof line, f)) {
        char addr[64], ifname[32];
        unsigned idx, plen, scope, flags;
        if (sscanf(line, "%63s %x %x %x %x %31s", addr, &idx, &plen, &scope, &flags, ifname) == 6 &&
            strcmp(ifname, "lo") != 0)
            found = 1;
    }
    fclose(f);
    return found;
}
