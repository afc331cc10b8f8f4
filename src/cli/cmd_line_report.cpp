// norvoisp-cli line-report: the line's figures from the line database
// (per station and device, the failures, the serial numbers used).
#include "cli/cli_args.h"
#include "cli/cli_command.h"
#include "cli/cli_output.h"
#include "linedb/line_report.h"
#include "linedb/line_station.h"

#include <ostream>

namespace {

int RunLineReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, {"line-db", "since", "station"}, {"json"});
    a.NoPositional();
    std::optional<std::string> url = a.Value("line-db");
    if (!url) url = LineDbFromEnvironment();
    if (!url || url->empty()) throw CliUsageError("option --line-db needs a connection string or URL");
    if (const auto station = a.Value("station")) {
        try {
            CheckLineName("The station", *station);
        } catch (const EISPException& e) {
            throw CliUsageError(e.Message());
        }
    }
    const bool json = a.Has("json");
    try {
        TPgConnection db(*url);
        const auto report = LineReport(db, {a.Value("since"), a.Value("station")});
        if (json)
            out << JsonLine(report) << std::endl;
        else
            out << LineReportText(report) << std::flush;
        return EXIT_OK;
    } catch (const Exception& e) {
        err << "Error: " << e.Message() << "\n";
        if (json)
            out << JsonLine({{"type", "result"},
                             {"command", "line-report"},
                             {"result", "failed"},
                             {"exit_code", EXIT_FAILED},
                             {"failure", e.Message()}})
                << std::endl;
        return EXIT_FAILED;
    }
}

const CliRegistrar kLineReport(
    {"line-report", "[--line-db URL] [--since TIME] [--station NAME] [--json]",
     "Report the production line from the line database (--line-db, default $NORVOISP_LINE_DB): parts passed "
     "and failed per station and device with the yield, the failures with their texts, and the serial "
     "numbers used and lost as ranges; --since a date and time (2026-12-11, \"2026-12-11 08:00\"), --station "
     "one station only. --json prints one object with parts_passed, parts_failed, stations, failures, "
     "serials_used and serial_gaps. A read-only role is enough.",
     RunLineReport});

} // namespace
