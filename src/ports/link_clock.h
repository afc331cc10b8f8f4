// The time base of a link to the programmer unit: what the drivers measure
// their time limits with and how they pause. A real port runs on the
// system's monotonic clock; a simulated unit brings its own virtual clock,
// so a time-out or a pause costs no real time there.
#pragma once

#include <chrono>

using TLinkDuration = std::chrono::nanoseconds;
using TLinkTime = std::chrono::nanoseconds; // since an arbitrary start

class TLinkClock {
  public:
    virtual ~TLinkClock() = default;
    virtual TLinkTime Now() = 0;
    // Pauses the caller; a zero or negative time returns at once.
    virtual void Sleep(TLinkDuration Time) = 0;
};

// The steady clock and a real sleep.
class TSystemLinkClock : public TLinkClock {
  public:
    TLinkTime Now() override;
    void Sleep(TLinkDuration Time) override;
};

// The process's system clock (never freed).
TLinkClock& SystemLinkClock();
