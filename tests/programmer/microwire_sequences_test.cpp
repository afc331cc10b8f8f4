// The 93C family: command geometry, x8 and x16 programming and reading, and
// erase-all on the simulated unit and chip.
#include "chips/eeprom_93c.h"
#include "errors/errors.h"
#include "sim_rig.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(MicrowireGeometry, BitSizeAndShiftPerDeviceAndOrganisation) {
    struct TCase {
        const char* Device;
        int X8Bits, X8Shift, X16Bits, X16Shift;
    };
    const TCase cases[] = {
        {"93C06", 10, 6, 9, 7},  {"93C46", 10, 6, 9, 7},  {"93C56", 12, 4, 11, 5}, {"93C66", 12, 4, 11, 5},
        {"93C57", 11, 5, 10, 6}, {"93C76", 14, 2, 13, 3}, {"93C86", 14, 2, 13, 3},
    };
    for (const auto& c : cases) {
        TSimRig rig(c.Device);
        for (const auto& [mode, bits, shift] :
             {std::tuple{8, c.X8Bits, c.X8Shift}, std::tuple{16, c.X16Bits, c.X16Shift},
              std::tuple{0, c.X16Bits, c.X16Shift}}) {
            rig.Driver->SetProgmode(static_cast<std::uint8_t>(mode));
            rig.Driver->GetBitSize();
            rig.Driver->GetShiftLeft();
            EXPECT_EQ(rig.Driver->BitSize(), bits) << c.Device << " mode " << mode;
            EXPECT_EQ(rig.Driver->ShiftLeft(), shift) << c.Device << " mode " << mode;
        }
    }
    // Another device's name leaves the last geometry as it was.
    TSimRig rig("93C86");
    rig.Driver->GetBitSize();
    rig.Driver->GetShiftLeft();
    rig.Driver->SetDevice(DeviceList().GetNewDeviceInstance("24C02", TProgrammerSupport{pk_eisp}));
    rig.Driver->GetBitSize();
    rig.Driver->GetShiftLeft();
    EXPECT_EQ(rig.Driver->BitSize(), 13);
    EXPECT_EQ(rig.Driver->ShiftLeft(), 3);
}

TEST(MicrowireProgram, X16WordsHighByteFirstWithAPauseAndReadyWait) {
    TSimRig rig("93C46");
    rig.Driver->WriteTiming(16);
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(0x10 + i); });
    rig.Driver->ProgramFlash(rig.Buffer);
    const auto exchanges = rig.Driver->Unit().Transcript().Commands();
    std::vector<std::string> c;
    for (const auto& e : exchanges)
        c.push_back(CommandText(e));
    // No reset polarity; write enable first.
    EXPECT_EQ(std::vector<std::string>(c.begin(), c.begin() + 6),
              (std::vector<std::string>{"M02", "x", "%", "X", "W 09 98 00", "x"}));
    // Word 5: start bit, opcode 01, address 000101 in 9 bits; odd byte first.
    const std::vector<std::string> word5{"X", "W 09 A2 80", "w 1B", "w 1A", "x", "Z"};
    const auto at = std::search(c.begin(), c.end(), word5.begin(), word5.end());
    ASSERT_NE(at, c.end());
    // The PC pauses 10 ms between the deselect and "Z".
    const std::size_t i = static_cast<std::size_t>(at - c.begin());
    EXPECT_GE(exchanges[i + 5].Time - exchanges[i + 4].Time, 10ms);
    EXPECT_EQ(std::count(c.begin(), c.end(), "Z"), 64);
    EXPECT_EQ(std::count(c.begin(), c.end(), "P02"), 0);
    EXPECT_EQ(c.back(), "$");
    EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData);
}

