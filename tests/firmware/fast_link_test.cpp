// The serial driver on the real firmware around the link: the fast link
// negotiated at open (the fastest rate that answers, the operator's cap,
// the fall-back when the board's USB-serial chip cannot make a rate, the
// unit left at 115 200 at close or found at a fast rate by the next open),
// and the driver's side of the unit's mends: the message for an I2C bus
// without pull-ups, and a hung unit that the watchdog brings back.
#include "firmware_rig.h"
#include "programmer/unit/smart_dongle.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace std::chrono_literals;

std::uint8_t Pattern(int i) {
    return static_cast<std::uint8_t>(i * 5 + (i >> 8) + 1);
}

// Programs and verifies the part; "" when both pass.
std::string ProgramAndVerify(TFirmwareRig& Rig) {
    Rig.FillBuffer(Pattern);
    std::string failure = MessageOf([&] { Rig.Driver.ProgramFlash(Rig.Buffer); });
    if (failure == "(nothing raised)") failure = MessageOf([&] { Rig.Driver.VerifyFlash(Rig.Buffer); });
    return failure == "(nothing raised)" ? "" : failure;
}

std::string Sent(const TAvrLink& Link, std::size_t From = 0) {
    return std::string(Link.Sent().begin() + static_cast<long>(From), Link.Sent().end());
}

TEST(FirmwareFastLink, TakesTheFastestRateTheUsbSerialChipCanMake) {
    struct TCase {
        TUsbSerialChip Chip;
        std::uint32_t Baud;
    };
    // CP2102 runs a request for 1 Mbaud at 921 600 and has no 2 Mbaud.
    const TCase cases[] = {{TUsbSerialChip::Exact, 2000000},
                           {TUsbSerialChip::ATmega16U2, 2000000},
                           {TUsbSerialChip::CH340, 2000000},
                           {TUsbSerialChip::FT232R, 2000000},
                           {TUsbSerialChip::CP2102, 115200}};
    for (const auto& c : cases) {
        TFirmwareRig rig("24C32");
        rig.Link.SetAdapter(c.Chip);
        ASSERT_TRUE(rig.Driver.HardwareOpen()) << UsbSerialChipName(c.Chip);
        EXPECT_TRUE(rig.Driver.UnitFastLink());
        EXPECT_EQ(rig.Driver.LineBaud(), c.Baud) << UsbSerialChipName(c.Chip);
        EXPECT_EQ(rig.Unit.Mcu().Baud(), c.Baud == 115200 ? 117647u : c.Baud) << UsbSerialChipName(c.Chip);
        if (c.Chip == TUsbSerialChip::CP2102) {
            // Both fast rates tried and given up (the probe at the new rate
            // unanswered, the one at 115 200 answered), each within a
            // quarter second of the 1 s line sequence.
            EXPECT_EQ(Sent(rig.Link), "*SvE01lL02**L01**");
            EXPECT_LT(rig.Link.Now(), 1500ms);
        }
        EXPECT_EQ(ProgramAndVerify(rig), "") << UsbSerialChipName(c.Chip);
        EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData) << UsbSerialChipName(c.Chip);
    }
}

TEST(FirmwareFastLink, TheOperatorsCapAndAUnitLeftAtAFastRate) {
    // 1 Mbaud at most.
    {
        TFirmwareRig rig("24C02");
        rig.Settings.SetSetting("NORVO ISP (COM)", TSmartSerial::kMaxBaudKey, ss_global,
                                std::int32_t{1000000});
        ASSERT_TRUE(rig.Driver.HardwareOpen());
        EXPECT_EQ(rig.Driver.LineBaud(), 1000000u);
        EXPECT_EQ(Sent(rig.Link), "*SvE01lL01*");
        EXPECT_EQ(ProgramAndVerify(rig), "");
    }
    // 115 200: the bytes of a unit without the fast link.
    {
        TFirmwareRig rig("24C02");
        rig.Settings.SetSetting("NORVO ISP (COM)", TSmartSerial::kMaxBaudKey, ss_global,
                                std::int32_t{115200});
        ASSERT_TRUE(rig.Driver.HardwareOpen());
        EXPECT_EQ(rig.Driver.LineBaud(), 115200u);
        EXPECT_FALSE(rig.Driver.UnitFastLink());
        EXPECT_EQ(Sent(rig.Link), "*SvE01");
        EXPECT_EQ(ProgramAndVerify(rig), "");
    }
    // Closing leaves the unit at 115 200; a program that ends without
    // closing leaves it at 2 Mbaud, and the next open's first probe sends
    // it back (a framing error), so the second probe is answered.
    TFirmwareRig rig("24C02");
    ASSERT_TRUE(rig.Driver.HardwareOpen());
    rig.Driver.HardwareClose();
    rig.Link.Sleep(1ms); // the unit switches once its acknowledgement is out
    rig.Link.InputCount();
    EXPECT_EQ(rig.Unit.Mcu().Baud(), 117647u);
    ASSERT_TRUE(rig.Driver.HardwareOpen());
    EXPECT_EQ(rig.Unit.Mcu().Baud(), 2000000u);
    rig.Driver.DeInitHardwareDriver(); // the port goes, the unit stays at 2 Mbaud
    const std::size_t before = rig.Link.Sent().size();
    ASSERT_TRUE(rig.Driver.HardwareOpen());
    EXPECT_EQ(Sent(rig.Link, before), "**SvE01lL02*");
    EXPECT_EQ(ProgramAndVerify(rig), "");
}

