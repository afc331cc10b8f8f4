// What the line database costs a station: leasing a block of 100 serial
// numbers (one transaction), and the whole per-part overhead with the
// database: the number from the station's lease file (renewed every 100
// parts), the record appended to the log and uploaded with its number.
// Starts its own durable PostgreSQL cluster on a Unix socket (the tests'
// pg_cluster.sh) unless NORVOISP_LINE_DB names a database to use.
#include "linedb/line_station.h"
#include "production/trace_log.h"
#include "production/trace_record.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string GConnection;

std::string TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "norvoisp-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return pattern;
}

const TSerialRange kRange{1, 1, 0xFFFFFFFF};

void BM_LeaseOf100(benchmark::State& state) {
    TLineStation station({GConnection, "bench-lease", "bench-lease", 100});
    station.Open();
    std::optional<TSerialLease> old;
    for (auto _ : state)
        old = station.Lease(kRange, old);
}
BENCHMARK(BM_LeaseOf100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PartOverheadWithLineDb(benchmark::State& state) {
    // Every run a new log, so a station of its own.
    static int run = 0;
    const std::string folder = TempFolder();
    TLineStation station({GConnection, "bench-part-" + std::to_string(++run), "bench-part", 100});
    station.Open();
    TTraceLog log(folder + "/line.jsonl");
    TTraceRecord r;
    r.Time = "2026-12-11T10:00:00+01:00";
    r.Host = "bench";
    r.Program = "norvoisp-cli";
    r.Device = "24C02";
    r.Passed = true;
    r.Steps = {"open", "program", "verify"};
    const bool uploadOnly = state.range(0) == 1;
    for (auto _ : state) {
        if (uploadOnly) state.PauseTiming();
        const TLeasedNumber n = station.NextSerial(folder + "/serial.lease", kRange);
        r.Serial = TTraceSerial{static_cast<std::uint32_t>(n.Value), 0x40, {0, 0, 1}};
        r.SerialSeries = "bench-part";
        r.SerialLease = n.Lease;
        log.Append(TraceRecordJson(r));
        if (uploadOnly) state.ResumeTiming();
        if (station.AfterPart(log.FileName())) state.SkipWithError("the database went away");
    }
    std::filesystem::remove_all(folder);
}
// /0: lease file, log record and upload; /1: the upload alone (what the
// database adds to the file-based production step).
BENCHMARK(BM_PartOverheadWithLineDb)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    std::string state;
    if (const char* db = std::getenv("NORVOISP_LINE_DB")) {
        GConnection = db;
    } else {
        state = TempFolder();
        const std::string cmd =
            "PG_CLUSTER_DURABLE=1 bash '" NORVOISP_PG_CLUSTER_SCRIPT "' start '" + state + "'";
        if (std::system(cmd.c_str()) != 0) return 1;
        std::ifstream in(state + "/station");
        std::getline(in, GConnection);
        GConnection += " dbname=postgres";
        std::ifstream admin(state + "/admin");
        std::string a;
        std::getline(admin, a);
        TPgConnection(a).Exec("GRANT CREATE ON SCHEMA public TO station");
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!state.empty()) {
        const std::string stop = "bash '" NORVOISP_PG_CLUSTER_SCRIPT "' stop '" + state + "'";
        (void)std::system(stop.c_str());
        std::filesystem::remove_all(state);
    }
    return 0;
}
