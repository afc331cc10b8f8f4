// The serial line to the PC on USART0, 8 data bits, no parity, one stop
// bit, at 115 200 baud or (the fast link) 1 or 2 Mbaud. Reception is
// interrupt driven into a 256-byte ring, so no byte is lost while the main
// loop is busy on the bus or in a write delay as long as the PC keeps fewer
// than that in flight; a byte that finds the ring full, an overrun of the
// UART itself and a framing error are counted as events instead of passing
// unseen. The receive interrupt is written in assembly: at 2 Mbaud a byte
// comes every 80 cycles, and it takes about 40 of them. Transmission drains
// a 64-byte ring from the data-register-empty interrupt.
#pragma once

#include <stdint.h>

namespace Uart {

constexpr uint16_t kRxSize = 256;

// Line events since the last TakeEvents.
constexpr uint8_t kLost = 1;    // received bytes were dropped (ring full, UART overrun)
constexpr uint8_t kFraming = 2; // a byte without its stop bit (dropped)

void Init();

// The oldest received byte; false when none is waiting. Gap is true when the
// line had been idle for more than the gap time (link_control.h) before the
// byte arrived.
bool Take(uint8_t& Byte, bool& Gap);
// The oldest received byte, unless it came after a gap or line events wait
// to be taken (the link control must see those): for the bytes of a page.
bool TakePlain(uint8_t& Byte);
// True when received bytes wait to be taken.
bool Pending();
// True when line events wait to be taken.
bool EventsPending();
uint8_t TakeEvents();
// Milliseconds since the last byte arrived (saturating at 65535), in the
// tick's 1 ms steps.
uint16_t IdleMs();
// From the millisecond tick's interrupt.
void Tick();
// Drops what waits in the receive ring.
void Discard();

// Queues one byte for sending; sleeps while the ring is full.
void Send(uint8_t Byte);
// The same for a stream the caller produces about as fast as the line
// takes it: with nothing queued it waits for the transmitter itself instead
// of going through the interrupt, which leaves the CPU to the producer.
void SendNow(uint8_t Byte);

// Switches to the rate of Code (0: 115 200, 1: 1 000 000, 2: 2 000 000)
// once everything queued has left at the old rate; received bytes are
// dropped.
void SetRate(uint8_t Code);

} // namespace Uart
