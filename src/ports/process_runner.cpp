#include "ports/process_runner.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
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

// Reads what the program writes until it closes its end or Deadline
// passes; keeps the last MaxCapturedOutput bytes. True when the end was
// closed.
bool CollectOutput(int Fd, steady_clock::time_point Deadline, std::string& Output) {
    char buffer[4096];
    for (;;) {
        const auto now = steady_clock::now();
        if (now >= Deadline) return false;
        const auto left = std::chrono::ceil<milliseconds>(Deadline - now);
        pollfd p{Fd, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), INT_MAX)));
        if (r < 0 && errno != EINTR) return true;
        if (r <= 0) continue;
        const ssize_t n = read(Fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return true;
        Output.append(buffer, static_cast<std::size_t>(n));
        if (Output.size() > 2 * MaxCapturedOutput) Output.erase(0, Output.size() - MaxCapturedOutput);
    }
}

bool Executable(const std::string& Path) {
    struct stat st {};
    return stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(Path.c_str(), X_OK) == 0;
}

} // namespace

std::string FindProgram(const std::string& Name) {
    if (Name.empty()) return {};
    if (Name.find('/') != std::string::npos) return Name;
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && folder.front() == '/') {
            const std::string candidate = folder + (folder.back() == '/' ? "" : "/") + Name;
            if (Executable(candidate)) return candidate;
        }
        start = end + 1;
    }
    return {};
}

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

    const std::string program = FindProgram(Request.Args.front());
    if (program.empty()) {
        result.Error = Request.Args.front() + " not found in the folders of PATH";
        return result;
    }

    TSpawnSetup setup;
    int out[2] = {-1, -1};
    if (Request.CaptureOutput) {
        if (pipe2(out, O_CLOEXEC) != 0) {
            result.Error = ErrorText(errno);
            return result;
        }
        // Before the descriptors above the standard ones are closed.
        posix_spawn_file_actions_adddup2(&setup.Actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&setup.Actions, out[1], STDERR_FILENO);
    }
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
        for (int fd : out)
            if (fd >= 0) close(fd);
        result.Error = "Cannot set the working folder on this system";
        return result;
#endif
    }

    pid_t pid = 0;
    const int err =
        posix_spawn(&pid, program.c_str(), &setup.Actions, &setup.Attributes, argv.data(), environ);
    if (out[1] >= 0) close(out[1]);
    if (err != 0) {
        if (out[0] >= 0) close(out[0]);
        result.Error = ErrorText(err);
        return result;
    }

    const auto deadline = steady_clock::now() + Request.Limit;
    bool outputClosed = true;
    if (out[0] >= 0) {
        // The output may end long before the program does, or never (a
        // process it started keeps it open): either way the wait below is
        // bounded by the same limit.
        outputClosed = CollectOutput(out[0], deadline, result.Output);
        close(out[0]);
        if (result.Output.size() > MaxCapturedOutput)
            result.Output.erase(0, result.Output.size() - MaxCapturedOutput);
    }
    int status = 0;
    if (WaitUntil(pid, deadline, status)) {
        // Whatever it started and left holding its output goes too.
        if (!outputClosed) kill(-pid, SIGKILL);
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
