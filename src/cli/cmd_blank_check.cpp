// norvoisp-cli blank-check: is every byte of the device FFh?
#include "buffer/hex_text.h"
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"
#include "errors/errors.h"

namespace {

int RunBlankCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions(), DeviceFlags({"single-read"}));
    a.NoPositional();
    TCliSession session(a, out, err);
    if (a.Has("single-read")) session.ReadEachBlockOnce();
    if (!session.Open()) return session.Finish("blank-check", EXIT_FAILED);
    const auto size = static_cast<std::uint32_t>(session.Device().FlashSize());
    THexList buffer;
    buffer.SetSizeof(size);
    buffer.Clear();
    session.HandOverOrganisation();
    bool ok = session.Operation("EEPROM: Blank Checking", "EEPROM: Device is Blank", [&] {
        session.Driver().ReadFlash(buffer);
        std::uint32_t used = 0;
        for (std::uint32_t p = 0; p < size; ++p) {
            if (buffer.HexData[p] == 0xFF) continue;
            session.AddStatusLine("Blank Check Failed at " + IntToHex(p, 4) + "h: Read " +
                                  IntToHex(buffer.HexData[p], 2) + "h - Should have been FFh");
            ++used;
        }
        session.AddResult("counts", {{"bytes", size}, {"failed_bytes", used}});
        if (used)
            throw EVerifyError("EEPROM: Blank Check Failed - " + std::to_string(used) +
                               " bytes are not blank");
    });
    ok = session.Close() && ok;
    return session.Finish("blank-check", ok ? EXIT_OK : EXIT_FAILED);
}

const CliRegistrar kBlankCheck({"blank-check", "[--single-read] " NORVOISP_DEVICE_OPTIONS,
                                "Check that every byte of the device is FFh; every other byte is listed. "
                                "Every block is read twice and compared, as read does; --single-read reads "
                                "each once.",
                                RunBlankCheck});

} // namespace
