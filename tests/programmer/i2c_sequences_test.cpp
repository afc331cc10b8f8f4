// The 24C family: select bytes, word addresses and the program, read and
// erase sequences on the simulated unit and chip.
#include "errors/errors.h"
#include "sim_rig.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Slice(const std::vector<std::string>& v, std::size_t from, std::size_t count) {
    if (from >= v.size()) return {};
    return {v.begin() + static_cast<std::ptrdiff_t>(from),
            v.begin() + static_cast<std::ptrdiff_t>(std::min(v.size(), from + count))};
}

TEST(I2CAddressing, SelectByteAndWordAddress) {
    struct TCase {
        const char* Device;
        int Address;
        int Bus;
        std::uint8_t Select;
        std::string Word;
    };
    const TCase cases[] = {
        {"24C16", 0x7F3, 0, 0xAE, "\xF3"},
        {"24C256", 0x1234, 1, 0xA2, "\x12\x34"},
        {"24C1024", 0x10000, 0, 0xA2, std::string("\x00\x00", 2)},
        {"24C1024", 0x1FFFF, 0, 0xA2, "\xFF\xFF"},
        {"24M01", 0x1ABCD, 0, 0xA2, "\xAB\xCD"},                    // A16 in bit 1, as the 24C1024
        {"24M01", 0x0ABCD, 2, 0xA4, "\xAB\xCD"},                    //
        {"24LC1025", 0x10000, 0, 0xA8, std::string("\x00\x00", 2)}, // block select B0 in bit 3
        {"24LC1025", 0x1FFFF, 3, 0xAE, "\xFF\xFF"},                 // A1 A0 in bits 2 and 1
        {"24LC1025", 0x0FFFF, 1, 0xA2, "\xFF\xFF"},                 //
        {"24C08", 0x300, 0, 0xA6, std::string("\x00", 1)},
        {"24C04", 0x100, 3, 0xA6, std::string("\x00", 1)}, // bus and address bits merge
        {"24C02", 0x80, 7, 0xAE, "\x80"},
        {"24C32", 0x0FFF, 2, 0xA4, "\x0F\xFF"},
    };
    for (const auto& c : cases) {
        TSimRig rig(c.Device);
        rig.Host.Panel.Bus = c.Bus;
        EXPECT_EQ(rig.Driver->I2CSelect(c.Address), c.Select) << c.Device << " " << c.Address;
        EXPECT_EQ(rig.Driver->I2CWordAddress(c.Address), c.Word) << c.Device << " " << c.Address;
    }
}

TEST(I2CProgram, SingleByteTransfersOnA24C00) {
    TSimRig rig("24C00");
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(0x40 + i); });
    rig.Driver->ProgramFlash(rig.Buffer);
    const auto c = rig.Commands();
    EXPECT_EQ(Slice(c, 0, 5), (std::vector<std::string>{"M00", "Z", "P02", "D05", "%"}));
    ASSERT_EQ(c.size(), 5u + 16 * 5 + 1);
    for (int a = 0; a < 16; ++a)
        EXPECT_EQ(Slice(c, 5 + 5 * a, 5),
                  (std::vector<std::string>{"X", "w A0", "w " + HexBytes({static_cast<std::uint8_t>(a)}),
                                            "w " + HexBytes({static_cast<std::uint8_t>(0x40 + a)}), "x"}))
            << a;
    EXPECT_EQ(c.back(), "$");
    EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData);
}

TEST(I2CProgram, PagesOfFourOnA24C02WithoutStop) {
    TSimRig rig("24C02");
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(255 - i); });
    std::vector<std::pair<int, int>> progress;
    rig.Driver->SetOnProgressUpdate([&](int i, int m) { progress.emplace_back(i, m); });
    rig.Driver->ProgramFlash(rig.Buffer);
    const auto c = rig.Commands();
    ASSERT_EQ(c.size(), 5u + 64 * 4 + 1);
    for (int p = 0; p < 64; ++p) {
        const int a = p * 4;
        EXPECT_EQ(Slice(c, 5 + 4 * p, 4),
                  (std::vector<std::string>{"X", "w A0", "w " + HexBytes({static_cast<std::uint8_t>(a)}),
                                            "W 04 " + HexBytes({rig.Buffer.HexData.begin() + a,
                                                                rig.Buffer.HexData.begin() + a + 4})}))
            << p;
    }
    EXPECT_EQ(std::count(c.begin(), c.end(), "x"), 0);
    EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData);
    // (0, size) first, then the start of each page after it is written.
    ASSERT_EQ(progress.size(), 65u);
    EXPECT_EQ(progress[0], (std::pair<int, int>{0, 256}));
    EXPECT_EQ(progress[1], (std::pair<int, int>{0, 256}));
    EXPECT_EQ(progress.back(), (std::pair<int, int>{252, 256}));
}

TEST(I2CProgram, BlockBitsAndTwoByteAddressesReachTheWholeChip) {
    // The 24LC1025 works only with its A2 pin tied high.
    for (const auto& [name, pins] :
         {std::pair<const char*, int>{"24C16", 0}, {"24C1024", 0}, {"24M01", 0}, {"24LC1025", 4}}) {
        TSimOptions options;
        options.AddressPins = static_cast<std::uint8_t>(pins);
        TSimRig rig(name, {}, options);
        rig.Host.Panel.Polarity = 0;
        rig.Open();
        rig.FillBuffer([](int i) { return static_cast<std::uint8_t>((i * 7) ^ (i >> 8)); });
        rig.Driver->ProgramFlash(rig.Buffer);
        EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData) << name;
        EXPECT_EQ(rig.Commands()[2], "P00");
    }
}

