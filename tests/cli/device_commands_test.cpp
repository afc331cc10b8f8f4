// The device commands of norvoisp-cli on the hidden simulated kind,
// in-process: program, read, verify, erase and the status register, their
// output lines and exit codes.
#include "cli_run.h"
#include "common/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

// A temporary folder holding the registry file and the simulated chip's
// images for the test's lifetime.
class CliDevice : public ::testing::Test {
  protected:
    TTempDir FDir{"cli"};
    TScopedEnv FRegistry{"NORVOISP_REGISTRY", FDir.File("registry.reg").c_str()};
    TScopedEnv FImages{"NORVOISP_SIM_IMAGE", FDir.Path().c_str()};

    std::string File(const std::string& Name) const { return FDir.File(Name); }
    void Write(const std::string& Name, const std::string& Bytes) const {
        std::ofstream(File(Name), std::ios::binary) << Bytes;
    }
    std::string Read(const std::string& Name) const {
        std::ifstream in(File(Name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Runs a device command on the simulated unit.
    Result Sim(std::vector<std::string> Args) {
        Args.insert(Args.begin() + 1, {"--hardware", "norvo isp (sim)"});
        return Cli(Args);
    }
};

// "text - mm:ss" with any elapsed time.
::testing::AssertionResult Completes(const std::string& Out, const std::string& Line) {
    if (std::regex_search(Out,
                          std::regex("(^|\n)" + std::regex_replace(Line, std::regex(R"([()])"), R"(\$&)") +
                                     R"( - \d\d:\d\d\n)")))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no line \"" << Line << " - mm:ss\" in:\n" << Out;
}

std::string Image(std::size_t Size, int Seed) {
    std::string s(Size, '\0');
    for (std::size_t i = 0; i < Size; ++i)
        s[i] = static_cast<char>(i * 7 + Seed);
    return s;
}

TEST_F(CliDevice, ProgramVerifiesThenReadGivesTheImageBack) {
    const std::string image = Image(32768, 3);
    Write("in.bin", image);
    auto r = Sim({"program", "--device", "24C256", "--file", File("in.bin")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("File Load: File loaded (as a Binary file)\nEEPROM: Programming\n", 0), 0u)
        << r.out;
    EXPECT_TRUE(Completes(r.out, "EEPROM: Programming Complete"));
    EXPECT_TRUE(Completes(r.out, "EEPROM: Verify Complete"));
    EXPECT_EQ(r.err, "");

    r = Sim({"read", "--device", "24C256", "--file", File("out.bin")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Completes(r.out, "EEPROM: Read Complete"));
    EXPECT_EQ(Read("out.bin"), image);

    // Intel hex unless the name ends in .bin; another format by its code.
    r = Sim({"read", "--device", "24C256", "--file", File("out.hex"), "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Read("out.hex").substr(0, 1), ":");
    r = Sim({"read", "--device", "24C256", "--file", File("out.s"), "--to", "6"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Read("out.s").substr(0, 1), "S");

    // A text file loads by its detected format.
    r = Sim({"verify", "--device", "24C256", "--file", File("out.hex")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("File Load: File loaded (Intel", 0), 0u) << r.out;
}

TEST_F(CliDevice, ADifferenceIsListedAndFails) {
    std::string image = Image(256, 0);
    Write("a.bin", image);
    ASSERT_EQ(Sim({"program", "--device", "24C02", "--file", File("a.bin"), "--no-verify"}).code, 0);
    image[0x10] = 0x5A;
    const std::uint8_t programmed = static_cast<std::uint8_t>(0x10 * 7);
    Write("b.bin", image);
    const auto r = Sim({"verify", "--device", "24C02", "--file", File("b.bin")});
    EXPECT_EQ(r.code, 1);
    char expected[80];
    std::snprintf(expected, sizeof expected, "Verify Failed at 0010h: Read %02Xh - Should have been 5Ah\n",
                  programmed);
    EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "EEPROM: Verification Failed - 1 bytes had errors\n");
}

TEST_F(CliDevice, EraseAndEveryFamily) {
    for (const auto& [device, org] : {std::pair<const char*, const char*>{"24C16", "16"},
                                      {"25C080", "16"},
                                      {"93C66", "8"},
                                      {"93C86", "16"}}) {
        const std::size_t size = std::string(device) == "24C16"    ? 2048
                                 : std::string(device) == "25C080" ? 1024
                                 : std::string(device) == "93C66"  ? 512
                                                                   : 2048;
        Write("f.bin", Image(size, 9));
        auto r =
            Sim({"program", "--device", device, "--org", org, "--file", File("f.bin"), "--polarity", "low"});
        EXPECT_EQ(r.code, 0) << device << r.err;
        r = Sim({"erase", "--device", device, "--org", org});
        EXPECT_EQ(r.code, 0) << device << r.err;
        EXPECT_EQ(r.out.rfind("Erase: Erasing Device\n", 0), 0u) << r.out;
        EXPECT_TRUE(Completes(r.out, "Erase: Complete"));
        r = Sim({"read", "--device", device, "--org", org, "--file", File("e.bin")});
        EXPECT_EQ(r.code, 0) << device << r.err;
        EXPECT_EQ(Read("e.bin"), std::string(size, '\xFF')) << device;
    }
}

TEST_F(CliDevice, StatusRegisterOfA25CDevice) {
    auto r = Sim({"write-status", "8Ch", "--device", "25C040"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Programming: STATUS REGISTER\n", 0), 0u);
    EXPECT_TRUE(Completes(r.out, "STATUS REGISTER: Programmed "));
    r = Sim({"read-status", "--device", "25C040"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Completes(r.out, "STATUS REGISTER: Read Complete"));
    EXPECT_NE(r.out.find("Status Register: 10001100 8Ch (Write Protection Enable Pin: Enabled, Block Write "
                         "Protection: Level 3 -  ALL)\n"),
              std::string::npos)
        << r.out;
    // The protected chip refuses the data; the verify says why that may be.
    Write("z.bin", std::string(512, '\0'));
    r = Sim({"program", "--device", "25C040", "--file", File("z.bin")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "EEPROM: Verification Failed - Block protection may be enabled\n");
    EXPECT_EQ(Sim({"write-status", "0x00", "--device", "25C040"}).code, 0);
    EXPECT_EQ(Sim({"program", "--device", "25C040", "--file", File("z.bin")}).code, 0);
}

TEST_F(CliDevice, FailuresOfTheProgrammerExitOne) {
    Write("s.bin", std::string(256, '\xA5'));
    // The chip's address pins are 0: nothing answers on bus number 1.
    auto r = Sim({"program", "--device", "24C02", "--bus", "1", "--file", File("s.bin")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "NORVO ISP (SIM): Program/erase BUSY timed out\n");
    // A serial port that does not exist.
    r = Cli({"erase", "--device", "24C02", "--port", "/dev/norvoisp-none"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "NORVO ISP (COM):Communications Error (/dev/norvoisp-none: No such file or directory)\n");
    // No printer port access here.
    r = Cli({"erase", "--device", "24C02", "--hardware", "Norvo ISP (LPT)", "--port", "LPT2"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "NORVO ISP (LPT): LPT port not found or in use by another program\n");
}

TEST_F(CliDevice, UsageAndInputErrorsExitTwo) {
    Write("big.bin", std::string(300, 'x'));
    const std::vector<std::vector<std::string>> cases{
        {"program", "--file", "x.bin"},
        {"program", "--device", "27C512", "--file", "x.bin"},
        {"program", "--device", "24C02"},
        {"program", "--device", "24C02", "--file", File("missing.bin")},
        {"program", "--device", "24C02", "--file", File("big.bin")},
        {"erase", "--device", "24C02", "--hardware", "Norvo ISP (USB)"},
        {"erase", "--device", "24C02", "--org", "12"},
        {"erase", "--device", "24C02", "--polarity", "sideways"},
        {"erase", "--device", "24C02", "--clock", "turbo"},
        {"erase", "--device", "24C02", "--bus", "16"},
        {"erase", "--device", "24C02", "--delay", "256"},
        {"erase", "--device", "24C02", "--port", "ttyS0"},
        {"erase", "--device", "24C02", "--hardware", "Norvo ISP (LPT)", "--port", "LPT4"},
        {"erase", "--device", "24C02", "extra"},
        {"read", "--device", "24C02", "--file", "x", "--to", "12"},
        {"read-status", "--device", "24C02"},
        {"write-status", "--device", "25C040"},
        {"write-status", "300", "--device", "25C040"},
        {"write-status", "xyz", "--device", "25C040"},
    };
    for (const auto& args : cases) {
        const auto r = Cli(args);
        EXPECT_EQ(r.code, 2) << args[0] << " " << args.back() << "\n" << r.out << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(Cli({"program", "--help"}).code, 0);
}

TEST_F(CliDevice, UsageErrorsSayWhatIsWrong) {
    const struct {
        std::vector<std::string> Args;
        const char* Line;
    } cases[] = {
        {{"verify", "--device", "24C02"}, "norvoisp-cli verify: option --file is required"},
        {{"program", "--file", "x.bin"}, "norvoisp-cli program: option --device is required"},
        {{"read", "--device", "24C02", "--file", "x", "y"}, "norvoisp-cli read: unexpected argument \"y\""},
        {{"erase", "--device", "24C02", "--polarity", "sideways"},
         "norvoisp-cli erase: option --polarity needs low, high or off"},
        {{"erase", "--device", "24C02", "--clock", "turbo"},
         "norvoisp-cli erase: option --clock needs fast, medium or slow"},
        // 8 to 15 would make select bytes no chip answers.
        {{"erase", "--device", "24C02", "--bus", "8"},
         "norvoisp-cli erase: option --bus needs a number from 0 to 7"},
        // Below the unit's own rate, or above the fast link's.
        {{"erase", "--device", "24C02", "--baud", "9600"},
         "norvoisp-cli erase: option --baud needs a number from 115200 to 2000000"},
    };
    for (const auto& c : cases) {
        const auto r = Cli(c.Args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.Line);
    }
}

TEST_F(CliDevice, TheWriteDelayAndClockOptionsReachTheUnit) {
    setenv("NORVOISP_SIM_TRANSCRIPT", File("t.txt").c_str(), 1);
    Write("d.bin", std::string(128, '\x01'));
    const auto r = Sim({"program", "--device", "24C01", "--file", File("d.bin"), "--delay", "12", "--clock",
                        "slow", "--polarity", "high", "--no-verify"});
    unsetenv("NORVOISP_SIM_TRANSCRIPT");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string t = Read("t.txt");
    for (const char* text : {"E20", "P01", "D0C"})
        EXPECT_NE(t.find(text), std::string::npos) << text << "\n" << t.substr(0, 2000);
}

TEST_F(CliDevice, StoredSettingsAreUsedAndLeftAlone) {
    const std::string reg =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\Norvo ISP (SIM)]\r\n"
        "\"EEPROMtime\"=\"9\"\r\n\"EEPROMtimeChosen\"=\"1\"\r\n\"Clockspeed\"=\"16\"\r\n\r\n";
    Write("registry.reg", reg);
    setenv("NORVOISP_SIM_TRANSCRIPT", File("t.txt").c_str(), 1);
    Write("d.bin", std::string(128, '\x02'));
    auto r = Sim({"program", "--device", "24C01", "--file", File("d.bin"), "--no-verify"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string t = Read("t.txt");
    EXPECT_NE(t.find("E10"), std::string::npos);
    EXPECT_NE(t.find("D09"), std::string::npos);
    // An option overrides the stored value of the same key, whatever its letter case.
    std::filesystem::remove(File("t.txt"));
    r = Sim({"program", "--device", "24C01", "--file", File("d.bin"), "--no-verify", "--delay", "6"});
    unsetenv("NORVOISP_SIM_TRANSCRIPT");
    ASSERT_EQ(r.code, 0) << r.err;
    t = Read("t.txt");
    EXPECT_NE(t.find("D06"), std::string::npos);
    EXPECT_EQ(Read("registry.reg"), reg);
    // Shorter than the chip's 5 ms write cycle: the next page finds it busy.
    r = Sim({"program", "--device", "24C01", "--file", File("d.bin"), "--delay", "3"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "NORVO ISP (SIM): Program/erase BUSY timed out\n");
}

// Older versions stored every device's default as "EEPROMtime": a 93C86's
// 2 ms there is no choice of the operator's, and a 24C part gets its own 5 ms.
TEST_F(CliDevice, AWriteDelayStoredWithoutChoiceGivesWayToTheDevices) {
    Write("registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\Norvo ISP (SIM)]\r\n"
                          "\"EEPROMtime\"=\"2\"\r\n\r\n");
    setenv("NORVOISP_SIM_TRANSCRIPT", File("t.txt").c_str(), 1);
    Write("d.bin", std::string(128, '\x03'));
    const auto r = Sim({"program", "--device", "24C01", "--file", File("d.bin")});
    unsetenv("NORVOISP_SIM_TRANSCRIPT");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string t = Read("t.txt");
    EXPECT_NE(t.find("D05"), std::string::npos) << t.substr(0, 1000);
    EXPECT_EQ(t.find("D02"), std::string::npos);
}

} // namespace
