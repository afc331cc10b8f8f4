#include "uart.h"

#include "core/link_control.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>
#include <util/atomic.h>
#include <util/delay.h>

namespace {

// All rates with double speed (8 samples a bit): 16 MHz / (8 * (UBRR + 1)).
// 115 200 is 117 647 baud, 2.1 % fast as on every Arduino with a 16 MHz
// crystal; 1 and 2 Mbaud are exact.
constexpr uint8_t kUbrr[3] = {16, 1, 0};

static_assert(Uart::kRxSize == 256, "the ring's indices are single bytes");

} // namespace

// The receive ring and its indices, shared with the receive interrupt (which
// names them in its assembly, hence outside the anonymous namespace). Every
// access is volatile, so the compiler keeps them in program order: the main
// loop reads a slot only after it has read the head that covers it and
// gives the slot back (tail) only after it has read it; the interrupt
// writes the slot before it moves the head. The indices are single bytes,
// each read or written by one instruction.
volatile uint8_t gUartRx[Uart::kRxSize];
volatile uint8_t gUartRxHead = 0; // next slot the interrupt fills
volatile uint8_t gUartRxTail = 0; // next slot the main loop takes
volatile uint8_t gUartEvents = 0;

namespace {

// The line's idle time, kept by the tick (1 ms steps) so that the receive
// interrupt has nothing to do for it; when it passes the gap time, the slot
// the next byte will fill is marked.
volatile uint16_t gIdleMs = 0;
uint8_t gSeenHead = 0;
volatile uint8_t gGapSlot = 0;
volatile bool gGapMark = false;

constexpr uint8_t kTxSize = 64;
volatile uint8_t gTx[kTxSize];
volatile uint8_t gTxHead = 0;
volatile uint8_t gTxTail = 0;

} // namespace

// 2 Mbaud leaves 80 cycles a byte: this takes about 45 (7 to enter, 38 in
// here), using r24, r25, r30, r31 and SREG only. r1 is not assumed to be
// zero (an interrupt may come between a multiply and the clearing of r1).
ISR(USART_RX_vect, ISR_NAKED) {
    asm volatile("push r24\n\t"
                 "in r24, __SREG__\n\t"
                 "push r24\n\t"
                 "push r25\n\t"
                 "push r30\n\t"
                 "push r31\n\t"
                 // The status belongs to the byte in UDR0: read it first.
                 "lds r25, %[status]\n\t"
                 "lds r24, %[data]\n\t"
                 "andi r25, %[errors]\n\t"
                 "brne 3f\n\t"
                 // Room for the byte: head + 1 must not reach the tail.
                 "lds r25, %[head]\n\t"
                 "lds r30, %[tail]\n\t"
                 "inc r25\n\t"
                 "cp r25, r30\n\t"
                 "breq 4f\n\t"
                 "dec r25\n\t"
                 "ldi r30, lo8(%[ring])\n\t"
                 "ldi r31, hi8(%[ring])\n\t"
                 "add r30, r25\n\t"
                 "brcc 1f\n\t"
                 "inc r31\n"
                 "1:\n\t"
                 "st Z, r24\n\t"
                 "inc r25\n\t"
                 "sts %[head], r25\n"
                 "2:\n\t"
                 "pop r31\n\t"
                 "pop r30\n\t"
                 "pop r25\n\t"
                 "pop r24\n\t"
                 "out __SREG__, r24\n\t"
                 "pop r24\n\t"
                 "reti\n"
                 // A framing error (the byte is dropped) or an overrun of the
                 // UART's own buffer (bytes before this one were lost).
                 "3:\n\t"
                 "lds r24, %[events]\n\t"
                 "sbrc r25, %[fe]\n\t"
                 "ori r24, %[framing]\n\t"
                 "sbrc r25, %[dor]\n\t"
                 "ori r24, %[lost]\n\t"
                 "sts %[events], r24\n\t"
                 "rjmp 2b\n"
                 // The ring is full: the byte is lost.
                 "4:\n\t"
                 "lds r24, %[events]\n\t"
                 "ori r24, %[lost]\n\t"
                 "sts %[events], r24\n\t"
                 "rjmp 2b\n\t"
                 :
                 : [status] "i"(_SFR_MEM_ADDR(UCSR0A)), [data] "i"(_SFR_MEM_ADDR(UDR0)),
                   [errors] "M"(_BV(FE0) | _BV(DOR0)), [fe] "I"(FE0), [dor] "I"(DOR0),
                   [framing] "M"(Uart::kFraming), [lost] "M"(Uart::kLost), [head] "i"(&gUartRxHead),
                   [tail] "i"(&gUartRxTail), [ring] "i"(gUartRx), [events] "i"(&gUartEvents));
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
    UBRR0H = 0;
    UBRR0L = kUbrr[0];
    UCSR0A = _BV(U2X0);
    UCSR0C = _BV(UCSZ01) | _BV(UCSZ00); // 8N1
    UCSR0B = _BV(RXEN0) | _BV(TXEN0) | _BV(RXCIE0);
}

