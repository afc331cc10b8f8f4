// Whole-device read and verify for every family: blocks, mismatch lines,
// per-byte status, the two failure messages, and failures in the middle.
#include "errors/errors.h"
#include "programmer/algorithms/family_algorithms.h"
#include "sim_rig.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::string VerifyFailure(TSimRig& rig) {
    try {
        rig.Driver->VerifyFlash(rig.Buffer);
    } catch (const EVerifyError& e) {
        return e.Message();
    }
    return "";
}

TEST(Verify, OneWrongByteIsLoggedMarkedAndCounted) {
    TSimRig rig("24C02");
    rig.Open();
    rig.FillBuffer([](int i) { return i == 0x10 ? std::uint8_t{0x5A} : static_cast<std::uint8_t>(i); });
    rig.Chip().Memory() = rig.Buffer.HexData;
    rig.Chip().Memory()[0x10] = 0x00;
    rig.Buffer.StatusArray()[0x20] = TProgStatus(ps_failed); // an earlier status is replaced
    EXPECT_EQ(VerifyFailure(rig), "EEPROM: Verification Failed - 1 bytes had errors");
    EXPECT_EQ(rig.Host.Lines,
              (std::vector<std::string>{"Verify Failed at 0010h: Read 00h - Should have been 5Ah"}));
    for (std::uint32_t i = 0; i < 256; ++i)
        ASSERT_EQ(rig.Buffer.GetStatus(i), i == 0x10 ? TProgStatus(ps_failed) : TProgStatus(ps_verified))
            << i;
    EXPECT_EQ(rig.Commands().back(), "$");
}

TEST(Verify, TheMessagePerFamilyAndFullMatches) {
    for (const char* name : {"24C64", "25C160", "93C76"}) {
        TSimRig rig(name);
        rig.Open();
        rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i * 31); });
        rig.Chip().Memory() = rig.Buffer.HexData;
        EXPECT_EQ(VerifyFailure(rig), "") << name;
        for (std::uint32_t i = 0; i < rig.Buffer.Size(); ++i)
            ASSERT_EQ(rig.Buffer.GetStatus(i), TProgStatus(ps_verified)) << name << " " << i;

        rig.Chip().Memory()[3] ^= 0xFF;
        rig.Chip().Memory()[rig.Chip().Size() - 1] ^= 0x01;
        const std::string expected = rig.Device->ProgrammerId() == FAMILY_25C
                                         ? "EEPROM: Verification Failed - Block protection may be enabled"
                                         : "EEPROM: Verification Failed - 2 bytes had errors";
        EXPECT_EQ(VerifyFailure(rig), expected) << name;
        ASSERT_EQ(rig.Host.Lines.size(), 2u) << name;
        // Addresses of at least four digits, upper-case hex.
        EXPECT_EQ(rig.Host.Lines[0].substr(0, 24), "Verify Failed at 0003h: ") << name;
    }
}

// An image with gaps, as a data file leaves it, after an earlier load that
// did not fit (every byte failed) or an earlier verify against a blank part
// (data bytes failed, gaps verified): programming leaves the marks, the
// verify that follows replaces every one of them.
TEST(Verify, AfterProgramEveryByteIsVerifiedWhateverItsEarlierMark) {
    for (const char* name : {"24C256", "25C256"}) {
        for (const bool earlierVerify : {false, true}) {
            TSimRig rig(name);
            rig.Open();
            rig.FillBuffer([](int i) {
                return (i < 0x40 || i >= 0x100) && i < 0x2000 ? static_cast<std::uint8_t>(i * 7 + 1) : 0xFF;
            });
            if (earlierVerify) {
                EXPECT_NE(VerifyFailure(rig), "") << name;
                ASSERT_EQ(rig.Buffer.GetStatus(0x10), TProgStatus(ps_failed));
                ASSERT_EQ(rig.Buffer.GetStatus(0x80), TProgStatus(ps_verified));
            } else {
                rig.Buffer.InvalidateData();
            }
            const std::vector<TProgStatus> before = rig.Buffer.StatusArray();
            rig.Driver->ProgramFlash(rig.Buffer);
            EXPECT_EQ(rig.Buffer.StatusArray(), before) << name;
            EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData) << name;
            EXPECT_EQ(VerifyFailure(rig), "") << name;
            for (std::uint32_t i = 0; i < rig.Buffer.Size(); ++i)
                ASSERT_EQ(rig.Buffer.GetStatus(i), TProgStatus(ps_verified)) << name << " " << i;
        }
    }
}

