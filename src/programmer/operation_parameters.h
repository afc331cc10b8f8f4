// What one memory operation runs with, taken once when it starts: the
// device's geometry, the block size of the read and program loops (the
// module variable SmartDongle::PageSize, which the window and the device
// panel set), the 93C organisation the driver was handed, the operator's
// bus number and reset polarity from the device panel, and the kind's write
// time and clock. The family algorithms and the bus masters read these and
// no global, so nothing changes under an operation while it runs.
#pragma once

#include "catalogue/device.h"

#include <cstdint>

class TDriverHost;
class TISPProgrammer;

struct TOperationParameters {
    TDevice* Device = nullptr;
    // Bytes per block of the read and program loops (a 93C read goes by
    // the device's page whatever this is).
    int BlockSize = 0;
    // 93C organisation in bits per word: 8 or 16.
    std::uint8_t Organisation = 16;
    // "Device Bus Number": the 24C address pins.
    int BusNumber = 0;
    // "MCU Reset Polarity": 0 low, 1 high, 2 off.
    std::uint8_t ResetPolarity = 2;
    // The write delay in milliseconds: what the unit waits after a page,
    // what bounds the CH341A's write-cycle polls.
    std::uint8_t WriteCycleTime = 0;
    // The kind's bus clock setting: the unit's ClockSpeed (1 fast, 16
    // medium, 32 slow), the CH341A's I2C clock in kHz.
    int Clock = 1;
    // Where the operation's lines go (a verify mismatch, an unstable
    // byte): the front end's status log; nullptr for none.
    TDriverHost* Log = nullptr;
};

// The parameters as they stand: the driver's device and organisation, the
// module variables PageSize and ClockSpeed, the device panel's bus number
// and reset polarity (driver_host.h) and the front end's log. The write
// time is the device's own; a kind that keeps its own write time and clock
// sets them after.
TOperationParameters CurrentOperationParameters(const TISPProgrammer& Driver);
