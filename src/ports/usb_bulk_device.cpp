#include "ports/usb_bulk_device.h"

std::string UsbPlaceName(const std::string& Path) {
    const auto dash = Path.find('-');
    if (dash == std::string::npos) return "USB " + Path;
    return "USB bus " + Path.substr(0, dash) + ", port " + Path.substr(dash + 1);
}

void CheckReplyPacket(std::size_t Got, std::size_t Expected) {
    if (Got != Expected)
        throw EUsbError(TUsbErrorKind::Io, "USB read: a reply packet of " + std::to_string(Got) +
                                               " bytes where one of " + std::to_string(Expected) +
                                               " was due");
}
