// Scenario of the simulated core daemon: which replies each request code
// gets. The file format is described in docs/coresim.md.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct SimReply {
    int32_t code;
    std::string payload;
    int delay_ms = 0;
};

struct Scenario {
    // Request code -> replies in order; an empty list means "never answer".
    std::map<int32_t, std::vector<SimReply>> replies;
};

// Parses a scenario text; relative "file:" items are read from base_dir.
// On a malformed line returns false and says where in err.
bool parse_scenario(const std::string &text, const std::string &base_dir, Scenario &out, std::string &err);
bool load_scenario(const std::string &path, Scenario &out, std::string &err);
