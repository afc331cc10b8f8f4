// Simulated time. The clock only moves when the simulation moves it: by the
// wire time of bytes, by the unit's own waits and by time-outs that expire
// with nothing to do. Nothing in the simulator ever sleeps, so every run with
// the same inputs ends at the same instant.
#pragma once

#include <chrono>
#include <cstdint>

// Nanoseconds since the clock was created.
using TSimDuration = std::chrono::nanoseconds;
using TSimTime = std::chrono::nanoseconds;

class TVirtualClock {
  public:
    TSimTime Now() const { return FNow; }

    // Moves the clock forward; a negative step is ignored.
    void Advance(TSimDuration Step) {
        if (Step > TSimDuration::zero()) FNow += Step;
    }
    // Moves the clock to At unless it is already past it.
    void AdvanceTo(TSimTime At) {
        if (At > FNow) FNow = At;
    }

    double Seconds() const { return std::chrono::duration<double>(FNow).count(); }

  private:
    TSimTime FNow{0};
};

// Time one byte takes on an asynchronous serial line: BitsPerByte bit times
// (start, eight data bits, stop = 10) at BaudRate. A rate of 0 means no wire time.
constexpr TSimDuration SerialByteTime(std::uint32_t BaudRate, std::uint32_t BitsPerByte = 10) {
    if (BaudRate == 0) return TSimDuration::zero();
    return TSimDuration(static_cast<std::int64_t>(BitsPerByte) * 1'000'000'000LL / BaudRate);
}
