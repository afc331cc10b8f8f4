// The per-device option panel (status register, organisation, reset polarity,
// bus number). The user interface builds the real panel; the drivers read the
// operator's choices through this Qt-free view of it.
#pragma once

#include <functional>

class TFusePanel {
  public:
    virtual ~TFusePanel() = default;
    // "MCU Reset Polarity": 0 Low, 1 High, 2 Off.
    virtual int ResetPolarityIndex() const = 0;
    // "Device Bus Number": the I2C chip-address pins, 0..15.
    virtual int DeviceAddressValue() const = 0;
    // "Programming Mode": 0 X8, 1 X16.
    virtual int ModeIndex() const = 0;
};

// Factory of a device's panel: takes the owner (a user-interface object the
// front end knows; opaque here) and returns a new panel owned by it.
using TFusesFormFactory = std::function<TFusePanel*(void* Owner)>;
