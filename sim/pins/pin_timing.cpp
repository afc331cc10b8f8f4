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
