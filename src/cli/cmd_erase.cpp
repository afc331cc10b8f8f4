// norvoisp-cli erase: erase the whole device.
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"

namespace {

int RunErase(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions(), DeviceFlags());
    a.NoPositional();
    TCliSession session(a, out, err);
    if (!session.Open()) return session.Finish("erase", EXIT_FAILED);
    bool ok = session.Operation("Erase: Erasing Device", "Erase: Complete",
                                [&] { session.Driver().EraseDevice(); });
    ok = session.Close() && ok;
    return session.Finish("erase", ok ? EXIT_OK : EXIT_FAILED);
}

const CliRegistrar
    kErase({"erase", NORVOISP_DEVICE_OPTIONS,
            "Erase the whole device (24C and 25C: every byte programmed to FFh; 93C: erase all).", RunErase});

} // namespace
