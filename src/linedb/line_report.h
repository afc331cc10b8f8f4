// The line's figures from the line database: parts passed and failed per
// station and device, the yield, the failures with their texts, and the
// serial numbers used (and the gaps) as ranges. Reads only: a read-only
// role is enough.
#pragma once

#include "linedb/pg_connection.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

struct TLineReportFilter {
    std::optional<std::string> Since;   // a date and time PostgreSQL reads ("2026-12-11", "2026-12-11 08:00")
    std::optional<std::string> Station; // one station only
};

// {"parts_passed":N,"parts_failed":N,"yield":X or null,
//  "stations":[{"station":S,"passed":N,"failed":N,"yield":X,
//               "devices":[{"device":D,"passed":N,"failed":N,"yield":X}]}],
//  "failures":[{"station":S,"seq":N,"unit":N,"time":T,"device":D,"serial":N or null,"failure":TEXT}],
//  "serials_used":[{"series":S,"first":N,"last":N,"count":N}],
//  "serial_gaps":[{"series":S,"first":N,"last":N,"count":N}]}
// Yield is passed / (passed + failed). Raises EISPException when Since is
// no date and time or the tables are not there; ELineDbError otherwise.
nlohmann::ordered_json LineReport(TPgConnection& Db, const TLineReportFilter& Filter);

// The report as text for the operator.
std::string LineReportText(const nlohmann::ordered_json& Report);
