// The three target buses on the pins of board.h, at the timing of each
// clock-speed class of the "E" command (bus_clocks.h gives the figures and
// what they are for). I2C and Microwire are bit-banged; SPI goes through the
// MCU's SPI unit (PB3/PB4/PB5 are its MOSI, MISO and SCK). All waits are
// bounded.
#pragma once

#include "bus_clocks.h"

#include <stdint.h>

namespace BusPins {

using BusClocks::TSpeed;

void SetSpeed(TSpeed Speed);

// Every bus pin to high impedance (the SPI unit off), then the pins of one
// family driven to their idle levels (I2C: both lines released, WP low;
// SPI: /CS high, SCK and SI low, /WP and /HOLD high; Microwire: CS, SK and
// DI low). SO/DO has the MCU's pull-up, so an empty socket reads 1.
void SelectI2C();
void SelectSpi();
void SelectMicrowire();

// START, or a repeated START; false, with both lines released, when SDA or
// SCL does not read high (no pull-up, or a chip holds the bus).
bool I2CStart();
void I2CStop();
// Bus clear: up to nine clocks with SDA released until SDA reads high, then
// START and STOP (the 24C datasheets' memory reset; the START makes a chip
// drop a page that a cut-short write left loaded). True when both lines read
// high afterwards.
bool I2CBusClear();
bool I2CWrite(uint8_t Byte);
uint8_t I2CRead(bool Ack);

void SpiSelect(bool Active);
uint8_t SpiTransfer(uint8_t Mosi);
// Count bytes read, each handed to the UART while the next one shifts in.
void SpiReadBlock(uint16_t Count);

void MwSelect(bool Active);
bool MwClock(bool DI);
uint8_t MwShift(uint8_t Out, uint8_t Bits);
bool MwDataOut();

namespace Detail {
extern TSpeed gSpeed;
void ReleaseAll();
void StartSpi();
} // namespace Detail

} // namespace BusPins
