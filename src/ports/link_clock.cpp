#include "ports/link_clock.h"

#include <thread>

TLinkTime TSystemLinkClock::Now() {
    return std::chrono::duration_cast<TLinkTime>(std::chrono::steady_clock::now().time_since_epoch());
}

void TSystemLinkClock::Sleep(TLinkDuration Time) {
    if (Time > TLinkDuration::zero()) std::this_thread::sleep_for(Time);
}

TLinkClock& SystemLinkClock() {
    static TSystemLinkClock clock;
    return clock;
}
