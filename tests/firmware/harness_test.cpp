// The firmware on the simulated MCU, byte for byte: it answers the command
// table exactly as the simulated unit does (the two share the interpreter,
// but not the UART, the pins or the buses), takes every byte of a burst at
// 115 200 baud while it is busy, drops a command whose arguments stop
// coming, and drives the target reset output as the polarity says.
#include "avr/avr_link.h"
#include "chips/chip_factory.h"
#include "firmware_rig.h"
#include "sim/unit_bench.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

struct TBoard {
    TAvrUnit Unit{FirmwareBoard()};
    TAvrLink Link{Unit};

    explicit TBoard(const std::string& Chip = "") {
        if (!Chip.empty()) Unit.InsertChip(MakeChip(Chip));
        Link.Sleep(5ms); // the firmware's start-up
    }
    // Sends the bytes and takes Expected reply bytes (a longer reply shows
    // in the next command's).
    std::string Cmd(std::string_view Bytes, std::size_t Expected) {
        Link.Write(Bytes);
        const auto got = Link.Read(Expected, 1s);
        return {got.begin(), got.end()};
    }
};

TEST(FirmwareHarness, IdentifiesItselfWithItsOwnHardwareVersion) {
    TBoard b;
    EXPECT_EQ(b.Cmd("S", 10), "VORIZORUV\r");
    EXPECT_EQ(b.Cmd("v", 5), "000A\r");
    EXPECT_EQ(b.Cmd("V", 5), "A328\r");
    // The probe: the unit buffers commands.
    EXPECT_EQ(b.Cmd("*", 2), "?B");
}

// The same bytes to the simulated unit and to the firmware, chip by chip:
// identical replies and identical chip contents afterwards.
TEST(FirmwareHarness, AnswersEveryCommandAsTheSimulatedUnitDoes) {
    struct TScript {
        const char* Chip;
        std::vector<std::string> Commands;
    };
    const TScript scripts[] = {
        {"24C02",
         {"M00",
          "Z",
          "D03",
          "X",
          B({'w', 0xA0}),
          B({'w', 0x10}),
          B({'W', 4, 'a', 'b', 'c', 'd'}),
          "X",
          B({'w', 0xA0}),
          B({'w', 0x10}),
          "X",
          B({'w', 0xA1}),
          B({'R', 4}),
          "x",
          "X",
          B({'w', 0xA6}),
          "x",
          "X",
          B({'w', 0xA1}),
          "r",
          "x",
          "Q",
          "M03",
          "P03",
          "E2x",
          "D-1",
          "MG0",
          B({0}),
          "s",
          "%",
          "$",
          "P00",
          "E10",
          "E20",
          "E01"}},
        {"24C16",
         {"M00", "Z", "X", B({'w', 0xAE}), B({'w', 0xF3}), B({'W', 2, 1, 2}), "X", B({'w', 0xAE}),
          B({'w', 0xF3}), "X", B({'w', 0xAF}), B({'R', 3}), "x"}},
        {"25C040",
         {"M01",
          "x",
          "X",
          B({'w', 0x06}),
          "x",
          "X",
          B({'w', 0x0A}),
          B({'w', 0x00}),
          B({'W', 3, 7, 8, 9}),
          "x",
          "X",
          B({'w', 0x0B}),
          B({'w', 0x00}),
          B({'R', 4}),
          "x",
          "X",
          B({'w', 0x05}),
          "r",
          "x",
          "Z"}},
        {"93C46",
         {"M02",
          "x",
          "w",
          "r",
          B({'W', 17, 0, 0, 0}),
          "X",
          B({'W', 9, 0x98, 0x00}),
          "x",
          "X",
          B({'W', 9, 0xA2, 0x80}),
          B({'w', 0x12}),
          B({'w', 0x34}),
          "x",
          "Z",
          "X",
          B({'W', 9, 0xC2, 0x80}),
          "r",
          "r",
          "x",
          "X",
          B({'W', 8, 0xC2}),
          "x",
          "X",
          B({'W', 0}),
          "x"}},
        {"none",
         {"M00", "X", B({'w', 0xA0}), "M01", "X", "r", "x", "M02", "X", B({'W', 9, 0xC2, 0x80}), "x"}},
    };
    for (const auto& s : scripts) {
        TUnitBench sim;
        TBoard mcu;
        if (std::string(s.Chip) != "none") {
            sim.Insert(s.Chip);
            mcu.Unit.InsertChip(MakeChip(s.Chip));
        }
        for (const auto& c : s.Commands) {
            const std::string want = sim.Cmd(c);
            EXPECT_EQ(mcu.Cmd(c, want.size()), want) << s.Chip << " [" << c << "]";
        }
        EXPECT_TRUE(mcu.Link.Read(1, 100ms).empty()) << s.Chip;
        if (sim.unit.Chip()) {
            EXPECT_EQ(mcu.Unit.Chip()->Memory(), sim.unit.Chip()->Memory()) << s.Chip;
        }
    }
}

