// norvoisp-cli read: read the whole device and save it to a file; with
// --twice, read it a second time and fail when the two reads differ (a
// loose clip or a long wire).
#include "buffer/hex_text.h"
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"
#include "cli/data_file_load.h"
#include "errors/errors.h"
#include "formats/file_types.h"

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
    return true;
}

int RunRead(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions({"file", "to"}), DeviceFlags({"twice"}));
    a.NoPositional();
    const std::string file = a.Required("file");
    const int code = static_cast<int>(
        a.IntValue("to", 1, 11).value_or(EndsWith(file, ".bin") ? ft_Binary : ft_IntelHex32));
    // "-" writes the data to standard output, and only the data: the status
    // lines go to standard error then.
    TDeviceSession session(a, IsStandardStream(file) ? err : out, err);
    if (!session.Open()) return session.Finish("read", EXIT_FAILED);
    const auto size = static_cast<std::uint32_t>(session.Device().FlashSize());
    THexList buffer;
    buffer.SetSizeof(size);
    buffer.Clear();
    session.HandOverOrganisation();
    bool ok = session.Operation("EEPROM: Reading", "EEPROM: Read Complete",
                                [&] { session.Driver().ReadFlash(buffer); });
    if (ok && a.Has("twice")) {
        THexList again;
        again.SetSizeof(size);
        again.Clear();
        session.HandOverOrganisation();
        ok = session.Operation("EEPROM: Reading Again", "EEPROM: Both Reads Agree", [&] {
            session.Driver().ReadFlash(again);
            std::uint32_t unstable = 0;
            for (std::uint32_t p = 0; p < size; ++p) {
                if (buffer.HexData[p] == again.HexData[p]) continue;
                session.AddStatusLine("Read Unstable at " + IntToHex(p, 4) + "h: Read " +
                                      IntToHex(buffer.HexData[p], 2) + "h, then " +
                                      IntToHex(again.HexData[p], 2) + "h");
                ++unstable;
            }
            session.AddResult("counts", {{"bytes", size}, {"unstable_bytes", unstable}});
            if (unstable)
                throw EVerifyError("EEPROM: Read Unstable - " + std::to_string(unstable) +
                                   " bytes differed between two reads");
        });
    }
    ok = session.Close() && ok;
    if (!ok) return session.Finish("read", EXIT_FAILED);
    session.ShowChecksums(buffer);
    return session.Finish("read", session.SaveFile(file, buffer, code, out) ? EXIT_OK : EXIT_FAILED);
}

const CliRegistrar
    kRead({"read", "--file FILE [--to CODE] [--twice] " NORVOISP_DEVICE_OPTIONS,
           "Read the whole device and save it to FILE (\"-\" is standard output) in format CODE (1-3 "
           "Intel hex, 4-6 Motorola "
           "S-record, 7 extended Tektronix, 8 Tektronix, 9-10 Atmel generic, 11 binary; default "
           "binary for a .bin file, Intel Hex-32 otherwise) and print its checksums. --twice reads the "
           "device a second time and fails, saving nothing, when the reads differ, listing the unstable "
           "addresses.",
           RunRead});

} // namespace
