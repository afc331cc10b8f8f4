// One part on one unit, as norvoisp-cli program does it: load the file,
// open the programmer, take the part's serial number and write it into the
// buffer, program, verify, and append the part's record to the
// traceability log.
#pragma once

#include "cli/cli_args.h"
#include "cli/production_options.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <iosfwd>
#include <string>

struct TUnitRun {
    int Unit = 0;     // 1, 2, ... in a run over several units; 0 alone
    std::string Port; // replaces --port when not empty
    // Receives the result object instead of standard output (a unit of a
    // run over several reports to its parent).
    std::function<void(const nlohmann::ordered_json&)> ResultSink;
};

// Returns the exit code.
int RunProgramUnit(const CliArgs& Args, const TUnitRun& Run, std::ostream& Out, std::ostream& Err);
