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
#include <optional>
#include <string>

struct TUnitRun {
    int Unit = 0;     // 1, 2, ... in a run over several units; 0 alone
    std::string Port; // replaces --port when not empty
    // Receives the result object instead of standard output (a unit of a
    // run over several reports to its parent).
    std::function<void(const nlohmann::ordered_json&)> ResultSink;
    // Receives the part's record as it stands whenever it changes, as
    // {"log": FILE or null, "record": {...}}, and null once the record is
    // logged: should this process end before that, the parent completes and
    // logs it (UnitLost).
    std::function<void(const nlohmann::ordered_json&)> PendingSink;
};

class TCliSession;

// The line database of Options, when there is one, reached into Line before
// anything is programmed. False after the failure is reported when it
// refuses the station, or cannot be reached and the station cannot go on
// without it; a warning when it goes on.
bool StartLineDb(TCliSession& Session, const TProductionOptions& Options, std::optional<TLineStation>& Line);

// Returns the exit code.
int RunProgramUnit(const CliArgs& Args, const TUnitRun& Run, std::ostream& Out, std::ostream& Err);

// The result of a unit whose process ended (Ended: "ended by signal 9")
// without one, after Seconds: its pending record, when it sent one, is
// completed as failed and appended to its log, so that no part (and no
// serial number) goes unrecorded.
nlohmann::ordered_json UnitLost(const nlohmann::ordered_json& Pending, const std::string& Ended,
                                double Seconds);
