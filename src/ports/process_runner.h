// Starting another program and waiting for it a bounded time. The program is
// started from an argument vector, never through a shell, so no character of
// an argument has a meaning of its own, and it is looked up only in the
// absolute folders of PATH. It runs in a process group of its own; when it
// is still running after the time limit, the whole group (the program and
// whatever it started) is killed.
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
    // With CaptureOutput: what the program wrote to its standard output and
    // error (the last MaxCapturedOutput bytes of it).
    std::string Output;
};

struct TRunRequest {
    // Args[0] is the program: a path (with a "/"; a relative one counts from
    // the working folder), or a name looked up in the absolute folders of
    // PATH. Must not be empty.
    std::vector<std::string> Args;
    // The child's working folder; the caller's when empty.
    std::string WorkingFolder;
    // How long to wait before the program is killed.
    std::chrono::milliseconds Limit{std::chrono::minutes(5)};
    // Collect the program's standard output and error instead of handing it
    // the caller's.
    bool CaptureOutput = false;
};

inline constexpr std::size_t MaxCapturedOutput = 1u << 20;

// Starts the program with the caller's environment, the caller's standard
// input, output and error (or a pipe for the last two, with CaptureOutput)
// and no other open descriptors, default signal handling and an empty
// signal mask, and waits until it ends or the limit is reached, whether or
// not it closed its output before. Blocks the calling thread for that time.
TRunResult RunAndWait(const TRunRequest& Request);

// Where a program name is found: a name with a "/" as it is; otherwise the
// first executable file of that name in the folders of PATH that are
// absolute paths. Empty entries and relative ones (".", "bin") would name
// the current folder or one below it, where anyone who can write there
// could plant a program, and are passed over. Empty when none is found.
std::string FindProgram(const std::string& Name);
