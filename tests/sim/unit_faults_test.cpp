// Faults the unit can be told to show, and its recovery from broken commands.
#include "unit_bench.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TCommandFault Error(char letter, std::uint64_t nth, char code) {
    TCommandFault f;
    f.Kind = TCommandFault::TKind::Error;
    f.Letter = letter;
    f.Nth = nth;
    f.Byte = static_cast<std::uint8_t>(code);
    return f;
}

TCommandFault Ack(char letter, std::uint64_t nth, std::uint8_t byte) {
    TCommandFault f;
    f.Kind = TCommandFault::TKind::Acknowledge;
    f.Letter = letter;
    f.Nth = nth;
    f.Byte = byte;
    return f;
}

TEST(UnitFaults, ErrorCodeOnTheNthCommand) {
    TUnitConfig c;
    c.Faults.CommandFaults = {Error('\0', 2, 'T')};
    TUnitBench b(c);
    EXPECT_EQ(b.Cmd("v"), "000A\r");
    // A data reply keeps its length; the code replaces the acknowledgement.
    EXPECT_EQ(b.Cmd("v"), B({0xFF, 0xFF, 0xFF, 0xFF, '?', 'T'}));
    EXPECT_EQ(b.Cmd("v"), "000A\r");
}

TEST(UnitFaults, ErrorOnALetterIsNotCarriedOut) {
    TUnitConfig c;
    c.Faults.CommandFaults = {Error('M', 1, '!'), Error('W', 0, 'V')};
    TUnitBench b(c);
    auto& chip = b.Insert("24C02");
    EXPECT_EQ(b.Cmd("M01"), "?!");
    EXPECT_EQ(b.unit.Bus(), TUnitBus::I2C);
    EXPECT_EQ(b.Cmd("M01"), "\r");
    EXPECT_EQ(b.unit.Bus(), TUnitBus::SPI);
    b.Cmd("M00");
    b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', 0})});
    EXPECT_EQ(b.Cmd(B({'W', 2, 1, 2})), "?V");
    EXPECT_EQ(chip.WriteCycles(), 0u);
    EXPECT_EQ(b.Cmd(B({'R', 3})), B({0xFF, 0xFF, 0xFF, '\r'})); // other letters unaffected
}

TEST(UnitFaults, LineFeedOrGarbageInsteadOfTheCarriageReturn) {
    TUnitConfig c;
    c.Faults.CommandFaults = {Ack('S', 0, 0x0A), Ack('\0', 3, 'A')};
    TUnitBench b(c);
    EXPECT_EQ(b.Cmd("S"), "VORIZORUV\n");
    EXPECT_EQ(b.Cmd("M01"), "\r");
    EXPECT_EQ(b.Cmd("M02"), "A");
    EXPECT_EQ(b.unit.Bus(), TUnitBus::Microwire); // carried out
    EXPECT_EQ(b.Cmd("M05"), "?#");                // real errors stay
}

TEST(UnitFaults, HungUnitAnswersNothingAfterNBytes) {
    TUnitConfig c;
    c.Faults.HangAfterBytes = 4;
    TUnitBench b(c);
    EXPECT_EQ(b.Cmd("S"), "VORIZORUV\r");
    EXPECT_EQ(b.Cmd("M00"), "\r");
    b.link.Write("S");
    const TSimTime before = b.link.Clock().Now();
    EXPECT_TRUE(b.link.Read(1, 2s).empty());
    EXPECT_EQ(b.link.Clock().Now(), before + 2s); // exactly the time-out, no real wait
    EXPECT_TRUE(b.unit.Hung());
    b.unit.Reset();
    EXPECT_EQ(b.Cmd("S"), "");
}

TEST(UnitFaults, LinkCutInThePageLeavesEarlierPagesAndLosesThatOne) {
    TUnitConfig c;
    c.Faults.CutInPage = TPageCut{2, 10};
    TUnitBench b(c);
    auto& chip = b.Insert("24C256");
    b.AllAcknowledged({"M00", "Z", "D05"});
    std::string page(64, 'a');
    EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', 0}), B({'w', 0}), B({'W', 64}) + page}), "");
    page.assign(64, 'b');
    EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', 0}), B({'w', 64})}), "");
    EXPECT_EQ(b.Cmd(B({'W', 64}) + page), "");
    EXPECT_TRUE(b.unit.LinkCut());
    EXPECT_EQ(b.Cmd("S"), "");
    EXPECT_EQ(std::count(chip.Memory().begin(), chip.Memory().begin() + 64, 'a'), 64);
    EXPECT_EQ(std::count(chip.Memory().begin() + 64, chip.Memory().begin() + 128, 0xFF), 64);
    // Replugged: the probe works and the chip is reachable again (the next
    // START abandons the half page).
    b.unit.Reconnect();
    EXPECT_EQ(b.Cmd("*"), "\r");
    EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', 0}), B({'w', 64}), B({'W', 64}) + page}), "");
    EXPECT_EQ(std::count(chip.Memory().begin() + 64, chip.Memory().begin() + 128, 'b'), 64);
    EXPECT_EQ(chip.WriteCycles(), 2u);
}

TEST(UnitFaults, ANoisyLineFlipsEveryNthByteReadButNotTheChip) {
    TUnitConfig c;
    c.Faults.NoisyReadEvery = 5;
    TUnitBench b(c);
    auto& chip = b.Insert("24C02");
    b.AllAcknowledged({"M00", "Z"});
    const std::string erased(8, '\xFF');
    std::string noisy = erased;
    noisy[4] = '\xFE'; // the 5th byte sent
    for (const std::string& want : {noisy, std::string("\xFF\xFE\xFF\xFF\xFF\xFF\xFE\xFF", 8)}) {
        EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', 0}), "X", B({'w', 0xA1})}), "");
        EXPECT_EQ(b.Cmd(B({'R', 8})), want + "\r");
        EXPECT_EQ(b.Cmd("x"), "\r");
    }
    EXPECT_EQ(std::count(chip.Memory().begin(), chip.Memory().end(), 0xFF), 256);
}

TEST(UnitFaults, APartialCommandIsDroppedAfterTheCommandTimeout) {
    TUnitBench b;
    b.link.Write("M0");
    b.link.Sleep(400ms);
    EXPECT_EQ(b.Cmd("1"), "\r"); // still within the time-out: "M01"
    EXPECT_EQ(b.unit.Bus(), TUnitBus::SPI);
    b.link.Write("M0");
    b.link.Sleep(600ms);
    // The probe after a broken command is answered as a command of its own.
    EXPECT_EQ(b.Cmd("*"), "\r");
    EXPECT_EQ(b.unit.Bus(), TUnitBus::SPI);
    const auto commands = b.unit.Transcript().Commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[1].Note, "abandoned: the arguments stopped arriving");
}

} // namespace
