// Runs a piece of a test in a child process as an ordinary user, so that a
// file's permissions are enforced even when the test suite runs as root
// (root passes every permission check: a file with mode 000 opens for it).
// Also a private folder for such files that the ordinary user may enter.
#pragma once

#include "common/temp_dir.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

struct TChildRun {
    int exitCode = -1;
    std::string out, err; // what the child wrote to its standard output and error
};

namespace unprivileged_detail {

// The child's exit code when the file it should be denied is open to it.
constexpr int kNotDenied = 125;

inline std::string Drain(int Fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(Fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(Fd);
    return text;
}

} // namespace unprivileged_detail

// Forks; the child drops root's privileges when it has them (user and group
// nobody, 65534, no supplementary groups), sends its standard output and error
// to the parent, runs Work (which may also exec another program) and exits
// with Work's result. Nothing when the child can still open Denied (the
// privileges could not be dropped, or the file system ignores the mode): the
// caller skips its test then.
inline std::optional<TChildRun> RunUnprivileged(const std::string& Denied, const std::function<int()>& Work) {
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe failed");
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]})
            ::close(fd);
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 ||
                                 ::setuid(65534) != 0 || ::geteuid() == 0))
            ::_exit(unprivileged_detail::kNotDenied);
        if (::access(Denied.c_str(), R_OK) == 0 || ::access(Denied.c_str(), W_OK) == 0)
            ::_exit(unprivileged_detail::kNotDenied);
        int code = 1;
        try {
            code = Work();
        } catch (const std::exception& e) {
            std::cerr << "exception: " << e.what() << "\n";
        }
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        ::_exit(code);
    }
    ::close(out[1]);
    ::close(err[1]);
    TChildRun run;
    run.out = unprivileged_detail::Drain(out[0]); // the child writes little: no pipe fills up
    run.err = unprivileged_detail::Drain(err[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (run.exitCode == unprivileged_detail::kNotDenied) return std::nullopt;
    return run;
}

// A temporary folder the ordinary user may enter and read (mode 0755), with
// files whose permissions the test sets.
class TOpenFolder {
  public:
    TOpenFolder() { ::chmod(FDir.Path().c_str(), 0755); }

    std::string File(const std::string& Name) const { return FDir.File(Name); }
    // An empty file nobody but root may open.
    std::string Inaccessible(const std::string& Name) const {
        const std::string path = File(Name);
        if (std::FILE* f = std::fopen(path.c_str(), "w")) std::fclose(f);
        ::chmod(path.c_str(), 0);
        return path;
    }

  private:
    TTempDir FDir{"perm"};
};