TEST(I2CProgram, AnAbortLeavesTheRestUnsent) {
    // Lock-step, and pipelined to a unit that buffers commands.
    for (const bool buffering : {false, true}) {
        TUnitConfig unit;
        unit.BuffersCommands = buffering;
        TSimRig rig("24C02", unit);
        rig.Open();
        rig.FillBuffer([](int) { return std::uint8_t{0x11}; });
        rig.Driver->SetOnProgressUpdate([](int i, int) {
            if (i == 8) throw EAbortOp();
        });
        EXPECT_THROW(rig.Driver->ProgramFlash(rig.Buffer), EAbortOp);
        const auto c = rig.Commands();
        // The page at 8 went out before its progress report; nothing after it.
        EXPECT_EQ(Slice(c, c.size() - 4, 4),
                  (std::vector<std::string>{"X", "w A0", "w 08", "W 04 11 11 11 11"}))
            << buffering;
        EXPECT_EQ(rig.Chip().Memory()[11], 0x11);
        EXPECT_EQ(rig.Chip().Memory()[12], 0xFF);
        // The next operation finds the unit in step.
        rig.Driver->SetOnProgressUpdate(nullptr);
        EXPECT_NO_THROW(rig.Driver->ProgramFlash(rig.Buffer)) << buffering;
    }
}

TEST(I2CRead, RepeatedStartAndPageRead) {
    TSimRig rig("24C512");
    rig.Open();
    for (int i = 0; i < 64; ++i)
        rig.Chip().Memory()[0xFFC0 + i] = static_cast<std::uint8_t>(i + 1);
    rig.Driver->ReadBuffer(rig.Buffer.HexData, 'R', 0xFFC0, 128, 0);
    EXPECT_EQ(rig.Commands(),
              (std::vector<std::string>{"X", "w A0", "w FF", "w C0", "X", "w A1", "R 80", "x"}));
    // The reply lands at 0xFFC0 onwards; the part past the buffer's end
    // (the chip's address counter rolled over to 0) is dropped.
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(rig.Buffer.HexData[0xFFC0 + i], i + 1);
    EXPECT_EQ(rig.Buffer.HexData[0xFFBF], 0xFF);
    EXPECT_EQ(rig.Buffer.Size(), 0x10000u);
}

TEST(I2CRead, SingleBytesWhenThePageIsOne) {
    TSimRig rig("24C00");
    rig.Open();
    rig.Chip().Memory()[5] = 0x5A;
    rig.Driver->ReadBuffer(rig.Buffer.HexData, 'R', 5, 1, 0);
    EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"X", "w A0", "w 05", "X", "w A1", "r", "x"}));
    EXPECT_EQ(rig.Buffer.HexData[5], 0x5A);
}

TEST(I2CErase, ProgramsEveryByteToFF) {
    TSimRig rig("24C08");
    rig.Open();
    std::fill(rig.Chip().Memory().begin(), rig.Chip().Memory().end(), 0x00);
    rig.Driver->EraseDevice();
    EXPECT_EQ(rig.Chip().Memory(), std::vector<std::uint8_t>(1024, 0xFF));
    const auto c = rig.Commands();
    // Its own family selection, then the whole program sequence with its own.
    EXPECT_EQ(Slice(c, 0, 8), (std::vector<std::string>{"M00", "Z", "P02", "M00", "Z", "P02", "D05", "%"}));
    EXPECT_EQ(c.back(), "$");
}

// An operation runs with what was set when it started: the operator
// changing the panel's bus number, the block size or the reset polarity
// while a part is programmed changes nothing of that part's transfers.
TEST(I2CProgram, PanelChangesDuringAnOperationWaitForTheNext) {
    TSimRig rig("24C02");
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i); });
    rig.Driver->SetOnProgressUpdate([&](int i, int) {
        if (i == 0) return;
        rig.Host.Panel.Bus = 3;
        rig.Host.Panel.Polarity = 0;
        SmartDongle::PageSize = 1;
    });
    rig.Driver->ProgramFlash(rig.Buffer);
    const auto c = rig.Commands();
    ASSERT_EQ(c.size(), 5u + 64 * 4 + 1);
    EXPECT_EQ(Slice(c, 0, 5), (std::vector<std::string>{"M00", "Z", "P02", "D05", "%"}));
    for (int p = 0; p < 64; ++p)
        EXPECT_EQ(Slice(c, 5 + 4 * p, 2), (std::vector<std::string>{"X", "w A0"})) << p;
    EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData);

    // The next operation takes them (and finds no chip at address 3).
    rig.Clear();
    rig.Driver->SetOnProgressUpdate(nullptr);
    EXPECT_THROW(rig.Driver->ReadFlash(rig.Buffer), EISPException);
    const auto r = rig.Commands();
    EXPECT_NE(std::find(r.begin(), r.end(), "P00"), r.end());
    EXPECT_NE(std::find(r.begin(), r.end(), "w A6"), r.end());
}

TEST(I2CProgram, AChipThatDoesNotAnswerOnTheBus) {
    TSimRig rig("24C02");
    rig.Host.Panel.Bus = 1; // the chip's address pins are 0
    rig.Open();
    try {
        rig.Driver->ProgramFlash(rig.Buffer);
        FAIL() << "no chip answers at A2";
    } catch (const EISPException& e) {
        EXPECT_EQ(e.Message(), "Program/erase BUSY timed out");
    }
    EXPECT_EQ(rig.Commands().back(), "w A2");
}

} // namespace
