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

// Runs Work(Unit, Out, Err, Result) in one child process per unit; each
// reports its result object through Result and returns its exit code.
// Returns 0 when every unit returned 0, otherwise 1.
int RunGang(const std::string& Command, const std::vector<TGangUnit>& Units, bool Json,
            const std::function<int(const TGangUnit& Unit, std::ostream& Out, std::ostream& Err,
                                    const std::function<void(const nlohmann::ordered_json&)>& Result)>& Work,
            std::ostream& Out, std::ostream& Err);