void Tick() {
    const uint8_t head = gUartRxHead;
    if (head != gSeenHead) {
        gSeenHead = head;
        gIdleMs = 0;
        return;
    }
    if (gIdleMs == 0xFFFF) return;
    if (++gIdleMs == TLinkControl::kGapMs + 1) {
        gGapSlot = head;
        gGapMark = true;
    }
}

bool Pending() {
    return gUartRxHead != gUartRxTail;
}

bool Take(uint8_t& Byte, bool& Gap) {
    const uint8_t tail = gUartRxTail; // only the main loop writes it
    if (tail == gUartRxHead) return false;
    Byte = gUartRx[tail];
    Gap = false;
    if (gGapMark) {
        ATOMIC_BLOCK(ATOMIC_RESTORESTATE) {
            if (gGapMark && gGapSlot == tail) {
                Gap = true;
                gGapMark = false;
            }
        }
    }
    gUartRxTail = static_cast<uint8_t>(tail + 1);
    return true;
}

bool TakePlain(uint8_t& Byte) {
    const uint8_t tail = gUartRxTail;
    if (tail == gUartRxHead || gUartEvents) return false;
    if (gGapMark && gGapSlot == tail) return false;
    Byte = gUartRx[tail];
    gUartRxTail = static_cast<uint8_t>(tail + 1);
    return true;
}

bool EventsPending() {
    return gUartEvents != 0;
}

uint8_t TakeEvents() {
    uint8_t events;
    ATOMIC_BLOCK(ATOMIC_RESTORESTATE) {
        events = gUartEvents;
        gUartEvents = 0;
    }
    return events;
}

uint16_t IdleMs() {
    uint16_t idle;
    ATOMIC_BLOCK(ATOMIC_RESTORESTATE) {
        idle = gIdleMs;
    }
    return idle;
}

void Discard() {
    ATOMIC_BLOCK(ATOMIC_RESTORESTATE) {
        gUartRxTail = gUartRxHead;
        gGapMark = false;
    }
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

void SendNow(uint8_t Byte) {
    if (gTxHead != gTxTail) {
        Send(Byte);
        return;
    }
    // A byte time at most: the one before it is in the shift register.
    while (!(UCSR0A & _BV(UDRE0))) {
    }
    UDR0 = Byte;
}

void SetRate(uint8_t Code) {
    if (Code >= sizeof kUbrr) return;
    // The queue empties within its bytes' time; the last byte leaves the
    // shift register within a byte time of 115 200 baud (87 us).
    while (gTxHead != gTxTail) {
    }
    while (!(UCSR0A & _BV(UDRE0))) {
    }
    _delay_us(200);
    UBRR0L = kUbrr[Code];
    Discard();
}

} // namespace Uart
