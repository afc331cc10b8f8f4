#include "unit_process.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TUnitProcess::TUnitProcess(const std::vector<std::string>& Args) : TUnitProcess(UNITSIM_PATH, Args) {}

TUnitProcess::TUnitProcess(const std::string& Program, const std::vector<std::string>& Args) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    std::vector<std::string> argv{Program};
    argv.insert(argv.end(), Args.begin(), Args.end());
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    const int r = posix_spawn(&FPid, Program.c_str(), &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    FOut = pipeFds[0];
    if (r != 0) throw std::runtime_error("cannot start " + Program);
    // The first line of its output names the pty.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (FPath.empty() || FPath.back() != '\n') {
        if (std::chrono::steady_clock::now() > end) throw std::runtime_error(Program + " did not start");
        pollfd p{FOut, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        if (read(FOut, &c, 1) != 1) throw std::runtime_error(Program + " ended");
        FPath.push_back(c);
    }
    FPath.pop_back();
}

int TUnitProcess::Stop() {
    if (FPid < 0) return -1;
    kill(FPid, SIGTERM);
    int status = 0;
    waitpid(FPid, &status, 0);
    FPid = -1;
    if (FOut >= 0) close(FOut);
    FOut = -1;
    return status;
}

TUnitProcess::~TUnitProcess() {
    Stop();
}
