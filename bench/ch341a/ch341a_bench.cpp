// The CH341A kind on its emulated board, timed on the board's clock: one USB
// round trip (1 ms) per exchange and a packet slot for each further reply
// packet, the bus bits at the chosen speed, the chips' own write cycles (the
// catalogue's write times).
//
//  ProgramVerify/<device>:  program, then verify. Counters: program_s and
//    verify_s (modelled), round_trips, in_packets (bulk IN packets), bus_s
//    (the time the pins were busy),
//    write_s (the chips' write cycles), bound_s = bus_s + write_s (what no
//    programmer on this bus can beat), model/bound, wall_ms (real time of
//    the whole run in this process).
//  Read/<device>:  a read of the whole device, same counters.
//
// Targets: 24C256 program + verify at 400 kHz under 6 s of modelled time;
// 93C86 (x16) read under 2 s.
#include "catalogue/device_list.h"
#include "programmer/ch341a/ch341a_driver.h"
#include "programmer/driver_module.h"
#include "settings/settings_store.h"
#include "sim_kinds/sim_ch341_bus.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

struct TCase {
    const char* Device;
    int Organisation;
    bool Program; // program + verify, or read only
};

const TCase kCases[] = {
    {"24C256", 16, true},  {"24C1024", 16, true}, {"25C256", 16, true},
    {"25HP512", 16, true}, {"93C86", 16, true},   {"93C86", 16, false},
};

void Run(benchmark::State& State, TCase c) {
    TISPSettings settings;
    settings.SetSetting("CH341A (USB)", "I2CSpeed", ss_global, std::int32_t{400});
    TCh341A driver(nullptr);
    auto bus = std::make_unique<TSimCh341Bus>(driver, TSimOptions{});
    TSimCh341Bus& board = *bus;
    driver.SetUsbBus(std::move(bus));
    TDevice* device = DeviceList().GetNewDeviceInstance(c.Device, TProgrammerSupport{pk_usb});
    driver.SetHardwareName("CH341A (USB)");
    driver.SetSaveLocation(&settings);
    driver.SetDevice(device);
    driver.WriteTiming(static_cast<std::uint8_t>(c.Organisation));
    SmartDongle::PageSize = device->PageSize();
    driver.HardwareOpen();
    board.EnsureChip();
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(device->FlashSize()));
    for (std::uint32_t i = 0; i < buffer.Size(); ++i)
        buffer.HexData[i] = static_cast<std::uint8_t>(i * 29 + (i >> 9));
    if (!c.Program) board.Emulator().Chip()->Memory() = buffer.HexData;

    TCh341Emulator& e = board.Emulator();
    const auto seconds = [](TSimDuration d) { return std::chrono::duration<double>(d).count(); };
    double program = 0, verify = 0, trips = 0, packets = 0, busTime = 0, writeTime = 0, wall = 0;
    for (auto _ : State) {
        const auto wall0 = std::chrono::steady_clock::now();
        const TCh341Stats s0 = e.Stats();
        const std::uint64_t cycles0 = e.Chip()->WriteCycles();
        const double t0 = e.Clock().Seconds();
        if (c.Program) driver.ProgramFlash(buffer);
        const double t1 = e.Clock().Seconds();
        if (c.Program)
            driver.VerifyFlash(buffer);
        else
            driver.ReadFlash(buffer);
        const double t2 = e.Clock().Seconds();
        State.SetIterationTime(t2 - t0);
        program += t1 - t0;
        verify += t2 - t1;
        trips += static_cast<double>(e.Stats().RoundTrips - s0.RoundTrips);
        packets += static_cast<double>(e.Stats().InTransfers - s0.InTransfers);
        busTime += seconds(e.Stats().BusTime - s0.BusTime);
        writeTime += static_cast<double>(e.Chip()->WriteCycles() - cycles0) * seconds(e.Chip()->WriteTime());
        wall += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count();
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["program_s"] = program / n;
    State.counters[c.Program ? "verify_s" : "read_s"] = verify / n;
    State.counters["round_trips"] = trips / n;
    State.counters["in_packets"] = packets / n;
    State.counters["bus_s"] = busTime / n;
    State.counters["write_s"] = writeTime / n;
    State.counters["bound_s"] = (busTime + writeTime) / n;
    State.counters["model/bound"] = (program + verify) / (busTime + writeTime);
    State.counters["wall_ms"] = wall / n;
    driver.HardwareClose();
}

const bool kRegistered = [] {
    for (const auto& c : kCases) {
        const std::string name = std::string(c.Program ? "ProgramVerify/" : "Read/") + c.Device +
                                 (c.Organisation == 8  ? "x8"
                                  : c.Device[0] == '9' ? "x16"
                                                       : "");
        benchmark::RegisterBenchmark(name.c_str(), Run, c)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(1);
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