TEST(Verify, ALogThatRefusesLinesIsClearedAndTheVerifyGoesOn) {
    TSimRig rig("24C01");
    rig.Open();
    rig.Host.RefuseLines = true;
    rig.FillBuffer([](int) { return std::uint8_t{0x00}; }); // the chip is erased: every byte differs
    EXPECT_EQ(VerifyFailure(rig), "EEPROM: Verification Failed - 128 bytes had errors");
    EXPECT_EQ(rig.Host.Clears, 128);
    EXPECT_EQ(rig.Buffer.GetStatus(127), TProgStatus(ps_failed));
}

TEST(Read, FillsTheBufferWithoutTouchingTheStatus) {
    TSimRig rig("25C320");
    rig.Open();
    for (std::size_t i = 0; i < rig.Chip().Size(); ++i)
        rig.Chip().Memory()[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    rig.Buffer.Clear();
    std::vector<std::pair<int, int>> progress;
    rig.Driver->SetOnProgressUpdate([&](int i, int m) { progress.emplace_back(i, m); });
    rig.Driver->ReadFlash(rig.Buffer);
    EXPECT_EQ(rig.Buffer.HexData, rig.Chip().Memory());
    for (std::uint32_t i = 0; i < rig.Buffer.Size(); ++i)
        ASSERT_EQ(rig.Buffer.GetStatus(i), TProgStatus(ps_normal));
    // (0, size), then before each block its start.
    ASSERT_EQ(progress.size(), 1u + 4096 / 32);
    EXPECT_EQ(progress[1], (std::pair<int, int>{0, 4096}));
    EXPECT_EQ(progress.back(), (std::pair<int, int>{4064, 4096}));
}

TEST(Read, MicrowireUsesTheDevicePageWhateverThePanelSet) {
    TSimRig rig("93C46");
    rig.Open();
    SmartDongle::PageSize = 4;
    std::vector<int> starts;
    rig.Driver->SetOnProgressUpdate([&](int i, int) { starts.push_back(i); });
    rig.Driver->ReadFlash(rig.Buffer);
    // The read goes by the device's page; the block size the panel set is
    // the operator's and stays as it was.
    EXPECT_EQ(SmartDongle::PageSize, 4);
    EXPECT_EQ(starts, (std::vector<int>{0, 0, 16, 32, 48, 64, 80, 96, 112}));
    EXPECT_EQ(rig.Buffer.HexData, rig.Chip().Memory());
}

TEST(Read, AFailureInTheMiddleKeepsTheBlocksReadSoFar) {
    TSimRig rig("24C02");
    rig.Open();
    for (std::size_t i = 0; i < 256; ++i)
        rig.Chip().Memory()[i] = 0x42;
    rig.Buffer.Clear();
    errno = 0;
    const int niceBefore = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    // Fail the 11th page read: the first read of the sixth block (each
    // block is read twice).
    rig.Driver->Unit().Faults().CommandFaults.push_back({TCommandFault::TKind::Error, 'R', 11, 'T'});
    EXPECT_THROW(rig.Driver->ReadFlash(rig.Buffer), EISPException);
    EXPECT_EQ(rig.Buffer.HexData[19], 0x42);
    EXPECT_EQ(rig.Buffer.HexData[20], 0xFF);
    EXPECT_NE(rig.Commands().back(), "$");
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))), niceBefore);
}

