// The bus timing of each clock-speed class of the "E" command: what the
// firmware's waits are worked out from, and what the simulated-MCU tests
// measure the pins against. Plain C++ (no avr-libc), so the tests read the
// same figures. Nanoseconds.
//
//   class              I2C SCL            SPI SCK (hardware)   Microwire SK
//   fast   ("E" 00-01)  400 kHz (fast mode) 2 MHz (f/8)         250 kHz
//   medium ("E" 02-10)  100 kHz (standard)  1 MHz (f/16)        50 kHz
//   slow   ("E" 11-FF)  10 kHz              125 kHz (f/128)      10 kHz
//
// These are the clocks inside a byte; between bytes the unit's own work
// adds pauses (longer low times, which every part allows), so whole
// transfers take somewhat longer than bytes x bits / clock.
//
// What each class is for (the limits the tests hold it to are in
// tests/firmware/datasheet_limits.h):
//   I2C fast: 400 kHz parts (tLOW >= 1.3 us, tHIGH >= 1.0 us at 2.7 V);
//     100 kHz parts (and 1.8 V parts) need medium.
//   I2C medium and slow: standard mode (tLOW >= 4.7 us, tHIGH >= 4.0 us).
//   SPI fast: parts rated for 2 MHz or more (25LC040 at 2.5 V, 25C040,
//     25xx..A parts); medium: 1 MHz parts (25AA040 at 1.8 V); slow: long
//     wires.
//   Microwire fast: 250 kHz parts and faster (SK high and low >= 1 us).
#pragma once

#include <stdint.h>

namespace BusClocks {

enum class TSpeed : uint8_t { Fast, Medium, Slow };

// "E" argument to speed class.
constexpr TSpeed SpeedOf(uint8_t ClockSpeed) {
    return ClockSpeed <= 0x01 ? TSpeed::Fast : ClockSpeed <= 0x10 ? TSpeed::Medium : TSpeed::Slow;
}

struct TI2CTimes {
    // SCL low and high inside a byte, the START set-up and hold, the STOP
    // set-up, and the bus free time after a STOP.
    uint32_t Low, High, SetupStart, HoldStart, SetupStop, BusFree;
};

constexpr TI2CTimes kI2C[3] = {
    {1375, 1125, 1125, 1125, 1125, 1375},       // 400 kHz
    {5000, 5000, 5000, 5000, 5000, 5000},       // 100 kHz
    {50000, 50000, 50000, 50000, 50000, 50000}, // 10 kHz
};

// SPI: SCK from the MCU's SPI unit at F_CPU / divider, and the /CS set-up,
// hold and disable times around it.
struct TSpiTimes {
    uint8_t Divider;
    uint32_t CsSetup, CsHold, CsDisable;
};

constexpr TSpiTimes kSpi[3] = {
    {8, 250, 250, 500},
    {16, 500, 500, 500},
    {128, 4000, 4000, 4000},
};

struct TMicrowireTimes {
    // SK high and low, and CS low between selections (also the wait for
    // the ready status after CS rises).
    uint32_t Half, CsLow;
};

constexpr TMicrowireTimes kMicrowire[3] = {
    {2000, 2000},
    {10000, 10000},
    {50000, 50000},
};

constexpr uint32_t kCpuHz = 16000000;

constexpr uint32_t I2CHz(TSpeed Speed) {
    return 1000000000u / (kI2C[static_cast<uint8_t>(Speed)].Low + kI2C[static_cast<uint8_t>(Speed)].High);
}
constexpr uint32_t SpiHz(TSpeed Speed) {
    return kCpuHz / kSpi[static_cast<uint8_t>(Speed)].Divider;
}
constexpr uint32_t MicrowireHz(TSpeed Speed) {
    return 1000000000u / (2 * kMicrowire[static_cast<uint8_t>(Speed)].Half);
}

} // namespace BusClocks
