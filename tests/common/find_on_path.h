// Where a program is found on PATH, for the tests and benchmarks that run
// peer tools (srec_cat, objcopy) when the machine has them.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unistd.h>

// The path of an executable found on PATH; empty when there is none.
inline std::string FindOnPath(const std::string& Name) {
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = (end > start ? dirs.substr(start, end - start) : ".") + "/" + Name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}
