#include "cli/cli_command.h"

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "kinds/kind_table.h"

#include <algorithm>
#include <ostream>

#ifndef NORVOISP_VERSION
#define NORVOISP_VERSION "0.0.0.0"
#endif

std::vector<CliCommand>& CliCommands() {
    static std::vector<CliCommand> commands;
    return commands;
}

namespace {

void PrintHelp(std::ostream& out) {
    out << "Usage: norvoisp-cli <command> [options]\n"
           "In-system programmer for 24C (I2C), 25C (SPI) and 93C (Microwire) serial EEPROMs.\n\n"
           "Commands:\n";
    auto commands = CliCommands();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand& a, const CliCommand& b) { return std::string(a.Name) < b.Name; });
    for (const auto& c : commands)
        out << "  " << c.Name << " " << c.Usage << "\n      " << c.Summary << "\n";
    out << "\nHardware kinds for --hardware (norvoisp-cli hardware says more):\n";
    for (const THardwareKind* kind : KindTable())
        if (kind->Visible)
            out << "  \"" << kind->Name << "\"" << (kind == &CommandLineDefaultKind() ? " (default)" : "")
                << "\n";
    out << "\nOptions:\n  --help       this text\n  --version    the program's version\n\n"
           "Programmer unit (\"Norvo ISP (COM)\", \"Norvo ISP (LPT)\"):\n"
           "  --clock fast    I2C fast mode, 400 kHz (for 400 kHz parts: 100 kHz parts need\n"
           "                  --clock medium); SPI 2 MHz; Microwire 250 kHz\n"
           "  --clock medium  I2C 100 kHz (standard mode), SPI 1 MHz, Microwire 50 kHz\n"
           "  --clock slow    10 kHz on I2C and Microwire, SPI 125 kHz (long wires)\n"
           "  --baud N        the fastest serial rate asked of a unit with the fast link\n"
           "                  (1000000 or 2000000; 115200: none); default the fastest that answers\n\n"
           "Exit codes: 0 success, 1 the operation failed, 2 bad usage or unreadable input.\n"
           "With --json, the device commands and checksum print one JSON object a line on standard\n"
           "output: {\"type\":\"status\",\"level\":\"busy|ok|warning|info\",\"text\":...} per status line,\n"
           "then "
           "{\"type\":\"result\",\"command\":...,\"device\":...,\"result\":\"passed|failed|usage-error\",\n"
           "\"exit_code\":N,\"checksums\":{...},\"counts\":{...},\"duration_s\":X,...}.\n";
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        PrintHelp(err);
        return EXIT_USAGE;
    }
    const std::string& first = args.front();
    if (first == "--help" || first == "-h" || first == "help") {
        PrintHelp(out);
        return EXIT_OK;
    }
    if (first == "--version") {
        out << "norvoisp-cli " << NORVOISP_VERSION << "\n";
        return EXIT_OK;
    }
    for (const auto& c : CliCommands()) {
        if (first != c.Name) continue;
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
            out << "Usage: norvoisp-cli " << c.Name << " " << c.Usage << "\n" << c.Summary << "\n";
            return EXIT_OK;
        }
        try {
            return c.Run(rest, out, err);
        } catch (const CliUsageError& e) {
            err << "norvoisp-cli " << c.Name << ": " << e.what() << "\n"
                << "Usage: norvoisp-cli " << c.Name << " " << c.Usage << "\n";
            if (std::find(rest.begin(), rest.end(), "--json") != rest.end())
                out << JsonLine({{"type", "result"},
                                 {"command", c.Name},
                                 {"result", "usage-error"},
                                 {"exit_code", EXIT_USAGE},
                                 {"failure", e.what()}})
                    << std::endl;
            return EXIT_USAGE;
        }
    }
    err << "norvoisp-cli: unknown command \"" << first << "\" (try --help)\n";
    return EXIT_USAGE;
}
