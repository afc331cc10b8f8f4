#include "programmer/ch341a/ch341a_module.h"

#include "programmer/ch341a/ch341a_driver.h"

#include <string>

namespace {

// Where the board is plugged in: bus, "-", the port numbers ("1-1.4").
void ApplyUsbPath(TKindSettings& Settings, const std::string& Port) {
    const auto dash = Port.find('-');
    const bool path = dash != std::string::npos && dash > 0 && dash + 1 < Port.size() &&
                      Port.find_first_not_of("0123456789.-") == std::string::npos &&
                      Port.find('-', dash + 1) == std::string::npos;
    if (!path) throw EKindOptionError("a USB path such as 1-1.4 for \"" + Settings.Section() + "\"");
    Settings.Set("USBPATH", Port);
}

// The I2C clock in kHz.
void ApplyI2CSpeed(TKindSettings& Settings, TClockChoice Clock) {
    Settings.Set("I2CSpeed", Clock == TClockChoice::Fast ? 400 : Clock == TClockChoice::Medium ? 100 : 20);
}

} // namespace

std::unique_ptr<TISPProgrammer> GetNewCh341aPsi() {
    return std::make_unique<TCh341A>();
}

const THardwareKind Ch341aKind = {
    .Name = Ch341aHardwareName,
    .Visible = true,
    .Caption = "",
    .Support = TProgrammerSupport{pk_usb},
    .NewInstance = GetNewCh341aPsi,
    .StartUp = nullptr,
    .Simulated = false,
    .PortSyntax = "a USB path such as 1-1.4 (default: the first CH341A found)",
    .Needs = "a CH341A board (USB id 1a86:5512), libusb-1.0 and the udev rule 60-norvoisp.rules",
    .ApplyPort = ApplyUsbPath,
    .ApplyClock = ApplyI2CSpeed,
    .ApplyBaud = nullptr,
    .ApplyWriteTime = ChooseWriteTime,
    .PortName = nullptr,
};
