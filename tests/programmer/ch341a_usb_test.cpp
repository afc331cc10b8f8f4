// The CH341A kind on the computer's USB: libusb, loaded by the program,
// which these tests put on the stand-in (tests/libusb) with the board
// emulator behind it. Every family through the real path, and what only
// that path shows: reply packets of at most 32 bytes, a host that stalls
// while the chip's write cycle is polled, a cable pulled during a transfer,
// no permission, a board in use, an empty 93C adapter.
#include "ch341a_rig.h"
#include "errors/errors.h"
#include "standin_control.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using TClock = std::chrono::steady_clock;

std::uint8_t Pattern(int i) {
    return static_cast<std::uint8_t>((i * 7) ^ (i >> 8) ^ (i >> 16) * 0x5A);
}

class Ch341Usb : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!OnLibUsbStandIn()) GTEST_SKIP() << "runs on the stand-in libusb only";
    }
};

// Program, read back and verify, and the traffic was what the board takes.
void ProgramReadVerify(TCh341Rig& Rig) {
    Rig.FillBuffer(Pattern);
    Rig.Driver->ProgramFlash(Rig.Buffer);
    THexList back;
    back.SetSizeof(Rig.Buffer.Size());
    Rig.Driver->ReadFlash(back);
    EXPECT_EQ(back.HexData, Rig.Buffer.HexData);
    Rig.Driver->VerifyFlash(Rig.Buffer);
    EXPECT_EQ(Rig.Buffer.Status(static_cast<int>(Rig.Buffer.Size()) - 1), TProgStatus{ps_verified});
}

TEST_F(Ch341Usb, EveryFamilyThroughLibUsb) {
    struct TPart {
        const char* Device;
        int Organisation;
        const char* AddressPins; // the 24LC1025 works only with its A2 pin tied high
    };
    const TPart parts[] = {{"24C02", 16, "0"},   {"24C256", 16, "0"},   {"24C512", 16, "0"},
                           {"24C1024", 16, "0"}, {"24LC1025", 16, "4"}, {"24M01", 16, "0"},
                           {"25C256", 16, "0"},  {"25HP512", 16, "0"},  {"93C46", 8, "0"},
                           {"93C86", 16, "0"}};
    for (const auto& [device, organisation, pins] : parts) {
        SCOPED_TRACE(device);
        TScopedEnv wired("NORVOISP_LIBUSB_BUS", pins);
        TCh341Rig rig(TCh341Rig::TLibUsb{}, device, organisation);
        rig.Open();
        const standin_stats s0 = LibUsbStandInStats();
        ProgramReadVerify(rig);
        const standin_stats s1 = LibUsbStandInStats();
        // Nothing the board could not take apart; every IN transfer came
        // back with its packet.
        EXPECT_EQ(s1.malformed, 0u);
        EXPECT_EQ(s1.in_cancelled - s0.in_cancelled, 0u);
        EXPECT_EQ(s1.in_with_data - s0.in_with_data, s1.in_submitted - s0.in_submitted);
        rig.Driver->HardwareClose();
        EXPECT_EQ(LibUsbStandInStats().handles_open, 0u);
    }
}

TEST_F(Ch341Usb, AHostThatStallsWhileAWriteCycleIsPolledDoesNotFailIt) {
    // The host stalls for 40 ms after the answer to the first poll, longer
    // than the 20 ms limit of a 5 ms part: the next poll was sent in time,
    // and its answer, however late, does not end the wait.
    for (const char* device : {"24C02", "25C040", "93C46"}) {
        SCOPED_TRACE(device);
        TCh341Rig rig(TCh341Rig::TLibUsb{}, device);
        rig.Open();
        rig.FillBuffer(Pattern);
        {
            TScopedEnv stall("NORVOISP_LIBUSB_STALL", "40");
            rig.Driver->ProgramFlash(rig.Buffer);
        }
        rig.Driver->VerifyFlash(rig.Buffer);
    }
}

TEST_F(Ch341Usb, AWriteCycleThatNeverEndsIsGivenUpOnceAPollSentAfterTheLimitFindsItBusy) {
    // The board's clock runs at the modelled pace of its USB round trips,
    // far ahead of the host's clock with the stand-in answering at once:
    // thousands of polls within the driver's 20 ms are seconds on the board
    // (more still on a loaded machine, where the real time that passes is
    // added). A cycle that never ends has to outlast all of them.
    TScopedEnv slow("NORVOISP_LIBUSB_WRITE_TIME", "3600000");
    TCh341Rig rig(TCh341Rig::TLibUsb{}, "24C02");
    rig.Open();
    rig.FillBuffer(Pattern);
    const auto start = TClock::now();
    EXPECT_EQ(MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); }),
              "Program/erase BUSY timed out (still busy after 20 ms)");
    const auto waited = TClock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(20));
    EXPECT_LT(waited, std::chrono::seconds(2));
}

TEST_F(Ch341Usb, ACablePulledDuringATransferIsReportedAsDisconnected) {
    TCh341Rig rig(TCh341Rig::TLibUsb{}, "24C256");
    rig.Open();
    rig.FillBuffer(Pattern);
    {
        TScopedEnv pull("NORVOISP_LIBUSB_PULL", "40");
        std::string hardware;
        EXPECT_EQ(MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); }, &hardware),
                  "CH341A disconnected during the operation: plug it in again and repeat the operation");
        EXPECT_EQ(hardware, "CH341A (USB)");
        EXPECT_FALSE(rig.Driver->IsOpen());
        EXPECT_EQ(MessageOf([&] { rig.Driver->VerifyFlash(rig.Buffer); }).substr(0, 15), "No CH341A found");
    }
    // Plugged in again.
    ProgramReadVerify(rig);
}

TEST_F(Ch341Usb, OpenFailuresOnTheRealPath) {
    TCh341Rig rig(TCh341Rig::TLibUsb{}, "24C02");
    {
        TScopedEnv access("NORVOISP_LIBUSB_OPEN", "access");
        EXPECT_EQ(MessageOf([&] { rig.Open(); }),
                  "CH341A: permission denied: " + Ch341PermissionFix(UdevRuleFolders()));
    }
    {
        TScopedEnv busy("NORVOISP_LIBUSB_CLAIM", "busy");
        EXPECT_EQ(MessageOf([&] { rig.Open(); }),
                  "CH341A in use by another program: close the program that holds it (flashrom, ch341eeprom, "
                  "another norvoisp) and try again");
    }
    rig.Settings.SetSetting("CH341A (USB)", "USBPATH", ss_global, std::string("1-4"));
    EXPECT_EQ(
        MessageOf([&] { rig.Open(); }),
        "No CH341A found at USB bus 1, port 4 (there is one at USB bus 1, port 1): plug it in there, or "
        "choose it in the options (--port 1-1)");
}

TEST_F(Ch341Usb, AnEmpty93CAdapterStopsTheProgrammingAtOnce) {
    TCh341Rig rig(TCh341Rig::TLibUsb{}, "93C46");
    TScopedEnv empty("NORVOISP_LIBUSB_CHIP", "");
    rig.Open();
    rig.FillBuffer(Pattern);
    const auto before = LibUsbStandInStats().out_submitted;
    EXPECT_EQ(
        MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); }),
        "The 93C46 does not answer (DO stays high after a read command): check that it sits in its adapter "
        "the right way round and that its ORG pin matches the organisation chosen");
    // The bus set-up and the read: nothing was written.
    EXPECT_LE(LibUsbStandInStats().out_submitted - before, 2u);
}

} // namespace
