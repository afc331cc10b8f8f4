// What the production records cost per part: the checksums of a whole
// device image, appending one record to the traceability log (one write and
// an fsync), and taking one serial number from the state file (flock,
// temporary file, fsync, rename, folder fsync). Run in the build folder; the
// files go to $TMPDIR (the figures are the disk's).
#include "buffer/checksums.h"
#include "production/serial_allocator.h"
#include "production/trace_log.h"
#include "production/trace_record.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "norvoisp-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return pattern;
}

void BM_Checksums(benchmark::State& state) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(state.range(0)));
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputeChecksums(image));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Checksums)->Arg(256)->Arg(32768)->Arg(131072);

void BM_LogRecord(benchmark::State& state) {
    const std::string dir = TempFolder();
    TTraceLog log(dir + "/line.jsonl");
    TTraceRecord r;
    r.Time = "2024-05-17T14:03:21.457+02:00";
    r.Host = "bench";
    r.Device = "24C256";
    r.Steps = {"open", "program", "verify"};
    r.Image = ComputeChecksums(std::vector<std::uint8_t>(32768, 0xFF));
    r.Passed = true;
    const auto record = TraceRecordJson(r);
    for (auto _ : state)
        log.Append(record);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LogRecord)->Unit(benchmark::kMicrosecond);

void BM_SerialNumber(benchmark::State& state) {
    const std::string dir = TempFolder();
    TSerialAllocator serials(1, 1, 0xFFFFFFFF, dir + "/serial.state");
    for (auto _ : state)
        benchmark::DoNotOptimize(serials.Next());
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SerialNumber)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
