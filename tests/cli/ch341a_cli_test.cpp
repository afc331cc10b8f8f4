// norvoisp-cli with the CH341A kind on the emulated board: the commands,
// the USB path of --port and the I2C speed of --clock.
#include "cli_run.h"
#include "common/temp_dir.h"

#include <gtest/gtest.h>

namespace {

class CliCh341 : public ::testing::Test {
  protected:
    TTempDir FDir{"cli-ch341"};
    TScopedEnv FRegistry{"NORVOISP_REGISTRY", FDir.File("registry.reg").c_str()};
    TScopedEnv FImages{"NORVOISP_SIM_IMAGE", FDir.Path().c_str()};
    TScopedEnv FSim{"NORVOISP_CH341_SIM", "1"};
    TScopedEnv FTrace{"NORVOISP_CH341_TRACE", FDir.File("trace.txt").c_str()};

    std::string File(const std::string& Name) const { return FDir.File(Name); }
    Result Board(std::vector<std::string> Args) {
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
