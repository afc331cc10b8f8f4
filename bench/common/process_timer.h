// Timing whole processes as a user runs them: spawn, wait, wall time, with
// standard output and error going to /dev/null.
#pragma once

#include "tests/common/find_on_path.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

using ::FindOnPath;

// Seconds from spawning the program to its exit; negative when it cannot be
// started or exits with a status other than 0.
inline double RunProcess(std::vector<std::string> Args) {
    std::vector<char*> argv;
    for (auto& a : Args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, Args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

// Best and median of a set of timings (seconds).
struct TStats {
    double Best = -1, Median = -1;
    bool Valid() const { return Best > 0; }
};

inline TStats Summarise(std::vector<double> Times) {
    if (Times.empty()) return {};
    std::sort(Times.begin(), Times.end());
    return {Times.front(), Times[Times.size() / 2]};
}

} // namespace bench
