// norvoisp-cli with the CH341A kind on the emulated board: the commands,
// the USB path of --port and the I2C speed of --clock. Run twice: on the
// emulated board (NORVOISP_CH341_SIM), and on the computer's USB, which
// ctest then puts on the stand-in libusb with the board behind it.
#include "cli_run.h"
#include "common/temp_dir.h"
#include "standin_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

class CliCh341 : public ::testing::Test {
  protected:
    TTempDir FDir{"cli-ch341"};
    TScopedEnv FRegistry{"NORVOISP_REGISTRY", FDir.File("registry.reg").c_str()};
    TScopedEnv FImages{"NORVOISP_SIM_IMAGE", FDir.Path().c_str()};
    TScopedEnv FSim{"NORVOISP_CH341_SIM", OnLibUsbStandIn() ? nullptr : "1"};
    TScopedEnv FTrace{"NORVOISP_CH341_TRACE", FDir.File("trace.txt").c_str()};
    std::unique_ptr<TScopedEnv> FSocket;

    std::string File(const std::string& Name) const { return FDir.File(Name); }
    Result Board(std::vector<std::string> Args) {
        // On the stand-in the socket holds what the command names.
        const auto device = std::find(Args.begin(), Args.end(), "--device");
        if (device != Args.end() && device + 1 != Args.end()) {
            FSocket.reset();
            FSocket = std::make_unique<TScopedEnv>("NORVOISP_LIBUSB_CHIP", device[1].c_str());
        }
        Args.insert(Args.begin() + 1, {"--hardware", "ch341a (usb)"});
        return Cli(Args);
    }
};

TEST_F(CliCh341, ProgramVerifyAndReadBack) {
    std::string image(2048, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 13 + 1);
    WriteBytes(File("in.bin"), image);
    auto r = Board({"program", "--device", "24C16", "--file", File("in.bin")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("EEPROM: Verify Complete - "), std::string::npos) << r.out;
    // The chip keeps its memory in the image file between the two runs.
    r = Board({"read", "--device", "24C16", "--file", File("out.bin"), "--to", "11", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadBytes(File("out.bin")), image);
    // On the stand-in the replies came through libusb.
    if (OnLibUsbStandIn()) {
        EXPECT_GT(LibUsbStandInStats().in_with_data, 100u);
    }
}

TEST_F(CliCh341, PortIsTheBoardsUsbPath) {
    auto r = Board({"erase", "--device", "25C040", "--port", "1-1", "--quiet"});
    EXPECT_EQ(r.code, 0) << r.err;
    r = Board({"erase", "--device", "25C040", "--port", "3-2.1", "--quiet"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.substr(0, 56), "CH341A (USB): No CH341A found at USB bus 3, port 2.1 (th");
    r = Board({"erase", "--device", "25C040", "--port", "COM1"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("option --port needs a USB path such as 1-1.4"), std::string::npos) << r.err;
}

TEST_F(CliCh341, ClockSetsTheI2CSpeed) {
    for (const auto& [word, setting] : {std::pair<const char*, const char*>{"slow", "aa 60 00"},
                                        {"medium", "aa 61 00"},
                                        {"fast", "aa 62 00"}}) {
        std::remove(File("trace.txt").c_str());
        auto r = Board({"erase", "--device", "24C02", "--clock", word, "--quiet"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(ReadBytes(File("trace.txt")).find(setting), std::string::npos) << word;
    }
}

} // namespace
