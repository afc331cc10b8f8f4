// The real serial driver on the real firmware, in process: every family
// programmed, read back and verified, with the pins measured against the
// datasheet limits of each clock speed; the same runs on the simulated unit
// give the same chip contents and the same status lines; erase, the 25C
// status register with block protection, an empty socket, a chip that stays
// busy, the identification, and the open of a stock board that resets on
// DTR.
#include "datasheet_limits.h"
#include "errors/errors.h"
#include "firmware_rig.h"
#include "programmer/unit/smart_dongle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {

using namespace std::chrono_literals;

std::uint8_t Pattern(int i) {
    return static_cast<std::uint8_t>(i * 11 + (i >> 8) + 3);
}

void SetLimits(TAvrUnit& Unit, int ClockSpeed) {
    Unit.I2CPins().SetTiming(ClockSpeed <= 1 ? I2CFastLimits() : I2CStandardLimits());
    Unit.SpiPins().SetTiming(ClockSpeed <= 1 ? SpiFastLimits() : SpiLimits());
    Unit.MicrowirePins().SetTiming(MicrowireLimits());
}

// What a program, read-back, verify and a deliberate difference leave
// behind, on whichever unit.
struct TRun {
    std::vector<std::uint8_t> Chip, ReadBack;
    std::vector<std::string> Lines;
    std::string Difference;
};

template <class TRig> TRun Exercise(TRig& Rig, TSmartSerial& Driver, int Organisation) {
    Driver.WriteTiming(static_cast<std::uint8_t>(Organisation ? Organisation : 16));
    Driver.HardwareOpen();
    Rig.FillBuffer(Pattern);
    Driver.ProgramFlash(Rig.Buffer);
    TRun run;
    THexList back;
    back.SetSizeof(Rig.Buffer.Size());
    Driver.ReadFlash(back);
    run.ReadBack = back.HexData;
    Driver.VerifyFlash(Rig.Buffer);
    Rig.Buffer.HexData[0x10] ^= 0xFF;
    run.Difference = MessageOf([&] { Driver.VerifyFlash(Rig.Buffer); });
    run.Lines = Rig.Host.Lines;
    run.Chip = Rig.Chip().Memory();
    return run;
}

struct TCase {
    const char* Device;
    int Organisation;
    int ClockSpeed;
};

class FirmwareFamilies : public ::testing::TestWithParam<TCase> {};

