// norvoisp-cli devices: the device catalogue.
#include "catalogue/device_list.h"
#include "cli/cli_args.h"
#include "cli/cli_command.h"

#include <iomanip>
#include <ostream>

namespace {

const char* const kFamilies[] = {"24C", "25C", "93C"};

int RunDevices(const std::vector<std::string>& args, std::ostream& out, std::ostream&) {
    CliArgs a(args, {"family"}, {});
    a.NoPositional();
    int family = -1;
    if (auto f = a.Value("family")) {
        const std::string wanted = AsciiUpper(*f);
        for (int i = 0; i < 3; ++i)
            if (wanted == kFamilies[i]) family = i;
        if (family < 0) throw CliUsageError("--family must be 24C, 25C or 93C");
    }
    out << std::left << std::setw(12) << "Device" << std::setw(8) << "Family" << std::right << std::setw(8)
        << "Size" << std::setw(6) << "Page" << std::setw(10) << "Write ms"
        << "\n";
    const auto& list = DeviceList();
    for (int i = 0; i < list.NumDevices(); ++i) {
        const TDevice* d = list.Device(i);
        if (family >= 0 && d->ProgrammerId() != family) continue;
        // A name as wide as its column (W25Q128JV-IM, "SPI Flash") keeps a space after it.
        const auto column = [](const std::string& Text, std::size_t Width) {
            return Text.size() >= Width ? Text + " " : Text;
        };
        out << std::left << std::setw(12) << column(d->DeviceName(), 12) << std::setw(8)
            << column(FamilyName(d->ProgrammerId()), 8) << std::right << std::setw(8) << d->FlashSize()
            << std::setw(6) << d->PageSize() << std::setw(10) << d->EEPROMTime() << "\n";
    }
    return EXIT_OK;
}

const CliRegistrar kDevices({"devices", "[--family 24C|25C|93C]",
                             "List the supported devices: name, family, size and page size in bytes, "
                             "default write delay.",
                             RunDevices});

} // namespace
