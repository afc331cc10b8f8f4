// Time on the MCU: a millisecond tick from timer 0 (which also keeps the
// serial line's idle time, Uart::Tick), and waits that sleep the CPU in
// between (an interrupt wakes it).
#pragma once

#include <stdint.h>

namespace Ticks {

// Starts timer 0 (CTC, 1 kHz). Interrupts must be enabled afterwards.
void Init();
// Milliseconds since Init (wraps after 49 days).
uint32_t Now();
// Waits Ms milliseconds (0 returns at once), to within the 4 us of the
// timer's resolution: the tick restarts when the wait begins.
void WaitMs(uint8_t Ms);

} // namespace Ticks
