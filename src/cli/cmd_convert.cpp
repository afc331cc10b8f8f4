// norvoisp-cli convert: load a data file into a device-sized buffer the way
// the load command does, and save it in another format.
#include "buffer/hex_text.h"
#include "catalogue/device_list.h"
#include "cli/cli_args.h"
#include "cli/cli_command.h"
#include "cli/data_file_load.h"
#include "formats/file_loader.h"

#include <ostream>

namespace {

const TDevice* FindDevice(const std::string& Name) {
    const auto& list = DeviceList();
    for (int i = 0; i < list.NumDevices(); ++i)
        if (AsciiUpper(list.Device(i)->DeviceName()) == AsciiUpper(Name)) return list.Device(i);
    return nullptr;
}

bool Save(const std::string& Out, THexList& Buffer, int Code, std::ostream& out, std::ostream& err) {
    if (Code == ft_Binary) {
        if (TFileLoader::SaveBinary(Out, Buffer) != 0) {
            err << "EEPROM: Binary file save failed (" << Out << ")\n";
            return false;
        }
        out << "EEPROM: Binary File Saved (" << Out << ")\n";
        return true;
    }
    const std::int64_t highest = Buffer.LastActualLocation() - 1;
    const std::uint64_t limit = TFileLoader::MaxFileAddress(Code);
    if (highest >= 0 && static_cast<std::uint64_t>(highest) > limit) {
        err << "EEPROM: File save failed (" << Out << "): " << TFileLoader::WhatIs(Code)
            << " cannot hold addresses above 0x" << IntToHex(limit, 4) << ", the data reach 0x"
            << IntToHex(static_cast<std::uint64_t>(highest), 4) << "\n";
        return false;
    }
    if (TFileLoader::SaveFile(Out, Buffer, Code) != 0) {
        err << "EEPROM: File save failed (" << Out << ")\n";
        return false;
    }
    out << "EEPROM: File Saved (" << Out << ", " << TFileLoader::WhatIs(Code) << ")\n";
    return true;
}

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, {"to", "device"}, {});
    if (a.Positional().size() != 2) throw CliUsageError("expected an input and an output file name");
    if (!a.Has("to")) throw CliUsageError("option --to is required");
    const int code = static_cast<int>(*a.IntValue("to", 1, 11));
    const std::string deviceName = a.ValueOr("device", "24C1024");
    const TDevice* device = FindDevice(deviceName);
    if (!device) throw CliUsageError("unknown device \"" + deviceName + "\" (see norvoisp-cli devices)");

    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(device->FlashSize()));
    if (!LoadDataFile(a.Positional()[0], buffer, &out, err)) return EXIT_FAILED;
    return Save(a.Positional()[1], buffer, code, out, err) ? EXIT_OK : EXIT_FAILED;
}

const CliRegistrar kConvert({"convert", "IN OUT --to CODE [--device NAME]",
                             "Load IN (text format by detection, otherwise binary) into a buffer the size of "
                             "the device (default 24C1024) and save it as OUT in format CODE: 1-3 Intel hex, "
                             "4-6 Motorola S-record, 7 extended Tektronix, 8 Tektronix, 9 Atmel generic "
                             "16-bit, 10 Atmel generic 8-bit, 11 binary.",
                             RunConvert});

} // namespace
