#include "uart.h"

#include "ticks.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>

namespace {

// 16 MHz / (8 * (16 + 1)) = 117 647 baud with double speed: 2.1 % above
// 115 200, as on every Arduino with a 16 MHz crystal.
constexpr uint16_t kUbrr = 16;

uint8_t gRx[256];
uint8_t gRxGap[256 / 8];      // one bit per ring slot: a gap came before the byte
volatile uint8_t gRxHead = 0; // next slot the interrupt fills
volatile uint8_t gRxTail = 0; // next slot the main loop takes
volatile uint16_t gOverruns = 0;

constexpr uint8_t kTxSize = 64;
uint8_t gTx[kTxSize];
volatile uint8_t gTxHead = 0;
volatile uint8_t gTxTail = 0;

} // namespace

ISR(USART_RX_vect) {
    const uint8_t byte = UDR0;
    const bool gap = Ticks::IdleMs() > Uart::kGapMs;
    Ticks::ResetIdle();
    const uint8_t head = gRxHead;
    const uint8_t next = static_cast<uint8_t>(head + 1);
    if (next == gRxTail) {
        if (gOverruns != 0xFFFF) ++gOverruns;
        return;
    }
    gRx[head] = byte;
    const uint8_t mask = static_cast<uint8_t>(1u << (head & 7));
    if (gap)
        gRxGap[head >> 3] |= mask;
    else
        gRxGap[head >> 3] &= static_cast<uint8_t>(~mask);
    gRxHead = next;
}

ISR(USART_UDRE_vect) {
    const uint8_t tail = gTxTail;
    if (tail == gTxHead) {
        UCSR0B &= static_cast<uint8_t>(~_BV(UDRIE0));
        return;
    }
    UDR0 = gTx[tail];
    gTxTail = static_cast<uint8_t>((tail + 1) % kTxSize);
}

namespace Uart {

void Init() {
    UBRR0H = static_cast<uint8_t>(kUbrr >> 8);
    UBRR0L = static_cast<uint8_t>(kUbrr);
    UCSR0A = _BV(U2X0);
    UCSR0C = _BV(UCSZ01) | _BV(UCSZ00); // 8N1
    UCSR0B = _BV(RXEN0) | _BV(TXEN0) | _BV(RXCIE0);
}

bool Pending() {
    return gRxHead != gRxTail;
}

bool Take(uint8_t& Byte, bool& Gap) {
    const uint8_t tail = gRxTail;
    if (tail == gRxHead) return false;
    Byte = gRx[tail];
    Gap = (gRxGap[tail >> 3] & (1u << (tail & 7))) != 0;
    gRxTail = static_cast<uint8_t>(tail + 1);
    return true;
}

void Send(uint8_t Byte) {
    // An idle transmitter takes the byte at once, without the interrupt.
    cli();
    if (gTxHead == gTxTail && (UCSR0A & _BV(UDRE0))) {
        UDR0 = Byte;
        sei();
        return;
    }
    sei();
    const uint8_t head = gTxHead;
    const uint8_t next = static_cast<uint8_t>((head + 1) % kTxSize);
    set_sleep_mode(SLEEP_MODE_IDLE);
    for (;;) {
        cli();
        if (next != gTxTail) break;
        sleep_enable();
        sei();
        sleep_cpu(); // the transmit interrupt makes room
        sleep_disable();
    }
    gTx[head] = Byte;
    gTxHead = next;
    UCSR0B |= _BV(UDRIE0);
    sei();
}

uint16_t Overruns() {
    cli();
    const uint16_t n = gOverruns;
    sei();
    return n;
}

} // namespace Uart
