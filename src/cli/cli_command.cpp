#include "cli/cli_command.h"

#include "cli/cli_args.h"

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
    out << "\nOptions:\n  --help       this text\n  --version    the program's version\n\n"
           "Exit codes: 0 success, 1 the operation failed, 2 bad usage or unreadable input.\n";
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
            return EXIT_USAGE;
        }
    }
    err << "norvoisp-cli: unknown command \"" << first << "\" (try --help)\n";
    return EXIT_USAGE;
}
