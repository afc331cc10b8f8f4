// The end of a write cycle found by polling the chip, bounded by a time
// limit on the link's clock.
#pragma once

#include "ports/link_clock.h"

#include <functional>

// Calls Ready (true: the chip is ready) until it is, and returns true then;
// false once a poll sent after the limit still found the chip busy.
//
// The first poll carries what started the cycle (the page, the STOP or the
// deselect that ends the command), so the cycle began before its answer came
// in: the limit counts from then. Each later poll is judged by the time it
// was sent: a host that stalls between a poll and its answer (the
// scheduler, a hub) never fails a write that has succeeded, and the limit is
// never eaten into. A poll loop also gives up after a million polls even if
// the clock stood still (far more than a write cycle limit holds even when
// a stand-in answers in microseconds).
bool PollUntilReady(TLinkClock& Clock, TLinkDuration Limit, const std::function<bool()>& Ready);
