#include "programmer/algorithms/poll_until_ready.h"

#include <optional>

bool PollUntilReady(TLinkClock& Clock, TLinkDuration Limit, const std::function<bool()>& Ready) {
    constexpr int kMaxPolls = 1000000;
    std::optional<TLinkTime> limit;
    for (int i = 0; i < kMaxPolls; ++i) {
        const TLinkTime sent = Clock.Now();
        if (Ready()) return true;
        if (!limit)
            limit = Clock.Now() + Limit;
        else if (sent >= *limit)
            break;
    }
    return false;
}