TEST(MicrowireProgram, EndsWithTheChipWriteDisabled) {
    // The write-enable latch stays set until power-off: left set, any
    // stray write instruction (a glitch on CS, another tool) would change
    // the chip. Programming disables it, as erase does.
    for (const int organisation : {8, 16}) {
        TSimRig rig("93C46");
        rig.Driver->WriteTiming(static_cast<std::uint8_t>(organisation));
        rig.Open();
        rig.Driver->ProgramFlash(rig.Buffer);
        const auto c = rig.Commands();
        const std::string ewds = organisation == 8 ? "W 0A 80 00" : "W 09 80 00";
        EXPECT_EQ(std::vector<std::string>(c.end() - 4, c.end()),
                  (std::vector<std::string>{"X", ewds, "x", "$"}))
            << organisation;
        EXPECT_FALSE(static_cast<T93CChip&>(rig.Chip()).WriteEnabled()) << organisation;
    }
}

TEST(MicrowireProgram, X8BytesAndTheWideParts) {
    TSimRig rig("93C86");
    rig.Driver->WriteTiming(8);
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i * 13 + (i >> 8)); });
    rig.Driver->ProgramFlash(rig.Buffer);
    EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData);
    EXPECT_EQ(static_cast<T93CChip&>(rig.Chip()).Organisation(), 8);

    TSimRig wide("93C86");
    wide.Open();
    wide.FillBuffer([](int i) { return static_cast<std::uint8_t>(~i); });
    wide.Driver->ProgramFlash(wide.Buffer);
    const auto c = wide.Commands();
    // Word 0x3FF in x16: 13 bits 1 01 1111111111.
    EXPECT_NE(std::find(c.begin(), c.end(), "W 0D BF F8"), c.end());
    EXPECT_EQ(wide.Chip().Memory(), wide.Buffer.HexData);
}

TEST(MicrowireRead, CommandsPerOrganisation) {
    TSimRig rig("93C46");
    rig.Driver->WriteTiming(8);
    rig.Open();
    rig.Chip().Memory()[0x7F] = 0xC3;
    rig.Driver->CheckISPMode(); // selects the bus and works out the geometry
    rig.Clear();
    rig.Driver->ReadBuffer(rig.Buffer.HexData, 'R', 0x70, 16, 0);
    const auto c = rig.Commands();
    ASSERT_EQ(c.size(), 16u * 4);
    // Byte 0x7F: start bit, opcode 10, seven address bits all 1.
    EXPECT_EQ(std::vector<std::string>(c.end() - 4, c.end()),
              (std::vector<std::string>{"X", "W 0A DF C0", "r", "x"}));
    EXPECT_EQ(rig.Buffer.HexData[0x7F], 0xC3);

    TSimRig x16("93C66");
    x16.Open();
    for (std::size_t i = 0; i < 512; ++i)
        x16.Chip().Memory()[i] = static_cast<std::uint8_t>(i);
    x16.Driver->CheckISPMode();
    x16.Clear();
    x16.Driver->ReadBuffer(x16.Buffer.HexData, 'R', 0x40, 0, 0);
    const auto d = x16.Commands();
    ASSERT_EQ(d.size(), 8u * 5); // 8 words, two reads each
    EXPECT_EQ(std::vector<std::string>(d.begin(), d.begin() + 5),
              (std::vector<std::string>{"X", "W 0B C4 00", "r", "r", "x"}));
    for (int i = 0x40; i < 0x50; ++i)
        ASSERT_EQ(x16.Buffer.HexData[i], i);
    EXPECT_EQ(x16.Buffer.HexData[0x50], 0xFF);
}

TEST(MicrowireErase, EnableEraseAllDisable) {
    TSimRig rig("93C56");
    rig.Open();
    std::fill(rig.Chip().Memory().begin(), rig.Chip().Memory().end(), 0x00);
    rig.Driver->EraseDevice();
    EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"M02", "x", "P02", "%", "X", "W 0B 98 00", "x", "X",
                                                        "W 0B 90 00", "x", "X", "W 0B 80 00", "x", "$"}));
    EXPECT_EQ(rig.Chip().Memory(), std::vector<std::uint8_t>(256, 0xFF));
    EXPECT_FALSE(static_cast<T93CChip&>(rig.Chip()).WriteEnabled());
}

} // namespace
