// Several units at once: one child process per unit, so each has its own
// driver state (the driver module's page size, clock speed and printer port
// are per process) and a slow, hanging or failing unit never holds up
// another. The parent passes every line of every unit on as it comes, each
// with the unit's prefix ("[2 /dev/ttyUSB1] " as text; JSON objects carry
// "unit" and "port" themselves), and prints a summary table (as text) or
// one result object with every unit's result (--json) at the end.
#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

struct TGangUnit {
    int Unit;
    std::string Port;
};

// What a unit's process reports to the parent besides its lines.
struct TGangReport {
    // The unit's result object, once, at its end.
    std::function<void(const nlohmann::ordered_json&)> Result;
    // What the parent is to make of the unit should its process end without
    // a result (killed, crashed), replacing what was sent before; null once
    // nothing is left to do (its part is logged).
    std::function<void(const nlohmann::ordered_json&)> Pending;
};

using TGangWork = std::function<int(const TGangUnit& Unit, std::ostream& Out, std::ostream& Err,
                                    const TGangReport& Report)>;
// The result object of a unit whose process ended without one: Pending is
// the last the unit sent (null when none), Ended how the process ended
// ("ended by signal 9"), Seconds the time since the run began.
using TGangLost = std::function<nlohmann::ordered_json(
    const TGangUnit& Unit, const nlohmann::ordered_json& Pending, const std::string& Ended, double Seconds)>;

// Runs Work(Unit, Out, Err, Report) in one child process per unit; each
// reports its result object through Report.Result and returns its exit
// code. A stop signal (Ctrl+C, SIGTERM, SIGHUP) to this process is passed on
// to every unit, which stops between two commands and reports; this process
// stays to collect the results. Returns 0 when every unit returned 0,
// otherwise 1.
int RunGang(const std::string& Command, const std::vector<TGangUnit>& Units, bool Json, const TGangWork& Work,
            const TGangLost& Lost, std::ostream& Out, std::ostream& Err);
