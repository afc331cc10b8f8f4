// norvoisp-cli program: load a data file (a recognised text format, else binary), write the
// part's serial number into it, program the device, verify, and log the
// part. With several --port options, every unit programs its own part at
// the same time.
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"
#include "cli/data_file_load.h"
#include "cli/gang_run.h"
#include "cli/production_options.h"
#include "cli/unit_run.h"
#include "formats/data_file_io.h"

#include <sstream>

namespace {

int RunProgram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions(ProductionValueOptions({"file"})), DeviceFlags({"no-verify"}));
    a.NoPositional();
    a.Required("file");
    const auto ports = a.Values("port");
    if (ports.size() <= 1) return RunProgramUnit(a, TUnitRun{}, out, err);

    // Several units: every usage error, and a file that does not load, is
    // found before any unit starts.
    if (IsStandardStream(a.Required("file")))
        throw CliUsageError("standard input (\"-\") can feed one unit only: give the data in a file");
    if (!IsRegularFile(a.Required("file")) && DataFileExists(a.Required("file")))
        throw CliUsageError(a.Required("file") + " is no regular file (a pipe can feed one unit only): give "
                                                 "the data in a file");
    {
        // Only a failure is reported here; the units load the file again.
        std::ostringstream none;
        TCliSession check(a, a.Has("json") ? out : none, err);
        const TProductionOptions options = ReadProductionOptions(a, check.Device());
        THexList buffer;
        check.SetQuiet();
        if (!check.LoadFile(a.Required("file"), buffer)) return check.Finish("program", EXIT_USAGE);
        std::optional<TLineStation> line; // reached once before any unit starts
        if (!StartLineDb(check, options, line)) return check.Finish("program", EXIT_FAILED);
    }
    std::vector<TGangUnit> units;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j)
            if (ports[j] == ports[i]) throw CliUsageError("port " + ports[i] + " is given twice");
        units.push_back({static_cast<int>(i + 1), ports[i]});
    }
    return RunGang(
        "program", units, a.Has("json"),
        [&a](const TGangUnit& u, std::ostream& o, std::ostream& e, const TGangReport& report) {
            return RunProgramUnit(a, TUnitRun{u.Unit, u.Port, report.Result, report.Pending}, o, e);
        },
        [](const TGangUnit&, const nlohmann::ordered_json& pending, const std::string& ended,
           double seconds) { return UnitLost(pending, ended, seconds); },
        out, err);
}

const CliRegistrar kProgram(
    {"program", "--file FILE " NORVOISP_DEVICE_OPTIONS " [--no-verify] " NORVOISP_PRODUCTION_OPTIONS,
     "Program the device from FILE (a recognised text format, otherwise binary), then verify it unless "
     "--no-verify, and print the image's checksums. --serial-* writes a serial number into every part "
     "(most significant byte first), --serial-file keeps the next one in a state file so no number is "
     "ever handed out twice, --log appends one JSON line per part. --line-db shares the numbers of a series "
     "(--serial-series) among the stations of a line, leased --serial-lease at a time into the "
     "--serial-file, and uploads every record of the log to the line database. Several --port options "
     "program one "
     "part on each unit at the same time, in a process per unit, and end with a summary table; the exit "
     "code is 0 only when every unit passed.",
     RunProgram});

} // namespace
