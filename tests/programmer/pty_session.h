// The serial driver end to end through a real pseudo-terminal to a pty tool
// (norvoisp-unitsim, or norvoisp-avrsim with the real firmware): program,
// read back, verify and a deliberate difference. The pauses of the open and
// of Microwire writes are skipped by a clock that does not sleep; every
// limit still runs on real time.
#pragma once

#include "catalogue/device_list.h"
#include "errors/errors.h"
#include "programmer/driver_host.h"
#include "programmer/unit/smart_serial.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The whole run against the unit on PtyPath (as COM4), with Organisation 8
// or 16 for a 93C part (0: the driver's default).
inline void ProgramReadVerifyAndADifference(const std::string& PtyPath, const char* Device,
                                            int Organisation) {
    TISPSettings settings;
    settings.SetSetting("COMPORTS", "COM4", ss_global, PtyPath);
    settings.SetSetting("NORVO ISP (COM)", "BASEPORT", ss_global, std::int32_t{3});
    TDevice* device = DeviceList().GetNewDeviceInstance(Device, TProgrammerSupport{pk_eisp});
    ASSERT_NE(device, nullptr);
    TNoPauseClock clock;
    TLog log;
    SetDriverHost(&log);
    TSmartSerial driver;
    driver.SetHardwareName("NORVO ISP (COM)");
    driver.SetSaveLocation(&settings);
    driver.SetDevice(device);
    driver.SetClock(&clock);
    driver.WriteTiming(static_cast<std::uint8_t>(Organisation ? Organisation : 16));
    SmartDongle::PageSize = device->PageSize();

    ASSERT_TRUE(driver.HardwareOpen());
    EXPECT_EQ(driver.CommDriver()->DeviceName(), "\\\\.\\COM4");
    EXPECT_EQ(driver.CommDriver()->DevicePath(), PtyPath);
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
    EXPECT_EQ(settings.GetString("COMPORTS", "COM4", ""), PtyPath);
}
