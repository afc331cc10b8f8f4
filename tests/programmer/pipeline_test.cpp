// Pipelined commands for a unit that says it buffers them (probe reply
// "?B"): the same commands in the same order as lock-step, a page's
// commands on the line back to back, the first error of a page raised as
// lock-step raises it with the link in step afterwards, and a unit that goes
// silent in the middle of a page (an abort: i2c_sequences_test.cpp).
#include "errors/errors.h"
#include "sim_rig.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TUnitConfig Buffering(bool On = true) {
    TUnitConfig c;
    c.BuffersCommands = On;
    return c;
}

std::vector<std::uint8_t> AllSent(TSimRig& Rig) {
    return Rig.Driver->Unit().Transcript().AllSent();
}

// Start time of the command with index N (1-based) of the transcript.
TSimTime StartOf(TSimRig& Rig, std::size_t N) {
    return Rig.Driver->Unit().Transcript().Commands().at(N - 1).Time;
}

TEST(Pipeline, TheSameCommandsWithoutTheWaits) {
    for (const char* name : {"24C16", "25C040", "93C46"}) {
        TSimRig lockstep(name, Buffering(false)), pipelined(name, Buffering());
        for (TSimRig* rig : {&lockstep, &pipelined}) {
            rig->Open();
            rig->FillBuffer([](int i) { return static_cast<std::uint8_t>(i * 3); });
            rig->Driver->ProgramFlash(rig->Buffer);
            rig->Driver->VerifyFlash(rig->Buffer);
            rig->Driver->WriteOptionByte(0x00);
            EXPECT_EQ(rig->Driver->ReadOptionByte(), 0x00) << name;
        }
        EXPECT_FALSE(lockstep.Driver->UnitBuffers());
        EXPECT_TRUE(pipelined.Driver->UnitBuffers());
        EXPECT_EQ(AllSent(pipelined), AllSent(lockstep)) << name;
        EXPECT_EQ(pipelined.Chip().Memory(), lockstep.Chip().Memory()) << name;
        EXPECT_LT(pipelined.Seconds(), lockstep.Seconds()) << name;
    }
}

TEST(Pipeline, APagesCommandsGoOutBackToBack) {
    // 24C02 page 1: "X", "w A0", "w 04", "W 04 ..." are commands 6 to 9
    // after the open's "M00", "Z", "P02", "D05", "%" and page 0's four.
    TSimRig lockstep("24C02", Buffering(false)), pipelined("24C02", Buffering());
    for (TSimRig* rig : {&lockstep, &pipelined}) {
        rig->Open();
        rig->Driver->ProgramFlash(rig->Buffer);
    }
    EXPECT_EQ(lockstep.Commands()[9], "X");
    EXPECT_EQ(lockstep.Commands()[12].substr(0, 4), "W 04");
    const auto byteTime = SerialByteTime(115200);
    // From "X" to "W": lock-step sends the five bytes of "X", "w A0", "w 04"
    // and waits for three acknowledgements; pipelined sends only.
    EXPECT_GE(StartOf(lockstep, 13) - StartOf(lockstep, 10), 8 * byteTime);
    EXPECT_LE(StartOf(pipelined, 13) - StartOf(pipelined, 10), 5 * byteTime + byteTime / 2);
}

TEST(Pipeline, TheFirstErrorOfAPageIsRaisedAndTheLinkStaysInStep) {
    // The fifth page's select byte is not acknowledged.
    for (const bool buffering : {false, true}) {
        TUnitConfig unit = Buffering(buffering);
        unit.Faults.CommandFaults.push_back({TCommandFault::TKind::Error, 'w', 9, 'T'});
        TSimRig rig("24C02", unit);
        rig.Open();
        rig.FillBuffer([](int) { return std::uint8_t{0x5A}; });
        EXPECT_EQ(MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); }), "Program/erase BUSY timed out")
            << buffering;
        // Pages 0 to 3 written, the fifth not.
        EXPECT_EQ(rig.Chip().Memory()[15], 0x5A) << buffering;
        EXPECT_EQ(rig.Chip().Memory()[16], 0xFF) << buffering;
        const auto c = rig.Commands();
        // Lock-step stops at the failing command; pipelined sent the rest of
        // that page and nothing after it.
        EXPECT_EQ(c.back().substr(0, 4), buffering ? "W 04" : "w A0") << buffering;
        // The next operation finds the unit in step.
        EXPECT_EQ(MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); }), "(nothing raised)") << buffering;
        EXPECT_NO_THROW(rig.Driver->VerifyFlash(rig.Buffer)) << buffering;
    }
}

TEST(Pipeline, AUnitThatFallsSilentInAPageTimesOutOnce) {
    TUnitConfig unit = Buffering();
    TSimRig rig("24C02", unit);
    rig.Open();
    // The unit freezes after the first two commands of the second page.
    rig.Driver->Unit().Faults().HangAfterBytes = rig.Driver->Unit().BytesReceived() + 16 + 3;
    const double before = rig.Seconds();
    EXPECT_EQ(MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); }), "ISP timed out during operation");
    // One time-out of the acknowledgement, not one for each command sent.
    EXPECT_LT(rig.Seconds() - before, 1.5);
}

} // namespace
