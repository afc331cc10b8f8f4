// The timing a bus master must keep on the pins, and the record of where it
// did not. The pin-level adapters measure every interval they see against
// minima given in nanoseconds (0: not checked) and keep the breaches as
// readable lines, so a test can show that a firmware meets a datasheet.
#pragma once

#include "virtual_clock.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class TPinTimingLog {
  public:
    // Records a breach when Actual is shorter than MinNs (and MinNs > 0).
    void Check(const char* What, TSimDuration Actual, long long MinNs, TSimTime At);
    // Records a wiring or protocol fault that has no duration.
    void Fault(const std::string& What, TSimTime At);

    // The first breaches (at most kKept), and how many there were in all.
    const std::vector<std::string>& Breaches() const { return FBreaches; }
    std::size_t Count() const { return FCount; }
    void Clear();

    static constexpr std::size_t kKept = 20;

  private:
    void Add(const std::string& Line);

    std::vector<std::string> FBreaches;
    std::size_t FCount = 0;
};

// The clock a master runs at: the intervals between successive rising
// edges of a clock line, in 10 ns steps. Within a byte they are the bit
// period; the pause between bytes adds a few longer ones, which the median
// leaves out.
class TPeriodMeter {
  public:
    void Rise(TSimTime At);
    // The next rise starts afresh (the line left a transfer).
    void Break() { FLast = TSimTime(-1); }
    void Clear();

    std::uint64_t Count() const { return FCount; }
    TSimDuration Shortest() const;
    TSimDuration Median() const;

  private:
    std::map<std::int64_t, std::uint64_t> FCounts;
    std::uint64_t FCount = 0;
    TSimTime FLast{-1};
};
