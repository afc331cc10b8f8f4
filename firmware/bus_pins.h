// The three target buses, bit-banged on the pins of board.h, with timing
// for each clock-speed class of the "E" command. All waits are bounded.
//
// Half-periods (microseconds) per class:
//
//   class              I2C low/high/edge   SPI half   Microwire half
//   fast   ("E" 00-01)  1.5 / 1.25 / 1.25    1          2
//   medium ("E" 02-10)  5   / 5    / 5       5          10
//   slow   ("E" 11-FF)  50  / 50   / 50      50         50
//
// so fast runs I2C at about 300 kHz, SPI at 450 kHz and Microwire at
// 230 kHz. The limits each class keeps (the simulated-MCU tests measure the
// pins against them, tests/firmware/datasheet_limits.h):
//   I2C fast: 400 kHz parts at 2.7 V: tLOW >= 1.3, tHIGH >= 1.0, tSU:STA,
//     tHD:STA, tSU:STO >= 0.6, tBUF >= 1.3, tSU:DAT >= 0.1, data sampled no
//     earlier than tAA = 0.9 after SCL falls.
//   I2C medium and slow: 100 kHz parts (standard mode, 1.8 V parts): tLOW,
//     tSU:STA, tBUF >= 4.7, tHIGH, tHD:STA, tSU:STO >= 4.0, tSU:DAT >= 0.25,
//     tAA = 3.5.
//   SPI: 1 MHz parts: SCK high and low, /CS set-up, hold and disable >= 0.5,
//     SI set-up and hold >= 0.1, SO valid within 0.4 of SCK falling.
//   Microwire: 250 kHz parts: SK high and low, CS low >= 1, CS set-up
//     >= 0.2, DI set-up and hold >= 0.4, DO valid within 1 of SK rising and
//     the status within 1 of CS rising.
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
