#include "linedb/line_report.h"

#include "linedb/line_schema.h"

#include <cmath>
#include <cstdio>
#include <iomanip>
#include <map>
#include <sstream>

namespace {

using json = nlohmann::ordered_json;

// The parts the filter selects, as a condition on parts p ($1 since, $2 station).
const char* const kParts = " WHERE ($1::timestamptz IS NULL OR p.part_time >= $1::timestamptz)"
                           " AND ($2::text IS NULL OR p.station = $2) ";

json Yield(long long Passed, long long Failed) {
    if (Passed + Failed == 0) return nullptr;
    return std::round(10000.0 * static_cast<double>(Passed) / static_cast<double>(Passed + Failed)) / 10000.0;
}

json Ranges(const TPgResult& Rows) {
    json ranges = json::array();
    for (int r = 0; r < Rows.Rows(); ++r)
        ranges.push_back({{"series", Rows.Text(r, 0)},
                          {"first", Rows.Int(r, 1)},
                          {"last", Rows.Int(r, 2)},
                          {"count", Rows.Int(r, 3)}});
    return ranges;
}

} // namespace

json LineReport(TPgConnection& Db, const TLineReportFilter& Filter) {
    CheckLineSchema(Db);
    const TPgParams params{Filter.Since, Filter.Station};
    if (Filter.Since) {
        try {
            Db.Exec("SELECT $1::timestamptz", {Filter.Since});
        } catch (const ELineDbError& e) {
            if (e.SqlState().rfind("22", 0) != 0) throw;
            throw EISPException(
                "\"" + *Filter.Since +
                "\" is no date and time (give one such as 2026-12-11 or \"2026-12-11 08:00\")");
        }
    }
    json report;
    long long passed = 0, failed = 0;
    const TPgResult counts =
        Db.Exec(std::string("SELECT p.station, p.device, count(*) FILTER (WHERE p.result = 'passed'), "
                            "count(*) FILTER (WHERE p.result = 'failed') FROM parts p") +
                    kParts + "GROUP BY p.station, p.device ORDER BY p.station, p.device",
                params);
    json stations = json::array();
    for (int r = 0; r < counts.Rows(); ++r) {
        const long long p = counts.Int(r, 2), f = counts.Int(r, 3);
        if (stations.empty() || stations.back()["station"] != counts.Text(r, 0))
            stations.push_back({{"station", counts.Text(r, 0)},
                                {"passed", 0},
                                {"failed", 0},
                                {"yield", nullptr},
                                {"devices", json::array()}});
        json& s = stations.back();
        s["passed"] = s["passed"].get<long long>() + p;
        s["failed"] = s["failed"].get<long long>() + f;
        s["yield"] = Yield(s["passed"].get<long long>(), s["failed"].get<long long>());
        s["devices"].push_back(
            {{"device", counts.Text(r, 1)}, {"passed", p}, {"failed", f}, {"yield", Yield(p, f)}});
        passed += p;
        failed += f;
    }
    report["parts_passed"] = passed;
    report["parts_failed"] = failed;
    report["yield"] = Yield(passed, failed);
    report["stations"] = stations;

    const TPgResult failures = Db.Exec(
        std::string("SELECT p.station, p.seq, p.unit, "
                    "to_char(p.part_time AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), p.device, "
                    "p.serial, coalesce(p.failure, '') FROM parts p") +
            kParts + "AND p.result = 'failed' ORDER BY p.part_time, p.station, p.seq",
        params);
    json list = json::array();
    for (int r = 0; r < failures.Rows(); ++r)
        list.push_back({{"station", failures.Text(r, 0)},
                        {"seq", failures.Int(r, 1)},
                        {"unit", failures.Int(r, 2)},
                        {"time", failures.Text(r, 3)},
                        {"device", failures.Text(r, 4)},
                        {"serial", failures.IsNull(r, 5) ? json() : json(failures.Int(r, 5))},
                        {"failure", failures.Text(r, 6)}});
    report["failures"] = list;

    // Runs of numbers one step apart make one range (gaps and islands).
    report["serials_used"] = Ranges(Db.Exec(
        std::string(
            "WITH u AS (SELECT p.serial_series AS series, p.serial AS number, "
            "p.serial - s.step * row_number() OVER (PARTITION BY p.serial_series ORDER BY p.serial) AS run "
            "FROM parts p JOIN serial_series s ON s.name = p.serial_series") +
            kParts +
            "AND p.serial IS NOT NULL) "
            "SELECT series, min(number), max(number), count(*) FROM u GROUP BY series, run ORDER BY series, "
            "2",
        params));
    report["serial_gaps"] = Ranges(Db.Exec(
        "WITH u AS (SELECT g.series, g.number, "
        "g.number - l.step * row_number() OVER (PARTITION BY g.series, l.id ORDER BY g.number) AS run, l.id "
        "FROM serial_gaps g JOIN serial_leases l ON l.id = g.lease_id "
        "WHERE ($1::timestamptz IS NULL OR g.recorded_at >= $1::timestamptz) AND ($2::text IS NULL OR "
        "l.station = $2)) "
        "SELECT series, min(number), max(number), count(*) FROM u GROUP BY series, id, run ORDER BY series, "
        "2",
        params));
    return report;
}

namespace {

std::string Percent(const json& Yield) {
    if (Yield.is_null()) return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f %%", Yield.get<double>() * 100);
    return text;
}

void RangeLines(std::ostringstream& Out, const json& Ranges) {
    for (const auto& r : Ranges) {
        Out << "  " << r["series"].get<std::string>() << "  " << r["first"].get<long long>();
        if (r["count"].get<long long>() > 1) Out << " .. " << r["last"].get<long long>();
        Out << "  (" << r["count"].get<long long>() << ")\n";
    }
    if (Ranges.empty()) Out << "  none\n";
}

} // namespace

std::string LineReportText(const json& Report) {
    std::ostringstream t;
    std::size_t width = 7;
    for (const auto& s : Report["stations"])
        width = std::max(width, s["station"].get<std::string>().size());
    const int w = static_cast<int>(width);
    t << std::left << std::setw(w) << "Station"
      << "  " << std::setw(12) << "Device"
      << "  Passed  Failed  Yield\n";
    for (const auto& s : Report["stations"])
        for (const auto& d : s["devices"])
            t << std::left << std::setw(w) << s["station"].get<std::string>() << "  " << std::setw(12)
              << d["device"].get<std::string>() << "  " << std::right << std::setw(6)
              << d["passed"].get<long long>() << "  " << std::setw(6) << d["failed"].get<long long>() << "  "
              << Percent(d["yield"]) << "\n";
    t << "Parts: " << Report["parts_passed"].get<long long>() << " passed, "
      << Report["parts_failed"].get<long long>() << " failed, yield " << Percent(Report["yield"]) << "\n";
    t << "Failures:\n";
    for (const auto& f : Report["failures"])
        t << "  " << f["time"].get<std::string>() << "  " << f["station"].get<std::string>() << " unit "
          << f["unit"].get<long long>() << "  " << f["device"].get<std::string>() << "  serial "
          << (f["serial"].is_null() ? std::string("-") : std::to_string(f["serial"].get<long long>())) << "  "
          << f["failure"].get<std::string>() << "\n";
    if (Report["failures"].empty()) t << "  none\n";
    t << "Serial numbers used:\n";
    RangeLines(t, Report["serials_used"]);
    t << "Serial numbers lost (gaps):\n";
    RangeLines(t, Report["serial_gaps"]);
    return t.str();
}
