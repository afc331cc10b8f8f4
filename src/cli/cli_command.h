// Subcommands of norvoisp-cli. Each cmd_*.cpp registers one or more with a
// static CliRegistrar; main() dispatches on the first argument.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

enum CliExit : int {
    EXIT_OK = 0,     // the operation succeeded
    EXIT_FAILED = 1, // the operation failed (link, unit, verify, save, ...)
    EXIT_USAGE = 2,  // bad usage or unreadable input
};

struct CliCommand {
    const char* Name;
    const char* Usage;   // argument synopsis after the name
    const char* Summary; // one line for --help
    int (*Run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

std::vector<CliCommand>& CliCommands();

struct CliRegistrar {
    explicit CliRegistrar(const CliCommand& c) { CliCommands().push_back(c); }
};

// Runs the command line (argv without the program name); returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