// A byte garbled on its way from the chip (the link has no checksum) reads
// differently the second time: the read fails with the unstable addresses
// instead of keeping the wrong byte. Read once, it goes unnoticed.
TEST(Read, EveryBlockIsReadTwiceAndAByteThatDiffersFailsTheRead) {
    struct TCase {
        const char* Device;
        char Letter;         // the unit's command that reads the data
        std::size_t Address; // where the 5th of them reads first
    };
    // 24C02: four bytes a page read, 25C040: sixteen, 93C46 (x16): a byte
    // each, high byte first.
    for (const TCase& c : {TCase{"24C02", 'R', 8}, TCase{"25C040", 'R', 32}, TCase{"93C46", 'r', 5}}) {
        SCOPED_TRACE(c.Device);
        for (const TReadCheck check : {rc_Compared, rc_Single}) {
            TUnitConfig unit;
            TCommandFault garble;
            garble.Kind = TCommandFault::TKind::Garble;
            garble.Letter = c.Letter;
            garble.Nth = 5;
            garble.Byte = 0x01;
            unit.Faults.CommandFaults.push_back(garble);
            TSimRig rig(c.Device, unit);
            rig.Open();
            for (std::size_t i = 0; i < rig.Chip().Size(); ++i)
                rig.Chip().Memory()[i] = static_cast<std::uint8_t>(i * 7);
            rig.Driver->ReadCheck = check;
            rig.Buffer.Clear();
            const std::string failure = MessageOf([&] { rig.Driver->ReadFlash(rig.Buffer); });
            if (check == rc_Single) {
                EXPECT_EQ(failure, "(nothing raised)");
                EXPECT_NE(rig.Buffer.HexData, rig.Chip().Memory()) << "the garbled byte is kept";
                continue;
            }
            EXPECT_EQ(failure, "EVerifyError: EEPROM: Read Unstable - 1 bytes differed between two reads");
            const std::uint8_t chip = rig.Chip().Memory()[c.Address];
            EXPECT_EQ(rig.Host.Lines,
                      (std::vector<std::string>{UnstableByteLine(c.Address, chip ^ 1, chip)}));
            EXPECT_EQ(rig.Commands().back(), "$") << "the read went to the end";
        }
    }
    EXPECT_EQ(UnstableByteLine(0x63, 0x5A, 0x5B), "Read Unstable at 0063h: Read 5Ah, then 5Bh");
}

// A program broken off in the middle of a page (its acknowledgement lost)
// leaves the page in the chip, selected; the next run's family selection
// ends it and its write cycle begins. The read after that waits the cycle
// out: a 25C part ignores a read meanwhile, its output floating (FFh), and
// both reads of the block would agree on that.
TEST(Read, APageABrokenRunLeftInTheChipIsWrittenBeforeTheNextRead) {
    for (const char* name : {"24C02", "25C040"}) {
        SCOPED_TRACE(name);
        TUnitConfig unit;
        unit.Faults.CommandFaults.push_back({TCommandFault::TKind::Acknowledge, 'W', 6, 'x'});
        TSimRig rig(name, unit);
        rig.Open();
        rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i * 5 + 1); });
        EXPECT_NE(MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); }), "(nothing raised)");
        rig.Driver->HardwareClose();
        rig.Driver->HardwareOpen();
        THexList back;
        back.SetSizeof(rig.Buffer.Size());
        back.Clear();
        EXPECT_EQ(MessageOf([&] { rig.Driver->ReadFlash(back); }), "(nothing raised)");
        EXPECT_EQ(back.HexData, rig.Chip().Memory());
        const std::size_t page = static_cast<std::size_t>(rig.Device->PageSize());
        EXPECT_EQ(back.HexData[5 * page], rig.Buffer.HexData[5 * page]) << "the sixth page was written";
    }
}

TEST(Read, APageSizeOutsideOneByteIsRefused) {
    for (int bad : {0, -4, 256}) {
        TSimRig rig("24C02");
        rig.Open();
        SmartDongle::PageSize = bad;
        try {
            rig.Driver->ReadFlash(rig.Buffer);
            ADD_FAILURE() << bad;
        } catch (const EISPException& e) {
            EXPECT_EQ(e.Message(), "Invalid page size " + std::to_string(bad));
        }
        const auto sent = rig.Commands();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "%"), 0);
    }
}

TEST(Read, ABufferSmallerThanTheDeviceIsRefused) {
    TSimRig rig("24C02");
    rig.Open();
    rig.Buffer.SetSizeof(100);
    try {
        rig.Driver->ReadFlash(rig.Buffer);
        FAIL();
    } catch (const EISPException& e) {
        EXPECT_EQ(e.Message(), "The buffer is smaller than the 24C02");
    }
    EXPECT_THROW(rig.Driver->ProgramFlash(rig.Buffer), EISPException);
    EXPECT_THROW(rig.Driver->VerifyFlash(rig.Buffer), EISPException);
}

TEST(Program, APageSizeThatDoesNotDivideTheDeviceStopsAtItsEnd) {
    TSimRig rig("24C02");
    rig.Open();
    SmartDongle::PageSize = 3; // 85 pages and one byte
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i); });
    rig.Driver->ProgramFlash(rig.Buffer);
    // The last transfer carries the one byte left, not bytes from past the buffer.
    const auto c = rig.Commands();
    EXPECT_EQ(std::vector<std::string>(c.end() - 5, c.end()),
              (std::vector<std::string>{"X", "w A0", "w FF", "W 01 FF", "$"}));
    EXPECT_EQ(rig.Chip().Memory()[255], 0xFF);
    EXPECT_EQ(rig.Chip().Memory()[254], 0xFE);
}

} // namespace