TEST(FirmwareHarness, TakesEveryByteOfABurstWhileBusy) {
    // A page write with a 200 ms write delay, then 250 probes at once while
    // the unit waits: the receive ring holds them all, and each is answered.
    TBoard b("24C02");
    EXPECT_EQ(b.Cmd("M00", 1), "\r");
    EXPECT_EQ(b.Cmd("DC8", 1), "\r");
    b.Link.Write(B({'X', 'w', 0xA0, 'w', 0x00, 'W', 2, 0x55, 0xAA}));
    b.Link.Write(std::string(250, '*'));
    const auto replies = b.Link.Read(4 + 500 + 1, 2s);
    std::string expected(4, '\r');
    for (int i = 0; i < 250; ++i)
        expected += "?B";
    EXPECT_EQ(std::string(replies.begin(), replies.end()), expected);
    EXPECT_EQ(b.Unit.Chip()->Memory()[1], 0xAA);
}

TEST(FirmwareHarness, DropsACommandWhoseArgumentsStopComing) {
    TBoard b;
    b.Link.Write(std::string_view("M0"));
    b.Link.Sleep(600ms); // longer than the unit's 500 ms
    EXPECT_EQ(b.Cmd("S", 10), "VORIZORUV\r");
    // Within the time the arguments still count.
    b.Link.Write(std::string_view("M0"));
    b.Link.Sleep(400ms);
    EXPECT_EQ(b.Cmd("1", 1), "\r");
}

TEST(FirmwareHarness, DrivesTheTargetResetDuringAnOperation) {
    TBoard b;
    struct TStep {
        const char* Command;
        TTargetReset After;
    };
    const TStep steps[] = {{"P00", TTargetReset::Released},  {"%", TTargetReset::DrivenLow},
                           {"$", TTargetReset::Released},    {"P01", TTargetReset::Released},
                           {"%", TTargetReset::DrivenHigh},  {"P02", TTargetReset::Released},
                           {"P00", TTargetReset::DrivenLow}, {"$", TTargetReset::Released}};
    for (const auto& s : steps) {
        EXPECT_EQ(b.Cmd(s.Command, 1), "\r") << s.Command;
        EXPECT_EQ(b.Unit.TargetReset(), s.After) << s.Command;
    }
}

TEST(FirmwareHarness, AStockBoardsBootloaderEatsWhatArrivesForASecond) {
    TAvrUnit unit(FirmwareBoard(true));
    TAvrLink link(unit);
    link.Sleep(5ms);
    link.SetDTR(true); // the board resets
    link.Write(std::string_view("S"));
    EXPECT_TRUE(link.Read(10, 900ms).empty());
    link.Sleep(200ms);
    const auto id = link.Read(10, 1s);
    EXPECT_TRUE(id.empty()); // the "S" went to the bootloader
    link.Write(std::string_view("S"));
    const auto again = link.Read(10, 1s);
    EXPECT_EQ(std::string(again.begin(), again.end()), "VORIZORUV\r");
    EXPECT_EQ(unit.Mcu().Resets(), 1u);
    // Without the auto-reset capacitor (or on the unit) DTR does nothing.
    TBoard plain;
    plain.Link.SetDTR(false);
    plain.Link.SetDTR(true);
    EXPECT_EQ(plain.Cmd("S", 10), "VORIZORUV\r");
    EXPECT_EQ(plain.Unit.Mcu().Resets(), 0u);
}

} // namespace
