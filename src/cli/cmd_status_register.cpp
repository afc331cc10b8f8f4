// norvoisp-cli read-status / write-status: the status register of a 25C
// device (bit 7 write-protect-pin enable, bits 3..2 block protection).
#include "buffer/hex_text.h"
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"

#include <charconv>
#include <ostream>

namespace {

const char* const kLevels[] = {"Level 0 - NONE", "Level 1 - 1/4", "Level 2 - 1/2", "Level 3 -  ALL"};

// "8C" and "8Ch" (hex), "0x8C", or decimal digits; 0 to 255.
std::uint8_t ParseValue(std::string Text) {
    int base = 10;
    if (Text.size() > 2 && (Text.rfind("0x", 0) == 0 || Text.rfind("0X", 0) == 0)) {
        Text.erase(0, 2);
        base = 16;
    } else if (!Text.empty() && (Text.back() == 'h' || Text.back() == 'H')) {
        Text.pop_back();
        base = 16;
    }
    unsigned value = 0;
    const auto [p, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), value, base);
    if (Text.empty() || ec != std::errc() || p != Text.data() + Text.size() || value > 255)
        throw CliUsageError("the status register value must be 0 to 255 (e.g. 140, 0x8C or 8Ch)");
    return static_cast<std::uint8_t>(value);
}

void RequireSpi(TCliSession& Session) {
    if (Session.Device().ProgrammerId() != FAMILY_25C)
        throw CliUsageError("the status register belongs to 25C devices; " + Session.Device().DeviceName() +
                            " is not one");
}

void ShowStatus(TCliSession& Session, std::uint8_t b) {
    Session.Output().Info("Status Register: " + bytetobin(b) + " " + IntToHex(b, 2) + "h" +
                          " (Write Protection Enable Pin: " + ((b & 0x80) ? "Enabled" : "Disabled") +
                          ", Block Write Protection: " + kLevels[(b >> 2) & 3] + ")");
    Session.AddResult("status_register", IntToHex(b, 2));
}

int RunReadStatus(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions(), DeviceFlags());
    a.NoPositional();
    TCliSession session(a, out, err);
    RequireSpi(session);
    if (!session.Open()) return session.Finish("read-status", EXIT_FAILED);
    std::uint8_t value = 0;
    bool ok = session.Operation("STATUS REGISTER: Reading", "STATUS REGISTER: Read Complete",
                                [&] { value = session.Driver().ReadOptionByte(); });
    if (ok) ShowStatus(session, value);
    ok = session.Close() && ok;
    return session.Finish("read-status", ok ? EXIT_OK : EXIT_FAILED);
}

int RunWriteStatus(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions(), DeviceFlags());
    if (a.Positional().size() != 1) throw CliUsageError("expected one status register value");
    const std::uint8_t value = ParseValue(a.Positional().front());
    TCliSession session(a, out, err);
    RequireSpi(session);
    if (!session.Open()) return session.Finish("write-status", EXIT_FAILED);
    bool ok = session.Operation("Programming: STATUS REGISTER", "STATUS REGISTER: Programmed ",
                                [&] { session.Driver().WriteOptionByte(value); });
    ok = session.Close() && ok;
    return session.Finish("write-status", ok ? EXIT_OK : EXIT_FAILED);
}

const CliRegistrar kReadStatus({"read-status", NORVOISP_DEVICE_OPTIONS,
                                "Read the status register of a 25C device.", RunReadStatus});
const CliRegistrar
    kWriteStatus({"write-status", "VALUE " NORVOISP_DEVICE_OPTIONS,
                  "Write VALUE (0-255: 140, 0x8C or 8Ch) to the status register of a 25C device: "
                  "bit 7 write-protect-pin enable, bits 3-2 block protection.",
                  RunWriteStatus});

} // namespace
