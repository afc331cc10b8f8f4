// The options of the "CH341A (USB)" kind as a form ("CH341A Configuration"):
// which board when several are plugged in, the I2C clock and the longest
// write time the write-cycle polls wait for.
#pragma once

#include "ports/usb_bulk_device.h"
#include "programmer/options_form.h"

#include <cstdint>
#include <string>
#include <vector>

struct TCh341Options {
    std::string UsbPath; // "" = the first found
    int I2CSpeedKHz = 400;
    std::uint8_t EEPROMTime = 0; // 0 = each device's own
};

// The form with Present's values and the boards found on the buses. A board
// chosen before and not plugged in now stays the choice.
TOptionsForm Ch341OptionsForm(const std::vector<TUsbDeviceInfo>& Boards, const TCh341Options& Present);
// The operator's choices from the form; the write time is kept to 8 bits,
// as the unit's dialog keeps it.
TCh341Options Ch341OptionsChosen(const TOptionsForm& Form);
