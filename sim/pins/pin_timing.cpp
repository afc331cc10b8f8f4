#include "pins/pin_timing.h"

#include <cstdio>

namespace {

std::string Microseconds(long long Ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f us", static_cast<double>(Ns) / 1000.0);
    return text;
}

} // namespace

void TPinTimingLog::Check(const char* What, TSimDuration Actual, long long MinNs, TSimTime At) {
    if (MinNs <= 0 || Actual.count() >= MinNs) return;
    if (FBreaches.size() >= kKept) {
        ++FCount; // counted, not written out
        return;
    }
    Add(std::string(What) + " " + Microseconds(Actual.count()) + " < " + Microseconds(MinNs) + " at " +
        Microseconds(At.count()));
}

void TPinTimingLog::Fault(const std::string& What, TSimTime At) {
    Add(What + " at " + Microseconds(At.count()));
}

void TPinTimingLog::Add(const std::string& Line) {
    ++FCount;
    if (FBreaches.size() < kKept) FBreaches.push_back(Line);
}

void TPinTimingLog::Clear() {
    FBreaches.clear();
    FCount = 0;
}

void TPeriodMeter::Rise(TSimTime At) {
    if (FLast.count() >= 0 && At > FLast) {
        ++FCounts[(At - FLast).count() / 10];
        ++FCount;
    }
    FLast = At;
}

void TPeriodMeter::Clear() {
    FCounts.clear();
    FCount = 0;
    FLast = TSimTime(-1);
}

TSimDuration TPeriodMeter::Shortest() const {
    return FCounts.empty() ? TSimDuration::zero() : TSimDuration(FCounts.begin()->first * 10);
}

TSimDuration TPeriodMeter::Median() const {
    std::uint64_t seen = 0;
    for (const auto& [step, n] : FCounts) {
        seen += n;
        if (2 * seen >= FCount) return TSimDuration(step * 10);
    }
    return TSimDuration::zero();
}
