// The serial driver end to end through a real pseudo-terminal to the pty
// tool (pty_session.h), for each family, and a unit that stops answering
// during the open.
#include "pty_session.h"
#include "unit_process.h"

#include <gtest/gtest.h>

#include <thread>

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
