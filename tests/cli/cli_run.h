// Runs a norvoisp-cli command line in-process and keeps its exit code and
// what it wrote to each stream.
#pragma once

#include "cli/cli_command.h"

#include <sstream>
#include <string>
#include <vector>

struct Result {
    int code;
    std::string out, err;
};

inline Result Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
}
