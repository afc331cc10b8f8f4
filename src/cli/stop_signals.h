// The signals that stop a device command: Ctrl+C (SIGINT), SIGTERM (a
// service manager, kill) and SIGHUP (the terminal went away). While the
// programmer is in use none of them ends the process at once: the running
// operation stops between two commands at its next progress report, the
// programmer is closed and the part's record is written as for any failure.
// A run over several units passes each of them on to every unit's process.
#pragma once

#include <csignal>
#include <span>
#include <sys/types.h>

inline constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Turns the stop signals into a request to stop for its lifetime.
class TStopSignals {
  public:
    TStopSignals();
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // A stop signal arrived since the object was made.
    static bool Received();

  private:
    struct sigaction FOld[std::size(kStopSignals)]{};
};

// Passes every stop signal this process gets on to Children (the processes
// of a run over several units) for its lifetime; this process goes on.
class TForwardedSignals {
  public:
    explicit TForwardedSignals(std::span<const pid_t> Children);
    ~TForwardedSignals();
    TForwardedSignals(const TForwardedSignals&) = delete;
    TForwardedSignals& operator=(const TForwardedSignals&) = delete;

  private:
    struct sigaction FOld[std::size(kStopSignals)]{};
};
