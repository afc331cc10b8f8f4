#include "bus_pins.h"

#include "bus_lines.h"

#include <util/delay_basic.h>

using namespace Board;

namespace BusLines {

void WaitQuarters(uint16_t Quarters) {
    _delay_loop_2(Quarters ? Quarters : 1); // four cycles a loop at 16 MHz
}

} // namespace BusLines

namespace BusPins {

TSpeed Detail::gSpeed = TSpeed::Fast;

void Detail::ReleaseAll() {
    SPCR = 0; // PB3 and PB5 back to the port
    DDRB = 0;
    PORTB = 0;
    DDRC &= static_cast<uint8_t>(~(SdaBit | SclBit));
    PORTC &= static_cast<uint8_t>(~(SdaBit | SclBit));
}

void SetSpeed(TSpeed Speed) {
    Detail::gSpeed = Speed;
    if (SPCR & _BV(SPE)) Detail::StartSpi();
}

void SelectI2C() {
    Detail::ReleaseAll();
    DDRB |= WpBit; // WP low: writes allowed
}

void SelectSpi() {
    Detail::ReleaseAll();
    PORTB = CsBit | WpBit | HoldBit | MisoBit; // /CS, /WP, /HOLD high; pull-up on SO
    DDRB = CsBit | MosiBit | SckBit | WpBit | HoldBit;
    Detail::StartSpi();
}

void SelectMicrowire() {
    Detail::ReleaseAll();
    PORTB = MisoBit; // pull-up on DO
    DDRB = CsBit | MosiBit | SckBit;
}

} // namespace BusPins
