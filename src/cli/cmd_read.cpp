// norvoisp-cli read: read the whole device and save it to a file.
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"
#include "cli/data_file_load.h"
#include "formats/file_types.h"

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
    return true;
}

int RunRead(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions({"file", "to"}), DeviceFlags());
    a.NoPositional();
    const std::string file = a.Required("file");
    const int code = static_cast<int>(
        a.IntValue("to", 1, 11).value_or(EndsWith(file, ".bin") ? ft_Binary : ft_IntelHex32));
    // "-" writes the data to standard output, and only the data: the status
    // lines go to standard error then.
    TDeviceSession session(a, IsStandardStream(file) ? err : out, err);
    if (!session.Open()) return EXIT_FAILED;
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(session.Device().FlashSize()));
    buffer.Clear();
    session.HandOverOrganisation();
    bool ok = session.Operation("EEPROM: Reading", "EEPROM: Read Complete",
                                [&] { session.Driver().ReadFlash(buffer); });
    ok = session.Close() && ok;
    if (!ok) return EXIT_FAILED;
    return session.SaveFile(file, buffer, code, out) ? EXIT_OK : EXIT_FAILED;
}

const CliRegistrar
    kRead({"read", "--file FILE [--to CODE] " NORVOISP_DEVICE_OPTIONS,
           "Read the whole device and save it to FILE (\"-\" is standard output) in format CODE (1-3 "
           "Intel hex, 4-6 Motorola "
           "S-record, 7 extended Tektronix, 8 Tektronix, 9-10 Atmel generic, 11 binary; default "
           "binary for a .bin file, Intel Hex-32 otherwise).",
           RunRead});

} // namespace
