// The 25C family: instructions and addresses, programming, reading and the
// status register on the simulated unit and chip.
#include "chips/eeprom_25c.h"
#include "errors/errors.h"
#include "sim_rig.h"

#include <gtest/gtest.h>

namespace {

TEST(SpiProgram, InstructionsAndAddressesBySize) {
    struct TCase {
        const char* Device;
        int Address;
        std::vector<std::string> Expected; // write enable, then the page
    };
    const TCase cases[] = {
        // 512 bytes: address bit 8 in bit 3 of the instruction.
        {"25C040", 0x100, {"X", "w 06", "x", "X", "w 0A", "w 00", "W 10"}},
        {"25C040", 0x0F0, {"X", "w 06", "x", "X", "w 02", "w F0", "W 10"}},
        // Below 512: one address byte.
        {"25C020", 0x0F0, {"X", "w 06", "x", "X", "w 02", "w F0", "W 10"}},
        // Above 512: two address bytes.
        {"25C256", 0x7FC0, {"X", "w 06", "x", "X", "w 02", "w 7F", "w C0", "W 40"}},
        {"25HP512", 0xFF80, {"X", "w 06", "x", "X", "w 02", "w FF", "w 80", "W 80"}},
    };
    for (const auto& c : cases) {
        TSimRig rig(c.Device);
        rig.Open();
        rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i * 3); });
        rig.Driver->ProgramFlash(rig.Buffer);
        const auto all = rig.Commands();
        // Find the page: "X", the write instruction, its address bytes.
        const std::size_t addressBytes = c.Expected.size() - 5;
        bool found = false;
        for (std::size_t i = 3; i + c.Expected.size() <= all.size() + 3 && !found; ++i) {
            std::vector<std::string> window(all.begin() + static_cast<std::ptrdiff_t>(i) - 3,
                                            all.begin() +
                                                static_cast<std::ptrdiff_t>(i + c.Expected.size() - 3));
            // Compare without the page data.
            if (window.back().size() >= 4) window.back() = window.back().substr(0, 4);
            if (window == c.Expected) found = true;
        }
        EXPECT_TRUE(found) << c.Device << " " << c.Address << " (" << addressBytes << " address bytes)";
        EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData) << c.Device;
        EXPECT_EQ(all.back(), "$");
        EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + 5),
                  (std::vector<std::string>{"M01", "x", "P02", "D05", "%"}));
    }
}

TEST(SpiProgram, APageCarriesItsBytesAndEndsWithDeselect) {
    TSimRig rig("25C040");
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i ^ 0x5A); });
    rig.Driver->ProgramFlash(rig.Buffer);
    const auto c = rig.Commands();
    std::vector<std::uint8_t> page(rig.Buffer.HexData.begin() + 0x100, rig.Buffer.HexData.begin() + 0x110);
    const std::vector<std::string> expected{"X", "w 06", "x", "X", "w 0A", "w 00", "W 10 " + HexBytes(page),
                                            "x"};
    EXPECT_NE(std::search(c.begin(), c.end(), expected.begin(), expected.end()), c.end());
}

TEST(SpiRead, ReadInstructionPerSize) {
    struct TCase {
        const char* Device;
        int From;
        std::vector<std::string> Expected;
    };
    const TCase cases[] = {
        {"25C020", 0x20, {"X", "w 03", "w 20", "R 10", "x"}},
        {"25C040", 0x1F0, {"X", "w 0B", "w F0", "R 10", "x"}},
        {"25C256", 0x7FC0, {"X", "w 03", "w 7F", "w C0", "R 40", "x"}},
    };
    for (const auto& c : cases) {
        TSimRig rig(c.Device);
        rig.Open();
        for (std::size_t i = 0; i < rig.Chip().Size(); ++i)
            rig.Chip().Memory()[i] = static_cast<std::uint8_t>(i * 5 + 1);
        rig.Driver->CheckISPMode(); // selects the SPI bus
        rig.Clear();
        rig.Driver->ReadBuffer(rig.Buffer.HexData, 'R', c.From, rig.Device->PageSize(), 0);
        EXPECT_EQ(rig.Commands(), c.Expected) << c.Device;
        for (int i = 0; i < rig.Device->PageSize(); ++i)
            ASSERT_EQ(rig.Buffer.HexData[c.From + i], static_cast<std::uint8_t>((c.From + i) * 5 + 1))
                << c.Device;
    }
}

TEST(SpiStatusRegister, ReadAndWrite) {
    TSimRig rig("25C040");
    rig.Open();
    static_cast<T25CChip&>(rig.Chip()).SetNonVolatileStatus(0x8C);
    EXPECT_EQ(rig.Driver->ReadOptionByte(), 0x8C);
    EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"M01", "x", "P02", "%", "X", "w 05", "r", "$", "x"}));

    rig.Clear();
    rig.Driver->WriteOptionByte(0x00);
    EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"M01", "x", "P02", "%", "X", "w 06", "x", "X", "w 01",
                                                        "w 00", "x", "$"}));
    EXPECT_EQ(rig.Driver->ReadOptionByte(), 0x00);
    rig.Driver->WriteOptionByte(0x88);
    EXPECT_EQ(rig.Driver->ReadOptionByte(), 0x88);
}

TEST(SpiStatusRegister, OtherFamiliesSendOnlyTheSelection) {
    TSimRig rig("24C02");
    rig.Open();
    EXPECT_EQ(rig.Driver->ReadOptionByte(), 0);
    rig.Driver->WriteOptionByte(0x8C);
    EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"M00", "Z", "P02", "M00", "Z", "P02"}));
}

TEST(SpiErase, ProgramsFFUnlessTheBlocksAreProtected) {
    TSimRig rig("25C080");
    rig.Open();
    std::fill(rig.Chip().Memory().begin(), rig.Chip().Memory().end(), 0x00);
    rig.Driver->EraseDevice();
    EXPECT_EQ(rig.Chip().Memory(), std::vector<std::uint8_t>(1024, 0xFF));

    // With the upper half protected the chip ignores those pages and the
    // verify afterwards names block protection.
    std::fill(rig.Chip().Memory().begin(), rig.Chip().Memory().end(), 0x00);
    static_cast<T25CChip&>(rig.Chip()).SetNonVolatileStatus(0x08);
    rig.Driver->EraseDevice();
    EXPECT_EQ(rig.Chip().Memory()[511], 0xFF);
    EXPECT_EQ(rig.Chip().Memory()[512], 0x00);
    rig.Buffer.HexData.assign(1024, 0xFF);
    try {
        rig.Driver->VerifyFlash(rig.Buffer);
        FAIL() << "the protected half differs";
    } catch (const EVerifyError& e) {
        EXPECT_EQ(e.Message(), "EEPROM: Verification Failed - Block protection may be enabled");
    }
    EXPECT_EQ(rig.Host.Lines.size(), 512u);
}

} // namespace
