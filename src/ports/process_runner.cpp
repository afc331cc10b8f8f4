#include "ports/process_runner.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <thread>

#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// After the kill, how long the killed program may take to be reaped. A
// process stuck in the kernel cannot be waited for without end.
constexpr milliseconds kReapLimit{5000};
// Polling step where the kernel offers no process descriptor.
constexpr milliseconds kPollStep{10};

std::string ErrorText(int err) {
    return std::strerror(err);
}

class TSpawnSetup {
  public:
    TSpawnSetup() {
        posix_spawnattr_init(&Attributes);
        posix_spawn_file_actions_init(&Actions);
    }
    ~TSpawnSetup() {
        posix_spawn_file_actions_destroy(&Actions);
        posix_spawnattr_destroy(&Attributes);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;

    posix_spawnattr_t Attributes;
    posix_spawn_file_actions_t Actions;
};

// A descriptor that becomes readable when the process ends; -1 where the
// kernel has none.
int OpenProcessDescriptor(pid_t Pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, Pid, 0));
#else
    (void)Pid;
    return -1;
#endif
}

int StatusCode(int Status) {
    if (WIFEXITED(Status)) return WEXITSTATUS(Status);
    if (WIFSIGNALED(Status)) return 128 + WTERMSIG(Status);
    return -1;
}

// Waits for the child until Deadline. True when it ended; Status then holds
// its wait status, or -1 when it was reaped elsewhere (SIGCHLD ignored).
bool WaitUntil(pid_t Pid, steady_clock::time_point Deadline, int& Status) {
    const int fd = OpenProcessDescriptor(Pid);
    bool ended = false;
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(Pid, &status, WNOHANG);
        if (r == Pid) {
            Status = status;
            ended = true;
            break;
        }
        if (r < 0 && errno != EINTR) {
            // No such child any more: it ended and was reaped without us.
            Status = -1;
            ended = true;
            break;
        }
        const auto now = steady_clock::now();
        if (now >= Deadline) break;
        const auto left = std::chrono::ceil<milliseconds>(Deadline - now);
        if (fd >= 0) {
            pollfd p{fd, POLLIN, 0};
            const auto wait = std::min<long long>(left.count(), INT_MAX);
            (void)poll(&p, 1, static_cast<int>(wait));
        } else {
            std::this_thread::sleep_for(std::min(left, kPollStep));
        }
    }
    if (fd >= 0) close(fd);
    return ended;
}

} // namespace

TRunResult RunAndWait(const TRunRequest& Request) {
    TRunResult result;
    if (Request.Args.empty() || Request.Args.front().empty()) {
        result.Error = "No program named";
        return result;
    }

    std::vector<char*> argv;
    argv.reserve(Request.Args.size() + 1);
    for (const std::string& a : Request.Args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    TSpawnSetup setup;
    // A group of its own, so that a kill reaches whatever it started.
    short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    posix_spawnattr_setflags(&setup.Attributes, flags);
    posix_spawnattr_setpgroup(&setup.Attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&setup.Attributes, &none);
    // Signals this process ignores would stay ignored across the exec.
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&setup.Attributes, &all);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Only the standard descriptors are handed on.
    posix_spawn_file_actions_addclosefrom_np(&setup.Actions, 3);
#endif
    if (!Request.WorkingFolder.empty()) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 29))
        posix_spawn_file_actions_addchdir_np(&setup.Actions, Request.WorkingFolder.c_str());
#else
        result.Error = "Cannot set the working folder on this system";
        return result;
#endif
    }

    pid_t pid = 0;
    const int err = posix_spawnp(&pid, argv[0], &setup.Actions, &setup.Attributes, argv.data(), environ);
    if (err != 0) {
        result.Error = ErrorText(err);
        return result;
    }

    int status = 0;
    if (WaitUntil(pid, steady_clock::now() + Request.Limit, status)) {
        result.Outcome = ro_Ended;
        result.ExitStatus = status == -1 ? -1 : StatusCode(status);
        return result;
    }

    // Still running: the program and everything in its group go.
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    (void)WaitUntil(pid, steady_clock::now() + kReapLimit, status);
    result.Outcome = ro_Killed;
    return result;
}
