// The clock of every bus at every speed class is the one bus_clocks.h (and
// the docs, from it) names, measured on the simulated pins: inside a byte
// never faster, and typically no more than 5 % slower.
#include "bus_clocks.h"
#include "firmware_rig.h"
#include "programmer/unit/smart_dongle.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using BusClocks::TSpeed;

struct TClockCase {
    const char* Device;
    TSpeed Speed;
};

class FirmwareClocks : public ::testing::TestWithParam<TClockCase> {};

TEST_P(FirmwareClocks, RunAtTheNamedClock) {
    const TClockCase c = GetParam();
    static const int kSetting[] = {1, 16, 32};
    TFirmwareRig rig(c.Device);
    rig.Settings.SetSetting("NORVO ISP (COM)", "Clockspeed", ss_global,
                            std::int32_t{kSetting[static_cast<int>(c.Speed)]});
    rig.Driver.WriteTiming(16); // the 93C models are x16 unless told
    rig.Driver.HardwareOpen();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i * 7); });
    rig.Driver.ProgramFlash(rig.Buffer);
    rig.Driver.VerifyFlash(rig.Buffer);

    const TPeriodMeter* meter = nullptr;
    std::uint32_t hz = 0;
    switch (rig.Chip().Family()) {
    case FAMILY_24C:
        meter = &rig.Unit.I2CPins().Clock();
        hz = BusClocks::I2CHz(c.Speed);
        break;
    case FAMILY_25C:
        meter = &rig.Unit.SpiPins().Clock();
        hz = BusClocks::SpiHz(c.Speed);
        break;
    default:
        meter = &rig.Unit.MicrowirePins().Clock();
        hz = BusClocks::MicrowireHz(c.Speed);
        break;
    }
    const double period = 1e9 / hz;
    const double median = static_cast<double>(meter->Median().count());
    const double shortest = static_cast<double>(meter->Shortest().count());
    std::printf("%s class %d: %.0f ns named, median %.0f ns, shortest %.0f ns (%llu periods)\n", c.Device,
                static_cast<int>(c.Speed), period, median, shortest,
                static_cast<unsigned long long>(meter->Count()));
    ASSERT_GT(meter->Count(), 100u);
    EXPECT_GE(shortest, period - 10); // the meter's 10 ns steps
    EXPECT_LE(median, period * 1.05);
}

INSTANTIATE_TEST_SUITE_P(
    Classes, FirmwareClocks,
    ::testing::Values(TClockCase{"24C02", TSpeed::Fast}, TClockCase{"24C02", TSpeed::Medium},
                      TClockCase{"24C02", TSpeed::Slow}, TClockCase{"25C040", TSpeed::Fast},
                      TClockCase{"25C040", TSpeed::Medium}, TClockCase{"25C040", TSpeed::Slow},
                      TClockCase{"93C46", TSpeed::Fast}, TClockCase{"93C46", TSpeed::Medium},
                      TClockCase{"93C46", TSpeed::Slow}),
    [](const auto& Param) {
        return std::string(Param.param.Device) + "Class" +
               std::to_string(static_cast<int>(Param.param.Speed));
    });

} // namespace
