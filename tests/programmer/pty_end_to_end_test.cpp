// The serial driver end to end through a real pseudo-terminal to the pty
// tool (pty_session.h), for each family, and a unit that stops answering
// during the open.
#include "pty_session.h"
#include "unit_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

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
    ProgramReadVerifyAndADifference(unit.Path(), c.Device, c.Organisation);
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
