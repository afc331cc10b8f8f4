// Where the programmer unit's signals are on an Arduino Uno or Nano
// (ATmega328P at 16 MHz). docs/wiring.md has the same table for the person
// with the soldering iron; the simulated-MCU harness wires its chip models
// to these pins.
//
//   Arduino  Port  24C (I2C)     25C (SPI)   93C (Microwire)
//   A4       PC4   SDA           -           -
//   A5       PC5   SCL           -           -
//   D10      PB2   -             /CS         CS
//   D11      PB3   -             SI          DI
//   D12      PB4   -             SO          DO
//   D13      PB5   -             SCK         SK
//   D8       PB0   WP (low)      /WP (high)  -
//   D9       PB1   -             /HOLD (high) -
//   D7       PD7   target reset output (reset polarity)
//   D0, D1   PD0, PD1  the UART to the USB-serial chip
//
// SDA and SCL are open drain (driven low or released) and need pull-ups to
// the chip's supply; the other outputs are push-pull. The 93C ORG pin is a
// jumper (ground: x8, supply: x16): the PC never tells the unit the
// organisation.
#pragma once

#include <avr/io.h>

namespace Board {

constexpr uint8_t SdaBit = _BV(PC4);
constexpr uint8_t SclBit = _BV(PC5);

constexpr uint8_t CsBit = _BV(PB2);
constexpr uint8_t MosiBit = _BV(PB3);
constexpr uint8_t MisoBit = _BV(PB4);
constexpr uint8_t SckBit = _BV(PB5);
constexpr uint8_t WpBit = _BV(PB0);
constexpr uint8_t HoldBit = _BV(PB1);

constexpr uint8_t TargetResetBit = _BV(PD7);

} // namespace Board
