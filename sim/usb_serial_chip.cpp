#include "usb_serial_chip.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

std::uint32_t Divided(double Clock, double Divisor) {
    return static_cast<std::uint32_t>(std::lround(Clock / Divisor));
}

} // namespace

std::uint32_t ActualBaud(TUsbSerialChip Chip, std::uint32_t Requested) {
    if (Requested == 0) return 0;
    switch (Chip) {
    case TUsbSerialChip::Exact:
        return Requested;
    case TUsbSerialChip::ATmega16U2: {
        // The USB-serial firmware sets UBRR for double speed: 16 MHz / 8.
        const double ubrr = std::max(0.0, std::round(2e6 / Requested) - 1);
        return Divided(2e6, ubrr + 1);
    }
    case TUsbSerialChip::CH340: {
        const double divisor = std::clamp(std::round(12e6 / Requested), 2.0, 256.0);
        return Divided(12e6, divisor);
    }
    case TUsbSerialChip::FT232R: {
        // Divisors n + k/8 from 2 up; below 2 only 1 (2 Mbaud) and 0 (3 Mbaud).
        const double wanted = 3e6 / Requested;
        if (wanted < 1.25) return 3000000;
        if (wanted < 1.75) return 2000000;
        return Divided(3e6, std::max(2.0, std::round(wanted * 8) / 8));
    }
    case TUsbSerialChip::CP2102: {
        // AN205 table 1, the rows around the rates the unit uses.
        if (Requested > 1474560) return 0; // "undefined"
        if (Requested > 1053257) return 0;
        if (Requested > 670254) return 921600;
        if (Requested > 491520) return 576000;
        if (Requested > 273066) return 460800;
        if (Requested > 237832) return 256000;
        if (Requested > 156868) return 230400;
        if (Requested > 129347) return 153600;
        if (Requested > 117028) return 128000;
        if (Requested > 77608) return 115200;
        return Requested; // the lower rows are the standard rates
    }
    }
    return Requested;
}

bool ParseUsbSerialChip(const std::string& Name, TUsbSerialChip& Chip) {
    std::string upper;
    for (char c : Name)
        upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    for (const auto c : {TUsbSerialChip::ATmega16U2, TUsbSerialChip::CH340, TUsbSerialChip::FT232R,
                         TUsbSerialChip::CP2102}) {
        if (upper == UsbSerialChipName(c) || (c == TUsbSerialChip::ATmega16U2 && upper == "ATMEGA16U2")) {
            Chip = c;
            return true;
        }
    }
    return false;
}

const char* UsbSerialChipName(TUsbSerialChip Chip) {
    switch (Chip) {
    case TUsbSerialChip::Exact:
        return "exact";
    case TUsbSerialChip::ATmega16U2:
        return "16U2";
    case TUsbSerialChip::CH340:
        return "CH340";
    case TUsbSerialChip::FT232R:
        return "FT232R";
    case TUsbSerialChip::CP2102:
        return "CP2102";
    }
    return "";
}
