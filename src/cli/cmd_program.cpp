// norvoisp-cli program: load a data file as the main window does, program
// the device from it, then verify.
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"
#include "cli/data_file_load.h"

namespace {

int RunProgram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions({"file"}), DeviceFlags({"no-verify"}));
    a.NoPositional();
    const std::string file = a.Required("file");
    // "-" reads the data from standard input; the status lines go to standard error then.
    TDeviceSession session(a, IsStandardStream(file) ? err : out, err);
    THexList buffer;
    if (!session.LoadFile(file, buffer)) return EXIT_USAGE;
    if (!session.Open()) return EXIT_FAILED;
    session.HandOverOrganisation();
    bool ok = session.Operation("EEPROM: Programming", "EEPROM: Programming Complete",
                                [&] { session.Driver().ProgramFlash(buffer); });
    if (ok && !a.Has("no-verify")) ok = session.Verify(buffer);
    ok = session.Close() && ok;
    return ok ? EXIT_OK : EXIT_FAILED;
}

const CliRegistrar
    kProgram({"program", "--file FILE " NORVOISP_DEVICE_OPTIONS " [--no-verify]",
              "Program the device from FILE (a recognised text format, otherwise binary; \"-\" is "
              "standard input), then verify it unless --no-verify.",
              RunProgram});

} // namespace
