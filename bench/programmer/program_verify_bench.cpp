// Program + verify of 24C256, 24C1024, 25HP512 and 93C86 (x16):
//
//  Pty/<device>:  the serial driver through a real pseudo-terminal to the
//    pty tool, no pauses (the open's line sequence and the Microwire 10 ms
//    are skipped) and no write delay (the tool's unit runs its waits ahead of
//    real time). Time is wall time; counters: system calls of the serial line
//    per command, commands, low-latency mode.
//  Virtual/<device>:  the simulated kind on the unit's virtual clock at
//    115 200 baud with the catalogue write delays. Time is simulated time;
//    counters: bound_s = wire bytes / 11 520 + the write delays the protocol
//    must wait, wire_bytes, and sim/bound.
//  Read/<device>/compared, Read/<device>/single:  a whole-device read on the
//    same virtual clock, every block read twice and compared (the default)
//    or once (--single-read). Time is simulated time of the read; counters:
//    open_s (the open before it, as norvoisp-cli read does one) and
//    command_s (open + read: the whole command).
#include "catalogue/device_list.h"
#include "programmer/unit/smart_serial.h"
#include "settings/settings_store.h"
#include "sim_kinds/smart_sim.h"
#include "unit_process.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

struct TCase {
    const char* Device;
    int Organisation;
};

const TCase kCases[] = {{"24C256", 16}, {"24C1024", 16}, {"25HP512", 16}, {"93C86", 16}};

TDevice* Device(const char* Name) {
    return DeviceList().GetNewDeviceInstance(Name, TProgrammerSupport{pk_eisp});
}

void Fill(THexList& Buffer) {
    for (std::uint32_t i = 0; i < Buffer.Size(); ++i)
        Buffer.HexData[i] = static_cast<std::uint8_t>(i * 29 + (i >> 9));
}

class TNoPauseClock : public TLinkClock {
  public:
    TLinkTime Now() override { return SystemLinkClock().Now(); }
    void Sleep(TLinkDuration) override {}
};

// The simulated kind set up for a case, not yet open.
struct TSimBench {
    TSimBench(const TCase& c, const TSimOptions& Options) : Sim(Options), Dev(Device(c.Device)) {
        Sim.SetSaveLocation(&Settings);
        Sim.SetDevice(Dev);
        Sim.WriteTiming(static_cast<std::uint8_t>(c.Organisation));
        SmartDongle::PageSize = Dev->PageSize();
    }
    TISPSettings Settings;
    TSmartSim Sim;
    TDevice* Dev;
};

// Commands of one program + verify, counted on the in-process unit.
std::uint64_t CommandsOf(const TCase& c) {
    TSimOptions options;
    options.BaudRate = 0;
    TSimBench bench(c, options);
    TSmartSim& sim = bench.Sim;
    TDevice* device = bench.Dev;
    sim.HardwareOpen();
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(device->FlashSize()));
    Fill(buffer);
    const std::uint64_t before = sim.Unit().CommandCount();
    sim.ProgramFlash(buffer);
    sim.VerifyFlash(buffer);
    return sim.Unit().CommandCount() - before;
}

void Pty(benchmark::State& State, TCase c) {
    TUnitProcess unit({"--chip", c.Device, "--write-time", "0"});
    TISPSettings settings;
    settings.SetSetting("COMPORTS", "COM1", ss_global, unit.Path());
    TDevice* device = Device(c.Device);
    TNoPauseClock clock;
    TSmartSerial driver;
    driver.SetHardwareName("NORVO ISP (COM)");
    driver.SetSaveLocation(&settings);
    driver.SetDevice(device);
    driver.SetClock(&clock);
    driver.WriteTiming(static_cast<std::uint8_t>(c.Organisation));
    SmartDongle::PageSize = device->PageSize();
    driver.HardwareOpen();
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(device->FlashSize()));
    Fill(buffer);
    const std::uint64_t commands = CommandsOf(c);
    std::uint64_t calls = 0;
    for (auto _ : State) {
        const auto before = driver.CommDriver()->Stats().Total();
        driver.ProgramFlash(buffer);
        driver.VerifyFlash(buffer);
        calls += driver.CommDriver()->Stats().Total() - before;
    }
    State.counters["commands"] = static_cast<double>(commands);
    State.counters["syscalls/cmd"] =
        static_cast<double>(calls) /
        static_cast<double>(commands * static_cast<std::uint64_t>(State.iterations()));
    State.counters["low_latency"] = driver.CommDriver()->Line()->LowLatency() ? 1 : 0;
    driver.HardwareClose();
}

void Virtual(benchmark::State& State, TCase c) {
    TSimOptions options;
    options.KeepTranscript = true;
    TSimBench bench(c, options);
    TSmartSim& sim = bench.Sim;
    TDevice* device = bench.Dev;
    sim.HardwareOpen();
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(device->FlashSize()));
    Fill(buffer);
    double simulated = 0, bound = 0, wire = 0;
    for (auto _ : State) {
        sim.Unit().Transcript().Clear();
        const double t0 = sim.Link().Clock().Seconds();
        sim.ProgramFlash(buffer);
        sim.VerifyFlash(buffer);
        const double seconds = sim.Link().Clock().Seconds() - t0;
        State.SetIterationTime(seconds);
        const double bytes = static_cast<double>(sim.Unit().Transcript().AllSent().size() +
                                                 sim.Unit().Transcript().AllReceived().size());
        // The waits the protocol itself imposes: the unit's write delay after
        // every page (I2C, SPI), the PC's 10 ms after every Microwire word.
        double delays = 0;
        const int size = device->FlashSize();
        if (device->ProgrammerId() == FAMILY_93C)
            delays = (c.Organisation == 8 ? size : size / 2) * 0.010;
        else
            delays = (size / device->PageSize()) * (device->EEPROMTime() / 1000.0);
        simulated += seconds;
        wire += bytes;
        bound += bytes / 11520.0 + delays;
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["sim_s"] = simulated / n;
    State.counters["bound_s"] = bound / n;
    State.counters["wire_bytes"] = wire / n;
    State.counters["sim/bound"] = simulated / bound;
}

void Read(benchmark::State& State, TCase c, TReadCheck Check) {
    TSimBench bench(c, TSimOptions{});
    TSmartSim& sim = bench.Sim;
    TDevice* device = bench.Dev;
    sim.ReadCheck = Check;
    const double opened = sim.Link().Clock().Seconds();
    sim.HardwareOpen();
    const double open = sim.Link().Clock().Seconds() - opened;
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(device->FlashSize()));
    double simulated = 0;
    for (auto _ : State) {
        const double t0 = sim.Link().Clock().Seconds();
        sim.ReadFlash(buffer);
        const double seconds = sim.Link().Clock().Seconds() - t0;
        State.SetIterationTime(seconds);
        simulated += seconds;
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["sim_s"] = simulated / n;
    State.counters["open_s"] = open;
    State.counters["command_s"] = open + simulated / n;
}

const bool kRegistered = [] {
    for (const auto& c : kCases) {
        benchmark::RegisterBenchmark((std::string("Pty/") + c.Device).c_str(), Pty, c)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
        benchmark::RegisterBenchmark((std::string("Virtual/") + c.Device).c_str(), Virtual, c)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(1);
        for (const auto& [name, check] : {std::pair{"compared", rc_Compared}, std::pair{"single", rc_Single}})
            benchmark::RegisterBenchmark((std::string("Read/") + c.Device + "/" + name).c_str(), Read, c,
                                         check)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime()
                ->Iterations(1);
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
