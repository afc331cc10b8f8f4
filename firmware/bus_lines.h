// The bus lines of board.h as the bus code drives them, and waits counted
// in CPU cycles at compile time. For the bit-banged buses only; every
// function is inline, so a bit costs exactly the instructions it shows.
#pragma once

#include "board.h"

#include <avr/io.h>
#include <stdint.h>

// -Os would make calls of these: the edges must be single instructions.
#define BUS_LINE inline __attribute__((always_inline))

namespace BusLines {

using namespace Board;

// ---- open-drain I2C lines: PORT bits stay 0, DDR 1 pulls low.
BUS_LINE void SdaLow() {
    DDRC |= SdaBit;
}
BUS_LINE void SdaRelease() {
    DDRC &= static_cast<uint8_t>(~SdaBit);
}
BUS_LINE bool SdaHigh() {
    return (PINC & SdaBit) != 0;
}
BUS_LINE void SclLow() {
    DDRC |= SclBit;
}
BUS_LINE void SclRelease() {
    DDRC &= static_cast<uint8_t>(~SclBit);
}
BUS_LINE bool SclHigh() {
    return (PINC & SclBit) != 0;
}

// ---- push-pull outputs on port B
BUS_LINE void SetB(uint8_t Bits, bool High) {
    if (High)
        PORTB |= Bits;
    else
        PORTB &= static_cast<uint8_t>(~Bits);
}
BUS_LINE bool MisoHigh() {
    return (PINB & MisoBit) != 0;
}

constexpr uint32_t Cycles(uint32_t Ns) {
    return (Ns * (F_CPU / 1000000UL) + 999) / 1000;
}

// Waits Ns nanoseconds less the Spent cycles the surrounding instructions
// take between the two edges it separates.
template <uint32_t Ns, uint32_t Spent = 0> BUS_LINE void Wait() {
    constexpr uint32_t rest = Cycles(Ns) > Spent ? Cycles(Ns) - Spent : 0;
    if (rest > 0) __builtin_avr_delay_cycles(rest);
}

// A wait known only at run time, for set-up and hold times that are minima
// only: quarter microseconds, at least one.
void WaitQuarters(uint16_t Quarters);

} // namespace BusLines
