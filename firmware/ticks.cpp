#include "ticks.h"

#include "uart.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>
#include <util/atomic.h>

namespace {

volatile uint32_t gMs = 0;

} // namespace

ISR(TIMER0_COMPA_vect) {
    ++gMs;
    Uart::Tick();
}

namespace Ticks {

void Init() {
    TCCR0A = _BV(WGM01);            // CTC
    OCR0A = 249;                    // 16 MHz / 64 / 250 = 1 kHz
    TCCR0B = _BV(CS01) | _BV(CS00); // clock / 64
    TIMSK0 = _BV(OCIE0A);
}

uint32_t Now() {
    uint32_t now;
    ATOMIC_BLOCK(ATOMIC_RESTORESTATE) {
        now = gMs;
    }
    return now;
}

void WaitMs(uint8_t Ms) {
    if (Ms == 0) return;
    uint32_t end;
    ATOMIC_BLOCK(ATOMIC_RESTORESTATE) {
        // Restart the tick so that the first one comes a whole millisecond
        // from now.
        GTCCR = _BV(PSRSYNC);
        TCNT0 = 0;
        TIFR0 = _BV(OCF0A);
        end = gMs + Ms;
    }
    set_sleep_mode(SLEEP_MODE_IDLE);
    for (;;) {
        cli();
        if (static_cast<int32_t>(gMs - end) >= 0) break;
        sleep_enable();
        sei();
        sleep_cpu(); // the tick, or a byte on the serial line, wakes it
        sleep_disable();
    }
    sei();
}

} // namespace Ticks
