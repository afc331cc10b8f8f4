// The kinds the driver module registers at start-up, and the simulated
// kinds' chip socket: the chip, its image file and the transcript file.
#include "chips/eeprom_25c.h"
#include "common/temp_dir.h"
#include "errors/errors.h"
#include "kinds/hardware.h"
#include "programmer/unit/smart_dongle.h"
#include "programmer/unit/smart_serial.h"
#include "sim_kinds/sim_kinds.h"
#include "sim_rig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

TEST(HardwareKinds, RegisteredAtStartUp) {
    // The programmer unit's two kinds keep entries 0 and 1, the CH341A
    // comes after them, and the simulated unit after every kind that drives
    // hardware, offered under a caption that says what it is.
    EXPECT_EQ(GetAllHardwareAsList(), (std::vector<std::string>{"NORVO ISP (LPT)", "NORVO ISP (COM)",
                                                                "CH341A (USB)", "NORVO ISP (SIM)"}));
    EXPECT_EQ(GetHardwareIndex("norvo isp (com)"), 1);
    EXPECT_EQ(GetHardwareIndex("ch341a (usb)"), 2);
    EXPECT_EQ(GetHardwareIndex("Norvo ISP (SIM)"), 3);
    EXPECT_TRUE(GetHardware(3).Visible);
    EXPECT_EQ(GetHardware(3).Caption, "Simulated unit");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(GetHardware(i).Caption, "") << i;
    for (int i : {0, 1, 3})
        EXPECT_EQ(GetHardwareType(i), TProgrammerSupport{pk_eisp});
    EXPECT_EQ(GetHardwareType(2), TProgrammerSupport{pk_usb});
    EXPECT_EQ(CheckValidHardware("Norvo ISP (USB)"), "NORVO ISP (LPT)");
    EXPECT_EQ(CheckValidHardware("norvo isp (sim)"), "norvo isp (sim)");

    auto lpt = GetNewHardwareInstance(0);
    EXPECT_NE(dynamic_cast<TSmartParallel*>(lpt.get()), nullptr);
    EXPECT_EQ(dynamic_cast<TSmartSerial*>(lpt.get()), nullptr);
    auto com = GetNewHardwareInstance(1);
    EXPECT_NE(dynamic_cast<TSmartSerial*>(com.get()), nullptr);
    EXPECT_EQ(com->HardwareName(), "NORVO ISP (COM)");
    EXPECT_TRUE(com->HasOptions());
    EXPECT_TRUE(com->HasStatus());
    EXPECT_NE(dynamic_cast<TSmartSim*>(GetNewHardwareInstance(3).get()), nullptr);
}

TEST(HardwareKinds, TheParallelKindWithoutAPrinterPort) {
    auto lpt = GetNewHardwareInstance(0);
    lpt->SetDevice(DeviceList().GetNewDeviceInstance("24C02", TProgrammerSupport{pk_eisp}));
    try {
        lpt->HardwareOpen();
        FAIL() << "the test environment points the port device nowhere";
    } catch (const EISPException& e) {
        EXPECT_EQ(e.Message(), "LPT port not found or in use by another program");
        EXPECT_EQ(e.HardwareName, "NORVO ISP (LPT)");
    }
}

TEST(HardwareKinds, TheSerialKindOnAMissingPort) {
    TISPSettings settings;
    settings.SetSetting("COMPORTS", "COM7", ss_global, std::string("/dev/norvoisp-no-such-port"));
    settings.SetSetting("NORVO ISP (COM)", "BASEPORT", ss_global, std::int32_t{6});
    auto com = GetNewHardwareInstance(1);
    com->SetSaveLocation(&settings);
    com->SetDevice(DeviceList().GetNewDeviceInstance("24C02", TProgrammerSupport{pk_eisp}));
    try {
        com->HardwareOpen();
        FAIL();
    } catch (const EComError& e) {
        EXPECT_EQ(e.Message(), "/dev/norvoisp-no-such-port: No such file or directory");
    }
}

TEST(SimKind, OptionsFromTheEnvironment) {
    {
        TScopedEnv bus("NORVOISP_SIM_BUS", "9");
        try {
            TSimOptions::FromEnvironment();
            FAIL();
        } catch (const EISPException& e) {
            EXPECT_EQ(e.Message(), "NORVOISP_SIM_BUS must be a number from 0 to 7 (it is \"9\")");
        }
    }
    {
        TScopedEnv org("NORVOISP_SIM_ORG", "12");
        EXPECT_THROW(TSimOptions::FromEnvironment(), EISPException);
    }
    TScopedEnv baud("NORVOISP_SIM_BAUD", "0");
    TScopedEnv bus("NORVOISP_SIM_BUS", "3");
    TScopedEnv org("NORVOISP_SIM_ORG", "8");
    const TSimOptions o = TSimOptions::FromEnvironment();
    EXPECT_EQ(o.BaudRate, 0u);
    EXPECT_EQ(o.AddressPins, 3);
    EXPECT_EQ(o.Organisation, 8);
}

TEST(SimKind, TheImageKeepsTheChipBetweenRuns) {
    TTempDir dir;
    TSimOptions options;
    options.Image = dir.File("chip.bin");
    {
        TSimRig rig("24C02", {}, options);
        rig.Open();
        rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i + 1); });
        rig.Driver->ProgramFlash(rig.Buffer);
        rig.Driver->HardwareClose();
    }
    EXPECT_EQ(std::filesystem::file_size(dir.File("chip.bin")), 256u);
    {
        TSimRig rig("24C02", {}, options);
        rig.Open();
        rig.Driver->ReadFlash(rig.Buffer);
        EXPECT_EQ(rig.Buffer.HexData[0], 1);
        EXPECT_EQ(rig.Buffer.HexData[255], 0);
    }
    // An image larger than the selected device is refused with its reason.
    TSimRig small("24C01", {}, options);
    EXPECT_THROW(small.Driver->HardwareOpen(), EISPException);
}

