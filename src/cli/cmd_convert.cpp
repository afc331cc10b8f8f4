// norvoisp-cli convert: load a data file into a device-sized buffer the way
// the load command does, and save it in another format.
#include "buffer/hex_text.h"
#include "catalogue/device_list.h"
#include "cli/cli_args.h"
#include "cli/cli_command.h"
#include "cli/data_file_load.h"
#include "cli/data_file_write.h"
#include "formats/file_loader.h"

#include <ostream>

namespace {

const TDevice* FindDevice(const std::string& Name) {
    const auto& list = DeviceList();
    for (int i = 0; i < list.NumDevices(); ++i)
        if (AsciiUpper(list.Device(i)->DeviceName()) == AsciiUpper(Name)) return list.Device(i);
    return nullptr;
}

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, {"to", "device"}, {});
    if (a.Positional().size() != 2) throw CliUsageError("expected an input and an output file name");
    if (!a.Has("to")) throw CliUsageError("option --to is required");
    const int code = static_cast<int>(*a.IntValue("to", 1, 11));
    const std::string deviceName = a.ValueOr("device", "24C1024");
    const TDevice* device = FindDevice(deviceName);
    if (!device) throw CliUsageError("unknown device \"" + deviceName + "\" (see norvoisp-cli devices)");

    const std::string& from = a.Positional()[0];
    const std::string& to = a.Positional()[1];
    // With "-" for either file, standard output carries data only (or
    // nothing): the status lines go to standard error.
    std::ostream& status = IsStandardStream(from) || IsStandardStream(to) ? err : out;
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(device->FlashSize()));
    if (!LoadDataFile(from, buffer, &status, err)) return EXIT_FAILED;
    return WriteDataFile(to, buffer, code, out, &status, err) ? EXIT_OK : EXIT_FAILED;
}

const CliRegistrar kConvert({"convert", "IN OUT --to CODE [--device NAME]",
                             "Load IN (text format by detection, otherwise binary) into a buffer the size of "
                             "the device (default 24C1024) and save it as OUT in format CODE: 1-3 Intel hex, "
                             "4-6 Motorola S-record, 7 extended Tektronix, 8 Tektronix, 9 Atmel generic "
                             "16-bit, 10 Atmel generic 8-bit, 11 binary. \"-\" is standard input or output.",
                             RunConvert});

} // namespace
