// What goes wrong with a CH341A: no board, no permission, a board held by
// another program, a chip that does not answer or stays busy, and the board
// pulled out in the middle of a page.
#include "ch341a_rig.h"
#include "common/temp_dir.h"
#include "errors/errors.h"
#include "kinds/hardware.h"
#include "programmer/ch341a/ch341a_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

// A bus whose open fails the way the USB stack reports it.
struct TFailingBus : TUsbBulkBus {
    TUsbErrorKind Kind;
    std::vector<TUsbDeviceInfo> Boards;
    explicit TFailingBus(TUsbErrorKind K, std::vector<TUsbDeviceInfo> B = {})
        : Kind(K), Boards(std::move(B)) {}
    std::vector<TUsbDeviceInfo> Find(std::uint16_t, std::uint16_t) override { return Boards; }
    std::unique_ptr<TUsbTransfer> Open(const TUsbOpenRequest&) override { throw EUsbError(Kind, "refused"); }
};

std::string OpenFailure(TUsbErrorKind Kind, const std::string& Path = "",
                        std::vector<TUsbDeviceInfo> Boards = {}) {
    TCh341A driver(std::make_unique<TFailingBus>(Kind, std::move(Boards)));
    driver.SetHardwareName("CH341A (USB)");
    TISPSettings settings;
    settings.SetSetting("CH341A (USB)", "USBPATH", ss_global, Path);
    driver.SetSaveLocation(&settings);
    std::string hardware;
    const std::string message = MessageOf([&] { driver.HardwareOpen(); }, &hardware);
    EXPECT_EQ(hardware, "CH341A (USB)");
    return message;
}

TEST(Ch341Open, ThreeFailuresThreeMessagesEachWithItsFix) {
    EXPECT_EQ(OpenFailure(TUsbErrorKind::NotFound),
              "No CH341A found (USB id 1a86:5512): plug the programmer in; 'lsusb' must list 1a86:5512");
    EXPECT_EQ(
        OpenFailure(TUsbErrorKind::NotFound, "1-4", {{"2-1.3", 2, 7}}),
        "No CH341A found at USB bus 1, port 4 (there is one at USB bus 2, port 1.3): plug it in there, or "
        "choose it in the options (--port 2-1.3)");
    EXPECT_EQ(OpenFailure(TUsbErrorKind::Access, "1-4"),
              "CH341A at USB bus 1, port 4: permission denied: " + Ch341PermissionFix(UdevRuleFolders()));
    EXPECT_EQ(OpenFailure(TUsbErrorKind::Busy),
              "CH341A in use by another program: close the program that holds it (flashrom, ch341eeprom, "
              "another norvoisp) and try again");
}

TEST(Ch341Open, WithoutPermissionTheFixDependsOnWhetherTheRuleIsInstalled) {
    // A package installs the rule; a source build has it in dist/udev.
    TTempDir dir("ch341-udev");
    const std::string etc = dir.File("etc"), lib = dir.File("lib");
    std::filesystem::create_directories(etc);
    std::filesystem::create_directories(lib);
    EXPECT_EQ(
        Ch341PermissionFix({etc, lib}),
        "no udev rule gives you the board: install 60-norvoisp.rules from dist/udev of the source tree (sudo "
        "cp dist/udev/60-norvoisp.rules /etc/udev/rules.d/ && sudo udevadm control --reload && sudo "
        "udevadm trigger), then unplug and replug the programmer");
    WriteBytes(lib + "/60-norvoisp.rules", "# rule\n");
    EXPECT_EQ(Ch341PermissionFix({etc, lib}),
              "the udev rule 60-norvoisp.rules is installed (in " + lib +
                  "): unplug and replug the programmer; it gives the board to the user logged in at the "
                  "machine's seat (uaccess, not over ssh) and to the group plugdev (sudo usermod -aG plugdev "
                  "$USER, then log in again)");
    const std::vector<std::string> folders = UdevRuleFolders();
    EXPECT_NE(std::find(folders.begin(), folders.end(), "/usr/lib/udev/rules.d"), folders.end());
    EXPECT_NE(std::find(folders.begin(), folders.end(), "/etc/udev/rules.d"), folders.end());
}

TEST(Ch341Open, ASecondProgramFindsTheBoardInUse) {
    TCh341Rig first("24C02");
    first.Open();
    EXPECT_NE(MessageOf([&] { first.Bus->Open({}); }).find("claimed"), std::string::npos);
}

TEST(Ch341Open, TheSimulationVariableIsChecked) {
    {
        TScopedEnv env("NORVOISP_CH341_SIM", "yes");
        auto driver = GetNewHardwareInstance(GetHardwareIndex("CH341A (USB)"));
        EXPECT_EQ(MessageOf([&] { driver->HardwareOpen(); }),
                  "NORVOISP_CH341_SIM must be 1 (the emulated board) or 0 (it is \"yes\")");
    }
    TScopedEnv env("NORVOISP_CH341_SIM", "1");
    auto driver = GetNewHardwareInstance(GetHardwareIndex("CH341A (USB)"));
    auto* ch341 = dynamic_cast<TCh341A*>(driver.get());
    ASSERT_NE(ch341, nullptr);
    EXPECT_NE(dynamic_cast<TSimCh341Bus*>(ch341->UsbBus()), nullptr);
}

