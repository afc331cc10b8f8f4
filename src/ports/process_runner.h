// Starting another program and waiting for it a bounded time. The program is
// started from an argument vector, never through a shell, so no character of
// an argument has a meaning of its own. It runs in a process group of its
// own; when it is still running after the time limit, the whole group (the
// program and whatever it started) is killed.
#pragma once

#include <chrono>
#include <string>
#include <vector>

enum TRunOutcome {
    ro_NotStarted, // the program could not be started; Error says why
    ro_Ended,      // the program ended by itself within the limit
    ro_Killed      // the limit was reached; the program was killed
};

struct TRunResult {
    TRunOutcome Outcome = ro_NotStarted;
    // ro_Ended: the exit code, or 128 + the signal number when a signal
    // ended it. -1 otherwise.
    int ExitStatus = -1;
    std::string Error;
};

struct TRunRequest {
    // Args[0] is the program: a path, or a name looked up in PATH. Must not
    // be empty.
    std::vector<std::string> Args;
    // The child's working folder; the caller's when empty.
    std::string WorkingFolder;
    // How long to wait before the program is killed.
    std::chrono::milliseconds Limit{std::chrono::minutes(5)};
};

// Starts the program with the caller's environment, the caller's standard
// input, output and error and no other open descriptors, default signal
// handling and an empty signal mask, and waits until it ends or the limit is
// reached. Blocks the calling thread for that time.
TRunResult RunAndWait(const TRunRequest& Request);
