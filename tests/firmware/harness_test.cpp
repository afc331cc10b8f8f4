// The firmware on the simulated MCU, byte for byte: it answers the command
// table exactly as the simulated unit does (the two share the interpreter,
// but not the UART, the pins or the buses), takes every byte of a burst at
// 115 200 baud while it is busy and reports one its ring cannot hold, drops
// a command whose arguments stop coming and says so, frees an I2C bus a
// chip holds, comes back from a hang through its watchdog, and drives the
// target reset output as the polarity says.
#include "avr/avr_link.h"
#include "chips/chip_factory.h"
#include "firmware_rig.h"
#include "sim/unit_bench.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    // The probe: the unit buffers commands and has the fast link, up to
    // 2 Mbaud, with a ring of 256 bytes.
    EXPECT_EQ(b.Cmd("*", 2), "?F");
    EXPECT_EQ(b.Cmd("l", 5), "0210\r");
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
        expected += "?F";
    EXPECT_EQ(std::string(replies.begin(), replies.end()), expected);
    EXPECT_EQ(b.Unit.Chip()->Memory()[1], 0xAA);
}

TEST(FirmwareHarness, ReportsABurstItsRingCannotHold) {
    // 700 probes while a page waits 200 ms: 511 fit in the ring, the rest
    // are lost. The unit answers the page, then "?O" in place of the next
    // acknowledgement, drops what it holds (it cannot know where the gap
    // is) and takes commands again once the line has been quiet.
    TBoard b("24C02");
    EXPECT_EQ(b.Cmd("M00", 1), "\r");
    EXPECT_EQ(b.Cmd("DC8", 1), "\r");
    b.Link.Write(B({'X', 'w', 0xA0, 'w', 0x00, 'W', 2, 0x55, 0xAA}));
    b.Link.Write(std::string(700, '*'));
    const auto replies = b.Link.Read(4 + 2 + 1, 2s);
    EXPECT_EQ(std::string(replies.begin(), replies.end()), "\r\r\r\r?O");
    EXPECT_EQ(b.Unit.Chip()->Memory()[1], 0xAA);
    // Until the PC's probe after a quiet line, nothing counts.
    EXPECT_EQ(b.Cmd("S", 1), "");
    b.Link.Sleep(30ms);
    EXPECT_EQ(b.Cmd("*", 2), "?F");
    EXPECT_EQ(b.Cmd("S", 10), "VORIZORUV\r");
}

TEST(FirmwareHarness, DropsACommandWhoseArgumentsStopComingAndSaysSo) {
    TBoard b("24C02");
    EXPECT_EQ(b.Cmd("M00", 1), "\r");
    // Half a command: after 500 ms the unit answers "?I" on its own, then
    // waits for the PC's probe after a quiet line.
    b.Link.Write(std::string_view("M0"));
    const auto early = b.Link.Read(2, 450ms);
    EXPECT_TRUE(early.empty());
    EXPECT_EQ(b.Cmd("", 2), "?I");
    EXPECT_EQ(b.Cmd("S", 1), "");
    b.Link.Sleep(30ms);
    EXPECT_EQ(b.Cmd("*", 2), "?F");
    EXPECT_EQ(b.Cmd("S", 10), "VORIZORUV\r");
    // Within the time the arguments still count.
    b.Link.Write(std::string_view("M0"));
    b.Link.Sleep(400ms);
    EXPECT_EQ(b.Cmd("0", 1), "\r");

    // A page whose bytes stop half-way: the rest, when it comes, is not
    // taken for commands (here "S", which would answer the identification,
    // and "X" "w" "x" which would reach the chip).
    EXPECT_EQ(b.Cmd(B({'X', 'w', 0xA0, 'w', 0x10}), 3), "\r\r\r");
    b.Link.Write(B({'W', 8, 1, 2}));
    b.Link.Sleep(600ms);
    b.Link.Write(B({'S', 'X', 'w', 0xA0, 'x', 'S'}));
    const auto reply = b.Link.Read(20, 100ms);
    EXPECT_EQ(std::string(reply.begin(), reply.end()), "?I");
    b.Link.Sleep(30ms);
    EXPECT_EQ(b.Cmd("*", 2), "?F");
    EXPECT_EQ(b.Cmd("S", 10), "VORIZORUV\r");
    EXPECT_EQ(b.Unit.Chip()->Memory()[0x10], 0xFF);
    EXPECT_EQ(b.Unit.Chip()->WriteCycles(), 0u);
}

// A 24C256 full of zeros: a random read whose reply is under way.
void StartRead(TBoard& Board) {
    std::fill(Board.Unit.Chip()->Memory().begin(), Board.Unit.Chip()->Memory().end(), 0x00);
    EXPECT_EQ(Board.Cmd("M00", 1), "\r");
    Board.Link.Write(B({'X', 'w', 0xA0, 'w', 0x00, 'w', 0x00, 'X', 'w', 0xA1, 'R', 64}));
    ASSERT_EQ(Board.Link.Read(5 + 10, 1s).size(), 15u);
}

