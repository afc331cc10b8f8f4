#include "tools/chip_options.h"

#include "tools/option_number.h"

#include <chrono>

bool ParseChipOption(const std::string& Option, const std::function<const std::string&()>& Value,
                     TChipOptions& Chip) {
    if (Option == "--org") {
        const std::string& text = Value();
        const auto org = OptionNumber(Option, text, 16);
        if (org != 8 && org != 16) throw Exception("Invalid value \"" + text + "\" for --org (8 or 16)");
        Chip.Organisation = static_cast<int>(org);
    } else if (Option == "--bus") {
        Chip.AddressPins = static_cast<std::uint8_t>(OptionNumber(Option, Value(), 7));
    } else if (Option == "--write-time") {
        Chip.WriteTime = std::chrono::milliseconds(OptionNumber(Option, Value(), 60000));
    } else if (Option == "--status") {
        Chip.Status = static_cast<std::uint8_t>(OptionNumber(Option, Value(), 255, 16));
    } else {
        return false;
    }
    return true;
}