TEST(FirmwareFastLink, ReadsBlocksOf256Bytes) {
    TFirmwareRig rig("24C256");
    ASSERT_TRUE(rig.Driver.HardwareOpen());
    EXPECT_EQ(rig.Driver.UnitRing(), 256u);
    const std::size_t before = rig.Link.Sent().size();
    rig.Driver.ReadFlash(rig.Buffer);
    const std::string read = Sent(rig.Link, before);
    std::size_t blocks = 0;
    for (std::size_t at = read.find(std::string("R\0", 2)); at != std::string::npos;
         at = read.find(std::string("R\0", 2), at + 2))
        ++blocks;
    EXPECT_EQ(blocks, 2 * 32768u / 256); // each block twice, compared (the default)
    EXPECT_EQ(rig.Buffer.HexData, rig.Chip().Memory());
}

TEST(FirmwareFastLink, ASequentialReadKeepsReadsAheadOfTheReplies) {
    // A whole 25C256 as one READ: 128 blocks, four "R" on the line ahead
    // of the reply being read.
    TFirmwareRig rig("25C256");
    for (std::size_t i = 0; i < rig.Chip().Size(); ++i)
        rig.Chip().Memory()[i] = Pattern(static_cast<int>(i));
    ASSERT_TRUE(rig.Driver.HardwareOpen());
    rig.Driver.EnableProgramming();
    rig.Driver.Start();
    for (const std::uint8_t b : {0x03, 0x00, 0x00})
        rig.Driver.writebyte(b);
    std::vector<std::uint8_t> data(rig.Chip().Size());
    rig.Driver.ReadSequential(data);
    rig.Driver.Stop();
    EXPECT_EQ(data, rig.Chip().Memory());
    EXPECT_EQ(rig.Unit.Breaches(), std::vector<std::string>{});
}

TEST(FirmwareDriverMends, AnI2CBusWithoutPullUpsIsNamed) {
    TFirmwareRig rig("24C02");
    rig.Unit.SetI2CPullUps(false);
    ASSERT_TRUE(rig.Driver.HardwareOpen());
    const std::string failure = ProgramAndVerify(rig);
    EXPECT_EQ(failure.rfind("no pull-up on SDA/SCL or a chip holds the bus", 0), 0u) << failure;
    EXPECT_NE(failure.find("4.7 k"), std::string::npos) << failure;
    // Fitted, the next operation works.
    rig.Unit.SetI2CPullUps(true);
    EXPECT_EQ(ProgramAndVerify(rig), "");
}

TEST(FirmwareDriverMends, AHungUnitIsFoundAgainByTheReopen) {
    // The unit hangs between two operations. The next one's family
    // selection times out; by the time the driver has reopened the port
    // the watchdog has restarted the unit (at 115 200 baud), and the probe
    // finds it: the operation goes through.
    TFirmwareRig rig("24C16");
    ASSERT_TRUE(rig.Driver.HardwareOpen());
    rig.Unit.Mcu().Hang();
    EXPECT_EQ(ProgramAndVerify(rig), "");
    EXPECT_EQ(rig.Unit.Mcu().WatchdogResets(), 1u);
    EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData);
}

} // namespace