TEST(FirmwareHarness, FreesAnI2CBusAChipHoldsAfterACutShortRead) {
    // The board resets in the middle of a read (the port was opened
    // again); the 24C keeps its power and its place in the byte, so it
    // holds SDA low for its next 0 bit. "Z" must clock it free.
    TBoard b("24C256");
    StartRead(b);
    b.Unit.Mcu().Reset(b.Unit.Mcu().Now());
    b.Link.Sleep(5ms);
    b.Link.FlushInput();
    ASSERT_FALSE(b.Unit.I2CPins().Sda()) << "the chip should be holding SDA";
    EXPECT_EQ(b.Cmd("M00", 1), "\r");
    EXPECT_EQ(b.Cmd("Z", 1), "\r");
    EXPECT_TRUE(b.Unit.I2CPins().Sda());
    // A page written and read back.
    EXPECT_EQ(b.Cmd(B({'X', 'w', 0xA0, 'w', 0x01, 'w', 0x00, 'W', 3, 7, 8, 9}), 5), "\r\r\r\r\r");
    b.Link.Sleep(10ms);
    EXPECT_EQ(b.Cmd(B({'X', 'w', 0xA0, 'w', 0x01, 'w', 0x00, 'X', 'w', 0xA1, 'R', 3, 'x'}), 11),
              B({'\r', '\r', '\r', '\r', '\r', '\r', 7, 8, 9, '\r', '\r'}));
    // The bus clear itself is a legal frame: no START with a clock or two
    // and a STOP.
    EXPECT_EQ(b.Unit.Breaches(), std::vector<std::string>{});
}

TEST(FirmwareHarness, TheBusClearDropsAPageACutShortWriteLeftLoaded) {
    // Reset in the middle of a page's data: the chip holds the bytes it
    // has taken. "Z" must not turn them into a write cycle.
    TBoard b("24C256");
    EXPECT_EQ(b.Cmd("M00", 1), "\r");
    b.Link.Write(B({'X', 'w', 0xA0, 'w', 0x00, 'w', 0x40, 'W', 32}));
    b.Link.Write(std::string(8, '\x11')); // 8 of the 32 data bytes
    b.Link.Read(4, 1s);
    b.Link.Sleep(2ms);
    b.Link.InputCount(); // the MCU catches up: the 8 bytes are with the chip
    b.Unit.Mcu().Reset(b.Unit.Mcu().Now());
    b.Link.Sleep(5ms);
    b.Link.FlushInput();
    EXPECT_EQ(b.Cmd("M00", 1), "\r");
    EXPECT_EQ(b.Cmd("Z", 1), "\r");
    b.Link.Sleep(20ms);
    const auto& mem = b.Unit.Chip()->Memory();
    EXPECT_EQ(std::count(mem.begin() + 0x40, mem.begin() + 0x60, 0xFF), 32);
    EXPECT_EQ(b.Unit.Chip()->WriteCycles(), 0u);
}

TEST(FirmwareHarness, AnswersADistinctErrorWhenTheI2CLinesStayLow) {
    // Without pull-ups (or with a chip holding the bus for good) the
    // lines never rise: "Z" and "X" answer "?H".
    TBoard b("24C02");
    b.Unit.SetI2CPullUps(false);
    EXPECT_EQ(b.Cmd("M00", 1), "\r");
    EXPECT_EQ(b.Cmd("Z", 2), "?H");
    EXPECT_EQ(b.Cmd("X", 2), "?H");
    EXPECT_EQ(b.Unit.I2CPins().Starts(), 0u);
    b.Unit.SetI2CPullUps(true);
    EXPECT_EQ(b.Cmd("X", 1), "\r");
}

TEST(FirmwareHarness, ComesBackFromAHangThroughItsWatchdog) {
    TBoard b;
    EXPECT_EQ(b.Cmd("S", 10), "VORIZORUV\r");
    b.Unit.Mcu().Hang();
    EXPECT_TRUE(b.Link.Read(10, 0s).empty());
    b.Link.Write(std::string_view("S"));
    EXPECT_TRUE(b.Link.Read(10, 900ms).empty());
    EXPECT_TRUE(b.Link.Read(10, 300ms).empty()); // the "S" went with the hang
    EXPECT_EQ(b.Unit.Mcu().WatchdogResets(), 1u);
    EXPECT_EQ(b.Cmd("S", 10), "VORIZORUV\r");
    // The longest command leaves the watchdog alone: 256 bytes read at the
    // slow clock, and a page with a 255 ms write delay.
    b.Unit.InsertChip(MakeChip("24C256"));
    EXPECT_EQ(b.Cmd("M00", 1), "\r");
    EXPECT_EQ(b.Cmd("E20", 1), "\r");
    EXPECT_EQ(b.Cmd("DFF", 1), "\r");
    EXPECT_EQ(b.Cmd(B({'X', 'w', 0xA0, 'w', 0, 'w', 0, 'W', 64}) + std::string(64, 'a'), 4), "\r\r\r\r");
    b.Link.Write(B({'X', 'w', 0xA0, 'w', 0, 'w', 0, 'X', 'w', 0xA1, 'R', 0}));
    EXPECT_EQ(b.Link.Read(6 + 256 + 1, 2s).size(), 6u + 256 + 1);
    EXPECT_EQ(b.Unit.Mcu().WatchdogResets(), 1u);
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
