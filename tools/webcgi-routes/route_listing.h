// The route table as webcgi builds it at start-up.
#pragma once

#include <string>
#include <vector>

struct RouteListing {
    std::string path;
    std::string handler; // function name, or its address when unknown
    std::string module;
};

// Registers the modules, reads the table in slot order, unregisters them.
std::vector<RouteListing> list_routes();
