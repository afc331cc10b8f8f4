// norvoisp-cli verify: compare the device with a data file.
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"

namespace {

int RunVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions({"file"}), DeviceFlags());
    if (!a.Positional().empty())
        throw CliUsageError("unexpected argument \"" + a.Positional().front() + "\"");
    if (!a.Has("file")) throw CliUsageError("option --file is required");
    TDeviceSession session(a, out, err);
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(session.Device().FlashSize()));
    if (!session.LoadFile(*a.Value("file"), buffer)) return EXIT_USAGE;
    if (!session.Open()) return EXIT_FAILED;
    session.HandOverOrganisation();
    bool ok = session.Operation("EEPROM: Verifying", "EEPROM: Verify Complete",
                                [&] { session.Driver().VerifyFlash(buffer); });
    ok = session.Close() && ok;
    return ok ? EXIT_OK : EXIT_FAILED;
}

const CliRegistrar kVerify({"verify", "--file FILE " NORVOISP_DEVICE_OPTIONS,
                            "Compare the whole device with FILE; every differing byte is listed.",
                            RunVerify});

} // namespace
