// webcgi-routes: prints the route table in slot order, one route a line:
// path, handler, module (tab-separated). --paths prints the paths only.
#include <cstdio>
#include <cstring>

#include "route_listing.h"

int main(int argc, char **argv)
{
    bool paths_only = argc > 1 && strcmp(argv[1], "--paths") == 0;
    if (argc > 1 && !paths_only) {
        fputs("usage: webcgi-routes [--paths]\n", stderr);
        return 2;
    }
    for (const RouteListing &r : list_routes()) {
        if (paths_only)
            printf("%s\n", r.path.c_str());
        else
            printf("%s\t%s\t%s\n", r.path.c_str(), r.handler.c_str(), r.module.c_str());
    }
    return 0;
}
