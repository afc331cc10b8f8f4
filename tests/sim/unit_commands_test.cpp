// The unit's answers to the command table and to malformed commands.
#include "unit_bench.h"

#include <gtest/gtest.h>

namespace {

TEST(UnitCommands, IdentificationVersionsAndPlainCommands) {
    TUnitBench b;
    const std::pair<std::string, std::string> cases[] = {
        {"S", "VORIZORUV\r"}, {"V", "0102\r"}, {"v", "000A\r"}, {"*", "\r"}, {"%", "\r"},
        {"$", "\r"},          {"X", "\r"},     {"x", "\r"},     {"Z", "\r"},
    };
    for (const auto& [sent, reply] : cases)
        EXPECT_EQ(b.Cmd(sent), reply) << sent;
}

TEST(UnitCommands, ReportedIdentityComesFromTheConfiguration) {
    TUnitConfig c;
    c.Identification = "VORIZORUX";
    c.FirmwareVersion = "000B";
    c.HardwareVersion = "0200";
    TUnitBench b(c);
    EXPECT_EQ(b.Cmd("S"), "VORIZORUX\r");
    EXPECT_EQ(b.Cmd("v"), "000B\r");
    EXPECT_EQ(b.Cmd("V"), "0200\r");
}

TEST(UnitCommands, HexTextArgumentsAreCheckedAndStored) {
    TUnitBench b;
    struct TCase {
        std::string sent, reply;
    } cases[] = {
        {"M01", "\r"}, {"M02", "\r"}, {"M03", "?#"}, {"M0a", "?#"}, {"MG0", "?#"},
        {"M 1", "?#"}, {"P00", "\r"}, {"P03", "?#"}, {"E20", "\r"}, {"E2x", "?#"},
        {"D0F", "\r"}, {"DFF", "\r"}, {"D-1", "?#"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(b.Cmd(c.sent), c.reply) << c.sent;
    // Only the accepted values took effect.
    EXPECT_EQ(b.unit.Bus(), TUnitBus::Microwire);
    EXPECT_EQ(b.unit.ResetPolarity(), 0);
    EXPECT_EQ(b.unit.ClockSpeed(), 0x20);
    EXPECT_EQ(b.unit.WriteDelayMs(), 255);
    EXPECT_EQ(b.Cmd("M00"), "\r");
    EXPECT_EQ(b.unit.Bus(), TUnitBus::I2C);
}

TEST(UnitCommands, UnknownLettersAndLineEnds) {
    TUnitBench b;
    EXPECT_EQ(b.Cmd("Q"), "?!");
    EXPECT_EQ(b.Cmd(B({0x00})), "?!");
    EXPECT_EQ(b.Cmd("s"), "?!");
    // A terminal's Enter between commands is not a command.
    EXPECT_EQ(b.Cmd("\r\nS\r\n"), "VORIZORUV\r");
    EXPECT_EQ(b.unit.CommandCount(), 4u);
}

TEST(UnitCommands, ResetRestoresDefaultsAndOffersTheIdentification) {
    TUnitBench b;
    EXPECT_EQ(b.Cmd("M01"), "\r");
    EXPECT_EQ(b.Cmd("D05"), "\r");
    b.unit.Reset();
    EXPECT_EQ(b.ReadAll(), "VORIZORUV");
    EXPECT_EQ(b.unit.Bus(), TUnitBus::I2C);
    EXPECT_EQ(b.unit.WriteDelayMs(), b.unit.Config().DefaultWriteDelayMs);

    TUnitConfig quiet;
    quiet.IdentifyOnReset = false;
    TUnitBench q(quiet);
    q.unit.Reset();
    EXPECT_EQ(q.ReadAll(), "");
}

TEST(UnitCommands, MemoryOperationHoldsTheTargetInResetAtThePolarity) {
    TUnitBench b;
    EXPECT_EQ(b.unit.TargetReset(), TTargetReset::Released);
    b.Cmd("P00");
    b.Cmd("%");
    EXPECT_EQ(b.unit.TargetReset(), TTargetReset::DrivenLow);
    b.Cmd("$");
    EXPECT_EQ(b.unit.TargetReset(), TTargetReset::Released);
    b.Cmd("P01");
    b.Cmd("%");
    EXPECT_EQ(b.unit.TargetReset(), TTargetReset::DrivenHigh);
    b.Cmd("P02");
    EXPECT_EQ(b.unit.TargetReset(), TTargetReset::Released);
    EXPECT_TRUE(b.unit.OperationActive());
}

} // namespace