TEST(Ch341Chip, AChipThatDoesNotAnswer) {
    const std::pair<const char*, const char*> cases[] = {
        {"24C256", "The 24C256 does not answer (select byte A0h not acknowledged): check that it sits in the "
                   "socket the right way round and that the device bus number matches its address pins"},
        {"25C256", "The 25C256 does not answer (its status register reads FFh): check that it sits in the "
                   "socket the right way round"},
        // DO floats high without a part: every ready poll would pass.
        {"93C46", "The 93C46 does not answer (DO stays high after a read command): check that it sits in its "
                  "adapter the right way round and that its ORG pin matches the organisation chosen"},
    };
    for (const auto& [device, message] : cases) {
        TCh341Rig rig(device);
        rig.Bus->EmptySocket = true;
        rig.Open();
        rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i); });
        std::string hardware;
        EXPECT_EQ(MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); }, &hardware), message);
        EXPECT_EQ(hardware, "CH341A (USB)");
        EXPECT_TRUE(rig.Host.Lines.empty()) << rig.Host.Lines.front();
    }
    // A 93C part misses its dummy bit on the first read.
    TCh341Rig rig("93C46");
    rig.Bus->EmptySocket = true;
    rig.Open();
    EXPECT_EQ(MessageOf([&] { rig.Driver->ReadFlash(rig.Buffer); }).substr(0, 30),
              "Microwire exchange out of sync");
}

TEST(Ch341Chip, AWriteCycleThatNeverEndsIsBoundedByTheWriteTime) {
    for (const char* device : {"24C02", "25C040", "93C46"}) {
        TCh341Rig rig(device);
        rig.Open();
        rig.Chip().SetWriteTime(std::chrono::seconds(5));
        rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i); });
        const double start = rig.Seconds();
        const std::string message = MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); });
        const int limit = 2 * rig.Device->EEPROMTime() + 10;
        EXPECT_EQ(message, "Program/erase BUSY timed out (still busy after " + std::to_string(limit) + " ms)")
            << device;
        // Given up once a poll sent after the limit, counted from the answer
        // to the first poll, still finds the chip busy: the limit and a few
        // round trips (the first poll's, the last one's, the read a 93C part
        // answers before it is written).
        EXPECT_GE(rig.Seconds() - start, limit / 1000.0) << device;
        EXPECT_LT(rig.Seconds() - start, (limit + 4) / 1000.0) << device;
    }
}

TEST(Ch341Unplug, PulledOutInThePageEndsTheOperationAtOnce) {
    TCh341Rig rig("24C256");
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i * 3); });
    const THexList before = rig.Buffer;
    // Out in the middle of the data of page 11.
    rig.Board().Faults().UnplugAfterOutBytes = rig.Board().Stats().OutBytes + 10 * 105 + 40;
    const double start = rig.Seconds();
    std::string hardware;
    EXPECT_EQ(MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); }, &hardware),
              "CH341A disconnected during the operation: plug it in again and repeat the operation");
    EXPECT_EQ(hardware, "CH341A (USB)");
    EXPECT_LT(rig.Seconds() - start, 0.5); // no time-out waited
    EXPECT_EQ(rig.Buffer.HexData, before.HexData);
    EXPECT_FALSE(rig.Driver->IsOpen());

    // Pages before the cut are written, the cut page is not.
    const auto& memory = rig.Chip().Memory();
    int written = 0;
    while (written < 32768 &&
           memory[static_cast<std::size_t>(written)] == before.HexData[static_cast<std::size_t>(written)])
        ++written;
    EXPECT_EQ(written % 64, 0);
    EXPECT_GE(written, 9 * 64);
    EXPECT_EQ(memory[static_cast<std::size_t>(written)], 0xFF);

    // While it is out the next operation says so; plugged in, it works again.
    EXPECT_EQ(MessageOf([&] { rig.Driver->VerifyFlash(rig.Buffer); }).substr(0, 15), "No CH341A found");
    rig.Board().Replug();
    rig.Driver->ProgramFlash(rig.Buffer);
    rig.Driver->VerifyFlash(rig.Buffer);
}

TEST(Ch341Unplug, AReadCutShortKeepsTheBlocksReadAndNoPartOfTheNext) {
    TCh341Rig rig("24C256");
    rig.Open();
    for (std::size_t i = 0; i < rig.Chip().Memory().size(); ++i)
        rig.Chip().Memory()[i] = static_cast<std::uint8_t>(i ^ 0x3C);
    rig.Buffer.HexData.assign(rig.Buffer.Size(), 0x55);
    rig.Board().Faults().UnplugAfterOutBytes = rig.Board().Stats().OutBytes + 40 * 64 + 20;
    EXPECT_EQ(MessageOf([&] { rig.Driver->ReadFlash(rig.Buffer); }).substr(0, 21), "CH341A disconnected d");
    std::size_t read = 0;
    while (rig.Buffer.HexData[read] == static_cast<std::uint8_t>(read ^ 0x3C))
        ++read;
    EXPECT_EQ(read % 64, 0u);
    EXPECT_GT(read, 0u);
    for (std::size_t i = read; i < rig.Buffer.Size(); ++i)
        ASSERT_EQ(rig.Buffer.HexData[i], 0x55) << i;
}

TEST(Ch341Unplug, AMicrowirePartWorksAgainAfterTheBoardIsPluggedBackIn) {
    TCh341Rig rig("93C46");
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i * 3); });
    rig.Driver->ProgramFlash(rig.Buffer);
    rig.Board().Faults().UnplugAfterOutBytes = rig.Board().Stats().OutBytes + 500;
    EXPECT_EQ(MessageOf([&] { rig.Driver->ProgramFlash(rig.Buffer); }).substr(0, 19), "CH341A disconnected");
    rig.Board().Replug();
    rig.Driver->VerifyFlash(rig.Buffer);
}

} // namespace
