// The parallel link on the simulated printer port, the unit plugged in. Every
// port access is one I/O cycle of 1 us on the unit's clock (an ISA-speed
// port); the simulated unit answers each handshake step at once, so the
// figures are the link's own cost, without any firmware latency.
//
//  Byte/ToUnit, Byte/FromUnit: one command letter "v" sent, its five reply
//    bytes ("000A" and CR) received. Counters: port accesses (reads, writes)
//    per byte and microseconds per byte. Time is simulated time per byte.
//  Program/24C256, Verify/24C256: the whole device through the parallel
//    driver with the catalogue write delay (5 ms per 64-byte page). Counters:
//    link bytes, port accesses, link_s (accesses x 1 us), delay_s (the write
//    delays the unit waits). Time is simulated time.
#include "catalogue/device_list.h"
#include "chips/chip_factory.h"
#include "programmer/unit/smart_parallel.h"
#include "settings/settings_store.h"
#include "sim_kinds/sim_parallel_port.h"

#include <benchmark/benchmark.h>

namespace {

struct TBench {
    explicit TBench(const char* DeviceName) {
        auto port = std::make_unique<TSimParallelPort>();
        Port = port.get();
        SmartDongle::Port = std::move(port);
        Device = DeviceList().GetNewDeviceInstance(DeviceName, TProgrammerSupport{pk_eisp});
        Port->Unit().InsertChip(MakeChip(DeviceName));
        Driver.SetHardwareName("NORVO ISP (LPT)");
        Driver.SetSaveLocation(&Settings);
        Driver.SetDevice(Device);
        Driver.SetClock(&Port->Clock());
        SmartDongle::PageSize = Device->PageSize();
        Driver.HardwareOpen();
        Buffer.SetSizeof(static_cast<std::uint32_t>(Device->FlashSize()));
        for (std::uint32_t i = 0; i < Buffer.Size(); ++i)
            Buffer.HexData[i] = static_cast<std::uint8_t>(i * 29 + (i >> 9));
    }
    ~TBench() {
        Driver.HardwareClose();
        SmartDongle::Port.reset();
    }
    double Seconds() const { return Port->Unit().Clock().Seconds(); }

    TSimParallelPort* Port = nullptr;
    TDevice* Device = nullptr;
    TISPSettings Settings;
    TSmartParallel Driver;
    THexList Buffer;
};

void ByteToUnit(benchmark::State& State) {
    TBench b("24C02");
    TSimLptIo& io = b.Port->Io();
    std::uint64_t reads = 0, writes = 0;
    double seconds = 0;
    for (auto _ : State) {
        const std::uint64_t r = io.Reads(), w = io.Writes();
        const double t = b.Seconds();
        b.Driver.Writedata('v');
        seconds += b.Seconds() - t;
        State.SetIterationTime(b.Seconds() - t);
        reads += io.Reads() - r;
        writes += io.Writes() - w;
        for (int i = 0; i < 5; ++i) // the reply, outside the measurement
            b.Driver.ReadData(false);
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["accesses/byte"] = static_cast<double>(reads + writes) / n;
    State.counters["reads/byte"] = static_cast<double>(reads) / n;
    State.counters["writes/byte"] = static_cast<double>(writes) / n;
    State.counters["us/byte"] = seconds * 1e6 / n;
}

void ByteFromUnit(benchmark::State& State) {
    TBench b("24C02");
    TSimLptIo& io = b.Port->Io();
    std::uint64_t reads = 0, writes = 0, bytes = 0;
    double seconds = 0;
    for (auto _ : State) {
        b.Driver.Writedata('v');
        const std::uint64_t r = io.Reads(), w = io.Writes();
        const double t = b.Seconds();
        for (int i = 0; i < 5; ++i)
            b.Driver.ReadData(false);
        State.SetIterationTime((b.Seconds() - t) / 5);
        seconds += b.Seconds() - t;
        reads += io.Reads() - r;
        writes += io.Writes() - w;
        bytes += 5;
    }
    const double n = static_cast<double>(bytes);
    State.counters["accesses/byte"] = static_cast<double>(reads + writes) / n;
    State.counters["reads/byte"] = static_cast<double>(reads) / n;
    State.counters["writes/byte"] = static_cast<double>(writes) / n;
    State.counters["us/byte"] = seconds * 1e6 / n;
}

void Whole(benchmark::State& State, bool Program) {
    TBench b("24C256");
    if (!Program) b.Driver.ProgramFlash(b.Buffer);
    TSimLptIo& io = b.Port->Io();
    TTranscript& transcript = b.Port->Unit().Transcript();
    transcript.SetKeep(true);
    double seconds = 0, accesses = 0, bytes = 0;
    for (auto _ : State) {
        transcript.Clear();
        const std::uint64_t a = io.Accesses();
        const double t = b.Seconds();
        if (Program)
            b.Driver.ProgramFlash(b.Buffer);
        else
            b.Driver.VerifyFlash(b.Buffer);
        State.SetIterationTime(b.Seconds() - t);
        seconds += b.Seconds() - t;
        accesses += static_cast<double>(io.Accesses() - a);
        bytes += static_cast<double>(transcript.AllSent().size() + transcript.AllReceived().size());
    }
    const double n = static_cast<double>(State.iterations());
    const int pages = b.Device->FlashSize() / b.Device->PageSize();
    State.counters["sim_s"] = seconds / n;
    State.counters["link_bytes"] = bytes / n;
    State.counters["accesses"] = accesses / n;
    State.counters["link_s"] = accesses / n * 1e-6;
    State.counters["delay_s"] = Program ? pages * b.Device->EEPROMTime() / 1000.0 : 0.0;
    State.counters["accesses/byte"] = accesses / bytes;
}

BENCHMARK(ByteToUnit)->Name("Byte/ToUnit")->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(ByteFromUnit)
    ->Name("Byte/FromUnit")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000);
BENCHMARK_CAPTURE(Whole, Program, true)
    ->Name("Program/24C256")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(Whole, Verify, false)
    ->Name("Verify/24C256")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
