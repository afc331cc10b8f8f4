// The three target buses, bit-banged on the pins of board.h, with timing
// for each clock-speed class of the "E" command. All waits are bounded.
//
// Half-periods (microseconds) per class; the ratings in brackets are the
// strictest figures of the families' datasheets each class is meant to
// meet (I2C: fast mode, tLOW >= 1.3, tHIGH >= 0.6 (1.0 for 2.7 V parts),
// tSU:STA, tHD:STA, tSU:STO >= 0.6, tBUF >= 1.3; standard mode 4.7 / 4.0;
// SPI: SCK high and low, /CS setup, hold and disable >= 0.5 at 1 MHz parts;
// Microwire: SK high and low >= 1 for 250 kHz parts, status valid after CS
// <= 1, data out valid after SK rising <= 2 for the slowest parts):
//
//   class              I2C low/high/edge   SPI half   Microwire half
//   fast   ("E" 00-01)  1.5 / 1.25 / 1.25    1          2
//   medium ("E" 02-10)  5   / 5    / 5       5          10
//   slow   ("E" 11-FF)  50  / 50   / 50      50         50
//
// so fast runs I2C at about 300 kHz, SPI at 450 kHz and Microwire at
// 230 kHz. The simulated-MCU tests measure the pins against these limits.
#pragma once

#include <stdint.h>

namespace BusPins {

enum class TSpeed : uint8_t { Fast, Medium, Slow };

// "E" argument to speed class.
TSpeed SpeedOf(uint8_t ClockSpeed);
void SetSpeed(TSpeed Speed);

// Every bus pin to high impedance, then the pins of one family driven to
// their idle levels (I2C: both lines released, WP low; SPI: /CS high, SCK
// and SI low, /WP and /HOLD high; Microwire: CS, SK and DI low). SO/DO has
// the MCU's pull-up, so an empty socket reads 1.
void SelectI2C();
void SelectSpi();
void SelectMicrowire();

void I2CStart();
void I2CStop();
bool I2CWrite(uint8_t Byte);
uint8_t I2CRead(bool Ack);

void SpiSelect(bool Active);
uint8_t SpiTransfer(uint8_t Mosi);

void MwSelect(bool Active);
bool MwClock(bool DI);
bool MwDataOut();

} // namespace BusPins
