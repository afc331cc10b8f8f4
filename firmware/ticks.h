// Time on the MCU: a millisecond tick from timer 0, waits that sleep the CPU
// in between (an interrupt wakes it), and the idle time of the serial input.
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
// Milliseconds since the last byte arrived on the serial input, saturating
// at 65535; the receive interrupt resets it.
uint16_t IdleMs();
void ResetIdle();

} // namespace Ticks