TEST_P(FirmwareFamilies, ProgramReadVerifyAsTheSimulatedUnitDoes) {
    const TCase c = GetParam();
    TChipOptions chip;
    chip.Organisation = c.Organisation ? c.Organisation : 16;

    TFirmwareRig mcu(c.Device, chip);
    mcu.Settings.SetSetting("NORVO ISP (COM)", "Clockspeed", ss_global, std::int32_t{c.ClockSpeed});
    SetLimits(mcu.Unit, c.ClockSpeed);
    const TRun onMcu = Exercise(mcu, mcu.Driver, c.Organisation);

    TSimRig sim(c.Device);
    sim.Settings.SetSetting("NORVO ISP (SIM)", "Clockspeed", ss_global, std::int32_t{c.ClockSpeed});
    sim.Host.Panel.Mode = c.Organisation == 8 ? 0 : 1;
    const TRun onSim = Exercise(sim, *sim.Driver, c.Organisation);

    std::vector<std::uint8_t> expected(onMcu.Chip.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        expected[i] = Pattern(static_cast<int>(i));
    EXPECT_EQ(onMcu.Chip, expected);
    EXPECT_EQ(onMcu.ReadBack, expected);
    EXPECT_EQ(onMcu.Chip, onSim.Chip);
    EXPECT_EQ(onMcu.Lines, onSim.Lines);
    EXPECT_EQ(onMcu.Difference, onSim.Difference);
    EXPECT_EQ(onMcu.Lines.size(), 1u);
    EXPECT_EQ(mcu.Unit.Breaches(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Parts, FirmwareFamilies,
                         ::testing::Values(TCase{"24C02", 0, 1}, TCase{"24C16", 0, 16}, TCase{"24C32", 0, 1},
                                           TCase{"25C040", 0, 32}, TCase{"25C256", 0, 1},
                                           TCase{"93C46", 8, 1}, TCase{"93C46", 16, 16},
                                           TCase{"93C56", 8, 32}, TCase{"93C86", 16, 1}),
                         [](const auto& Param) {
                             return std::string(Param.param.Device) + "x" +
                                    std::to_string(Param.param.Organisation) + "E" +
                                    std::to_string(Param.param.ClockSpeed);
                         });

// The static data from the build's avr-size report ("Data: 482 bytes").
unsigned StaticRam() {
    std::ifstream report(FIRMWARE_SIZE_REPORT);
    std::string line;
    while (std::getline(report, line))
        if (line.rfind("Data:", 0) == 0) return static_cast<unsigned>(std::stoul(line.substr(5)));
    return 0;
}

TEST(FirmwareDriver, FitsTheBoardsRamWhileItRuns) {
    // Static data plus the deepest stack of a program, read and verify on
    // each bus, and of a 25C status register write and read.
    unsigned deepest = 0;
    for (const char* name : {"24C16", "25C040", "93C46"}) {
        TFirmwareRig rig(name);
        rig.Driver.HardwareOpen();
        rig.FillBuffer(Pattern);
        rig.Driver.ProgramFlash(rig.Buffer);
        rig.Driver.VerifyFlash(rig.Buffer);
        if (std::string(name) == "25C040") rig.Driver.WriteOptionByte(rig.Driver.ReadOptionByte());
        deepest = std::max(deepest, rig.Unit.Mcu().StackDepth());
    }
    const unsigned ram = StaticRam();
    ASSERT_GT(ram, 0u);
    EXPECT_GT(deepest, 20u);
    EXPECT_LT(ram + deepest, 1536u) << ram << " static + " << deepest << " stack";
    std::printf("firmware RAM: %u bytes static + %u bytes of stack at most\n", ram, deepest);
}

TEST(FirmwareDriver, TheTimingMeasurementSeesAClockTooFastForItsLimits) {
    // The fast clock measured against the standard-mode limits: the check
    // above is not blind.
    TFirmwareRig rig("24C02");
    rig.Unit.I2CPins().SetTiming(I2CStandardLimits());
    rig.Driver.HardwareOpen();
    rig.Driver.ProgramFlash(rig.Buffer);
    EXPECT_GT(rig.Unit.I2CPins().Log().Count(), 100u);
    const auto& breaches = rig.Unit.I2CPins().Log().Breaches();
    EXPECT_NE(std::find_if(breaches.begin(), breaches.end(),
                           [](const std::string& b) { return b.rfind("SCL high (tHIGH)", 0) == 0; }),
              breaches.end());
}

TEST(FirmwareDriver, EraseLeavesEveryByteErased) {
    for (const char* name : {"24C02", "25C040", "93C46"}) {
        TFirmwareRig rig(name);
        std::fill(rig.Chip().Memory().begin(), rig.Chip().Memory().end(), 0x00);
        rig.Driver.HardwareOpen();
        rig.Driver.EraseDevice();
        EXPECT_EQ(std::count(rig.Chip().Memory().begin(), rig.Chip().Memory().end(), 0xFF),
                  static_cast<long>(rig.Chip().Size()))
            << name;
    }
}

TEST(FirmwareDriver, TheStatusRegisterAndItsBlockProtection) {
    TFirmwareRig rig("25C040");
    rig.Driver.HardwareOpen();
    EXPECT_EQ(rig.Driver.ReadOptionByte(), 0x00);
    // Upper quarter protected (and WPEN, which the unit's /WP high leaves
    // without effect).
    rig.Driver.WriteOptionByte(0x84);
    EXPECT_EQ(rig.Driver.ReadOptionByte(), 0x84);
    rig.FillBuffer([](int) { return 0x5A; });
    rig.Driver.ProgramFlash(rig.Buffer);
    const auto& mem = rig.Chip().Memory();
    EXPECT_EQ(std::count(mem.begin(), mem.begin() + 384, 0x5A), 384);
    EXPECT_EQ(std::count(mem.begin() + 384, mem.end(), 0xFF), 128);
    EXPECT_EQ(MessageOf([&] { rig.Driver.VerifyFlash(rig.Buffer); }),
              "EVerifyError: EEPROM: Verification Failed - Block protection may be enabled");
    // Protection off again: the whole part takes the data.
    rig.Driver.WriteOptionByte(0x00);
    EXPECT_EQ(rig.Driver.ReadOptionByte(), 0x00);
    rig.Driver.ProgramFlash(rig.Buffer);
    EXPECT_EQ(std::count(mem.begin(), mem.end(), 0x5A), 512);
}

TEST(FirmwareDriver, AnEmptySocketGivesTheBussErrorCodesAndNoHang) {
    struct TEmpty {
        const char* Device;
        std::string Program, Read;
    };
    const TEmpty cases[] = {
        {"24C02", "Program/erase BUSY timed out", "Program/erase BUSY timed out"},
        // SPI has no acknowledgement: the part reads as all ones.
        {"25C040", "(nothing raised)", "(nothing raised)"},
        {"93C46", "(nothing raised)", "Microwire exchange out of sync"},
    };
    for (const auto& c : cases) {
        TFirmwareRig rig(c.Device);
        rig.Unit.InsertChip(nullptr);
        rig.Driver.HardwareOpen();
        rig.FillBuffer([](int) { return 0x00; });
        EXPECT_EQ(MessageOf([&] { rig.Driver.ProgramFlash(rig.Buffer); }), c.Program) << c.Device;
        EXPECT_EQ(MessageOf([&] { rig.Driver.ReadFlash(rig.Buffer); }), c.Read) << c.Device;
        if (c.Read == "(nothing raised)") {
            EXPECT_EQ(rig.Buffer.HexData[0], 0xFF) << c.Device;
        }
        EXPECT_LT(rig.Link.Now(), 60s) << c.Device;
    }
}

TEST(FirmwareDriver, AChipThatStaysBusyIsReported) {
    // A 24C whose write cycle outlasts the unit's write delay refuses the
    // next page; a 93C busy past the unit's ready time-out fails its "Z".
    TChipOptions slow;
    slow.WriteTime = 20ms;
    TFirmwareRig i2c("24C02", slow);
    i2c.Driver.HardwareOpen();
    EXPECT_EQ(MessageOf([&] { i2c.Driver.ProgramFlash(i2c.Buffer); }), "Program/erase BUSY timed out");
    slow.WriteTime = 80ms;
    TFirmwareRig mw("93C46", slow);
    mw.Driver.HardwareOpen();
    EXPECT_EQ(MessageOf([&] { mw.Driver.ProgramFlash(mw.Buffer); }), "Program/erase BUSY timed out");
}

// What an open sent from byte From of the line's record on: the bytes as
// text ("**SvE01" for a second probe).
std::string OpenBytes(const TAvrLink& Link, std::size_t From) {
    return std::string(Link.Sent().begin() + static_cast<long>(From), Link.Sent().end());
}

TEST(FirmwareDriver, TheOpenSeesTheIdentificationAndTheVersions) {
    TFirmwareRig rig("24C02");
    ASSERT_TRUE(rig.Driver.HardwareOpen());
    rig.Driver.ShowStatus("1.0.0.0");
    ASSERT_EQ(rig.Host.Shown.size(), 1u);
    const auto& lines = rig.Host.Shown[0].Lines;
    for (const char* line : {"Programmer ID: VORIZORUV", "Hardware Version: A328", "Firmware Version: 000A"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    // The unit's board has no auto-reset: one probe, as for the original unit.
    EXPECT_EQ(OpenBytes(rig.Link, 0).substr(0, 6), "*SvE01");
}

TEST(FirmwareDriver, AStockBoardOpensOnTheSecondProbe) {
    TFirmwareRig rig("24C02", {}, FirmwareBoard(true));
    ASSERT_TRUE(rig.Driver.HardwareOpen());
    // The DTR sequence reset the board twice; the bootloader ate the first
    // probe, the firmware answered the second.
    EXPECT_EQ(rig.Unit.Mcu().Resets(), 2u);
    // Then the fast link: its rate and ring, and the switch to 2 Mbaud.
    EXPECT_EQ(OpenBytes(rig.Link, 0), "**SvE01lL02*");
    EXPECT_GE(rig.Link.Now(), 3s);
    rig.FillBuffer(Pattern);
    rig.Driver.ProgramFlash(rig.Buffer);
    EXPECT_NO_THROW(rig.Driver.VerifyFlash(rig.Buffer));
    // Closing and opening again resets it again and still opens.
    rig.Driver.HardwareClose();
    const std::size_t before = rig.Link.Sent().size();
    ASSERT_TRUE(rig.Driver.HardwareOpen());
    EXPECT_EQ(OpenBytes(rig.Link, before), "**SvE01lL02*");
    EXPECT_EQ(rig.Unit.Mcu().Resets(), 4u);
}

} // namespace
