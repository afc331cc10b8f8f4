// The serial driver end to end through a real pseudo-terminal to the pty
// tool: program, read back, verify, and a deliberate difference, for each
// family. The pauses of the open and of Microwire writes are skipped by a
// clock that does not sleep; every limit still runs on real time.
#include "catalogue/device_list.h"
#include "errors/errors.h"
#include "programmer/driver_host.h"
#include "programmer/unit/smart_serial.h"
#include "settings/settings_store.h"
#include "unit_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// Real time, no pauses.
class TNoPauseClock : public TLinkClock {
  public:
    TLinkTime Now() override { return SystemLinkClock().Now(); }
    void Sleep(TLinkDuration) override {}
};

struct TLog : TDriverHost {
    std::vector<std::string> Lines;
    const TFusePanel* FusePanel() const override { return nullptr; }
    void AddStatusLine(const std::string& Line) override { Lines.push_back(Line); }
    void ClearStatusLog() override { Lines.clear(); }
    std::unique_ptr<TPortOptionsDialog> CreateOptionsDialog() override { return nullptr; }
    void ShowInformation(const std::string&, const std::vector<std::string>&, const std::string&,
                         const std::string&) override {}
};

struct TCase {
    const char* Device;
    int Organisation;
};

class PtyEndToEnd : public ::testing::TestWithParam<TCase> {};

TEST_P(PtyEndToEnd, ProgramReadVerifyAndADifference) {
    const TCase c = GetParam();
    std::vector<std::string> args{"--chip", c.Device};
    if (c.Organisation) args.insert(args.end(), {"--org", std::to_string(c.Organisation)});
    TUnitProcess unit(args);

    TISPSettings settings;
    settings.SetSetting("COMPORTS", "COM4", ss_global, unit.Path());
    settings.SetSetting("NORVO ISP (COM)", "BASEPORT", ss_global, std::int32_t{3});
    TDevice* device = DeviceList().GetNewDeviceInstance(c.Device, TProgrammerSupport{pk_eisp});
    ASSERT_NE(device, nullptr);
    TNoPauseClock clock;
    TLog log;
    SetDriverHost(&log);
    TSmartSerial driver;
    driver.SetHardwareName("NORVO ISP (COM)");
    driver.SetSaveLocation(&settings);
    driver.SetDevice(device);
    driver.SetClock(&clock);
    driver.WriteTiming(static_cast<std::uint8_t>(c.Organisation ? c.Organisation : 16));
    SmartDongle::PageSize = device->PageSize();

    ASSERT_TRUE(driver.HardwareOpen());
    EXPECT_EQ(driver.CommDriver()->DeviceName(), "\\\\.\\COM4");
    EXPECT_EQ(driver.CommDriver()->DevicePath(), unit.Path());
    EXPECT_EQ(driver.CommDriver()->Line()->Kind(), "termios");

    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(device->FlashSize()));
    for (std::uint32_t i = 0; i < buffer.Size(); ++i)
        buffer.HexData[i] = static_cast<std::uint8_t>(i * 11 + (i >> 8));
    driver.ProgramFlash(buffer);

    THexList back;
    back.SetSizeof(buffer.Size());
    driver.ReadFlash(back);
    EXPECT_EQ(back.HexData, buffer.HexData);
    EXPECT_NO_THROW(driver.VerifyFlash(buffer));

    buffer.HexData[0x10] ^= 0xFF;
    EXPECT_THROW(driver.VerifyFlash(buffer), EVerifyError);
    ASSERT_EQ(log.Lines.size(), 1u);
    EXPECT_EQ(log.Lines[0].substr(0, 23), "Verify Failed at 0010h:");
    EXPECT_EQ(buffer.GetStatus(0x10), TProgStatus(ps_failed));
    EXPECT_EQ(buffer.GetStatus(0x11), TProgStatus(ps_verified));

    driver.HardwareClose();
    SetDriverHost(nullptr);
    // The port table the driver used is in the settings now.
    EXPECT_EQ(settings.GetString("COMPORTS", "COM4", ""), unit.Path());
}

INSTANTIATE_TEST_SUITE_P(Families, PtyEndToEnd,
                         ::testing::Values(TCase{"24C256", 0}, TCase{"25C640", 0}, TCase{"93C46", 16},
                                           TCase{"93C56", 8}),
                         [](const auto& Param) {
                             return std::string(Param.param.Device) + "x" +
                                    std::to_string(Param.param.Organisation ? Param.param.Organisation : 0);
                         });

// A fresh USB-serial adapter comes up with the kernel's default line:
// software flow control and CR to NL translation on. Those swallow 0x11 and
// 0x13 and turn every CR into NL; the driver's open must clear them, so an
// image with every byte value programs and reads back exact.
TEST(PtyEndToEnd, EveryByteValueOverALineLeftWithFlowControlOn) {
    TUnitProcess unit({"--chip", "24C04"});
    {
        const int fd = open(unit.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        termios t{};
        ASSERT_EQ(tcgetattr(fd, &t), 0);
        t.c_iflag |= IXON | IXOFF | ICRNL;
        t.c_oflag |= OPOST | ONLCR;
        t.c_cflag |= CRTSCTS;
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
        close(fd);
    }
    TISPSettings settings;
    settings.SetSetting("COMPORTS", "COM1", ss_global, unit.Path());
    TDevice* device = DeviceList().GetNewDeviceInstance("24C04", TProgrammerSupport{pk_eisp});
    TNoPauseClock clock;
    TSmartSerial driver;
    driver.SetSaveLocation(&settings);
    driver.SetDevice(device);
    driver.SetClock(&clock);
    SmartDongle::PageSize = device->PageSize();
    ASSERT_TRUE(driver.HardwareOpen());

    // 512 bytes: every value ascending, then every value descending.
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(device->FlashSize()));
    for (std::uint32_t i = 0; i < buffer.Size(); ++i)
        buffer.HexData[i] = static_cast<std::uint8_t>(i < 256 ? i : 511 - i);
    driver.ProgramFlash(buffer);
    THexList back;
    back.SetSizeof(buffer.Size());
    driver.ReadFlash(back);
    EXPECT_EQ(back.HexData, buffer.HexData);
    EXPECT_NO_THROW(driver.VerifyFlash(buffer));
    driver.HardwareClose();
}

TEST(PtyEndToEndFailures, AUnitThatStopsDuringTheOpen) {
    TUnitProcess unit({"--chip", "24C02", "--hang-after", "1"});
    TISPSettings settings;
    settings.SetSetting("COMPORTS", "COM1", ss_global, unit.Path());
    TNoPauseClock clock;
    TSmartSerial driver;
    driver.SetSaveLocation(&settings);
    driver.SetDevice(DeviceList().GetNewDeviceInstance("24C02", TProgrammerSupport{pk_eisp}));
    driver.SetClock(&clock);
    driver.ByteTimeout = std::chrono::milliseconds(200); // the probe is answered, the identification is not
    try {
        driver.HardwareOpen();
        FAIL();
    } catch (const EISPException& e) {
        EXPECT_EQ(e.Message(), "Programmer was not detected");
    }
}

} // namespace
