// The serial line to the PC: 115 200 baud, 8 data bits, no parity, one stop
// bit, on USART0. Reception is interrupt driven into a 256-byte ring, so no
// byte is lost while the main loop is busy on the bus or in a write delay;
// transmission drains a 64-byte ring from the data-register-empty interrupt.
#pragma once

#include <stdint.h>

namespace Uart {

// Gap after which a byte counts as the start of a new burst (the PC's
// command time-out): a half-received command before it is dropped.
constexpr uint16_t kGapMs = 500;

void Init();

// The oldest received byte; false when none is waiting. Gap is true when the
// line had been idle for more than kGapMs before the byte arrived.
bool Take(uint8_t& Byte, bool& Gap);
// True when received bytes wait to be taken.
bool Pending();
// Queues one byte for sending; sleeps while the ring is full.
void Send(uint8_t Byte);
// Bytes lost because the receive ring was full (never expected).
uint16_t Overruns();

} // namespace Uart
