// norvoisp-cli read: read the whole device and save it to a file. Every
// block is read twice and the two compared (a loose clip or a long wire
// garbles a byte now and then; nothing on the way carries a checksum);
// --single-read reads each once, for speed. --twice reads the whole device
// a second time instead and fails when the two reads differ (it also
// catches a chip whose contents drift).
#include "buffer/hex_text.h"
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"
#include "cli/data_file_load.h"
#include "errors/errors.h"
#include "formats/file_types.h"
#include "programmer/algorithms/family_algorithms.h"

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
    return true;
}

int RunRead(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions({"file", "to"}), DeviceFlags({"twice", "single-read"}));
    a.NoPositional();
    const std::string file = a.Required("file");
    const int code = static_cast<int>(
        a.IntValue("to", 1, 11).value_or(EndsWith(file, ".bin") ? ft_Binary : ft_IntelHex32));
    // "-" writes the data to standard output, and only the data: the status
    // lines go to standard error then.
    TCliSession session(a, IsStandardStream(file) ? err : out, err);
    // --twice compares two whole reads; each of them reads a block once.
    if (a.Has("twice"))
        session.SetReadCheck(rc_Single);
    else if (a.Has("single-read"))
        session.ReadEachBlockOnce();
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
                session.AddStatusLine(UnstableByteLine(p, buffer.HexData[p], again.HexData[p]));
                ++unstable;
            }
            session.AddResult("counts", {{"bytes", size}, {"unstable_bytes", unstable}});
            if (unstable) RaiseUnstableRead(unstable);
        });
    }
    ok = session.Close() && ok;
    if (!ok) return session.Finish("read", EXIT_FAILED);
    session.ShowChecksums(buffer);
    return session.Finish("read", session.SaveFile(file, buffer, code, out) ? EXIT_OK : EXIT_FAILED);
}

const CliRegistrar
    kRead({"read", "--file FILE [--to CODE] [--twice|--single-read] " NORVOISP_DEVICE_OPTIONS,
           "Read the whole device and save it to FILE (\"-\" is standard output) in format CODE (1-3 "
           "Intel hex, 4-6 Motorola "
           "S-record, 7 extended Tektronix, 8 Tektronix, 9-10 Atmel generic, 11 binary; default "
           "binary for a .bin file, Intel Hex-32 otherwise) and print its checksums. Every block is read "
           "twice and the read fails, saving nothing, when the two differ, listing the unstable addresses; "
           "--single-read reads each block once (faster; a byte garbled on the way goes unnoticed). --twice "
           "reads the whole device a second time instead and fails the same way when the reads differ.",
           RunRead});

} // namespace