TEST(SimKind, AFolderKeepsOneImagePerDeviceAndADeviceSwitchSwapsTheChip) {
    TTempDir dir;
    TSimOptions options;
    options.Image = dir.Path();
    TSimRig rig("24C01", {}, options);
    rig.Open();
    rig.FillBuffer([](int) { return std::uint8_t{0xA5}; });
    rig.Driver->ProgramFlash(rig.Buffer);

    TDevice* other = DeviceList().GetNewDeviceInstance("25C040", TProgrammerSupport{pk_eisp});
    rig.Driver->SetDevice(other);
    SmartDongle::PageSize = other->PageSize();
    THexList buffer;
    buffer.SetSizeof(512);
    rig.Driver->ReadFlash(buffer);
    EXPECT_EQ(rig.Chip().Name(), "25C040");
    EXPECT_EQ(buffer.HexData, std::vector<std::uint8_t>(512, 0xFF));
    EXPECT_EQ(std::filesystem::file_size(dir.File("24C01.bin")), 128u);
    rig.Driver->HardwareClose();
    EXPECT_TRUE(std::filesystem::exists(dir.File("25C040.bin")));
}

TEST(SimKind, The93COrganisationFollowsTheDriverUnlessFixed) {
    TSimRig rig("93C46");
    rig.Driver->WriteTiming(8);
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i); });
    rig.Driver->ProgramFlash(rig.Buffer);
    rig.Driver->WriteTiming(16);
    EXPECT_NO_THROW(rig.Driver->VerifyFlash(rig.Buffer)); // same bytes, read as words

    TSimOptions fixed;
    fixed.Organisation = 8;
    TSimRig strapped("93C46", {}, fixed);
    strapped.Open();
    strapped.FillBuffer([](int i) { return static_cast<std::uint8_t>(i); });
    strapped.Driver->WriteTiming(16); // the operator chose x16, the chip is strapped x8
    strapped.Driver->ProgramFlash(strapped.Buffer);
    try {
        strapped.Driver->VerifyFlash(strapped.Buffer);
        FAIL() << "an x16 read of an x8 chip";
    } catch (const EISPException& e) {
        // Nine command bits where the chip takes ten: no dummy 0 after the address.
        EXPECT_EQ(e.Message(), "Microwire exchange out of sync");
    }
}

TEST(SimChipSocket, A25CChipKeepsItsProtectionBitsBesideItsImage) {
    TTempDir dir;
    TSimOptions options;
    options.Image = dir.File("chip.bin");
    TISPProgrammer driver;
    driver.SetHardwareName("NORVO ISP (SIM)");
    driver.SetDevice(DeviceList().GetNewDeviceInstance("25C040", TProgrammerSupport{pk_eisp}));
    {
        TSimChipSocket socket(driver, options);
        TProgrammerUnit unit;
        socket.EnsureChip(unit, *driver.Device());
        auto* chip = dynamic_cast<T25CChip*>(unit.Chip());
        ASSERT_NE(chip, nullptr);
        chip->Memory()[0x1FF] = 0x42;
        chip->SetNonVolatileStatus(0x8C);
        socket.SaveImage(unit);
    }
    std::ifstream status(dir.File("chip.bin.status"), std::ios::binary);
    EXPECT_EQ(status.get(), 0x8C); // WPEN, BP1, BP0
    EXPECT_EQ(status.get(), EOF);
    {
        TSimChipSocket socket(driver, options);
        TProgrammerUnit unit;
        socket.EnsureChip(unit, *driver.Device());
        auto* chip = dynamic_cast<T25CChip*>(unit.Chip());
        ASSERT_NE(chip, nullptr);
        EXPECT_EQ(chip->Memory()[0x1FF], 0x42);
        EXPECT_EQ(chip->Status() & 0x8C, 0x8C);
    }
    // A chip model's refusal leaves as the hardware's error: the image is
    // larger than a 25C010.
    driver.SetDevice(DeviceList().GetNewDeviceInstance("25C010", TProgrammerSupport{pk_eisp}));
    TSimChipSocket socket(driver, options);
    TProgrammerUnit unit;
    try {
        socket.EnsureChip(unit, *driver.Device());
        FAIL() << "an image larger than the chip";
    } catch (const EISPException& e) {
        EXPECT_EQ(e.HardwareName, "NORVO ISP (SIM)");
    }
    EXPECT_EQ(unit.Chip(), nullptr);
}

TEST(SimChipSocket, TheTranscriptFileFollowsTheUnitItIsPutOn) {
    TTempDir dir;
    TISPProgrammer driver;
    TSimOptions options;
    options.Transcript = dir.Path(); // a folder
    EXPECT_THROW(TSimChipSocket(driver, options), EISPException);

    options.Transcript = dir.File("unit.log");
    TSimChipSocket socket(driver, options);
    TProgrammerUnit first, second;
    EXPECT_EQ(socket.TranscriptUnit(), nullptr);
    socket.AttachTranscript(first);
    socket.AttachTranscript(first); // once is enough
    first.Transcript().AddEvent(TSimTime{}, "on the first unit");
    socket.AttachTranscript(second);
    EXPECT_EQ(socket.TranscriptUnit(), &second);
    second.Transcript().AddEvent(TSimTime{}, "on the second unit");
    first.Transcript().SetSink(nullptr);
    second.Transcript().SetSink(nullptr);

    std::ifstream in(dir.File("unit.log"));
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto count = [&](const std::string& text) {
        std::size_t n = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("on the first unit"), 1u);
    EXPECT_EQ(count("on the second unit"), 1u);
}

} // namespace
