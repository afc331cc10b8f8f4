// The program's real serial path (termios on a pseudo-terminal) against
// the real firmware: norvoisp-avrsim runs the firmware on the simulated MCU
// in real time, and the serial driver programs, reads back and verifies a
// small part of each family through it; norvoisp-cli does the same with a
// data file. The open's pauses are skipped by a clock that does not sleep,
// except in the command-line case.
#include "cli/cli_command.h"
#include "common/temp_dir.h"
#include "programmer/pty_session.h"
#include "programmer/unit_process.h"
#include "tools/avrsim_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace {

struct TCase {
    const char* Device;
    int Organisation;
};

class AvrSimPty : public ::testing::TestWithParam<TCase> {};

TEST_P(AvrSimPty, ProgramReadVerifyAndADifference) {
    const TCase c = GetParam();
    std::vector<std::string> args{"--chip", c.Device};
    if (c.Organisation) args.insert(args.end(), {"--org", std::to_string(c.Organisation)});
    TUnitProcess unit(AVRSIM_PATH, args);
    ProgramReadVerifyAndADifference(unit.Path(), c.Device, c.Organisation);
}

INSTANTIATE_TEST_SUITE_P(SmallParts, AvrSimPty,
                         ::testing::Values(TCase{"24C02", 0}, TCase{"24C16", 0}, TCase{"25C040", 0},
                                           TCase{"93C46", 8}, TCase{"93C46", 16}),
                         [](const auto& Param) {
                             return std::string(Param.param.Device) + "x" +
                                    std::to_string(Param.param.Organisation);
                         });

TEST(AvrSimCli, ProgramsAndVerifiesADataFile) {
    TTempDir dir("avrsim-cli");
    TScopedEnv registry("NORVOISP_REGISTRY", dir.File("registry.reg").c_str());
    {
        std::ofstream hex(dir.File("sample.hex"));
        hex << ":10001000000102030405060708090A0B0C0D0E0F68\n:00000001FF\n";
    }
    TUnitProcess unit(AVRSIM_PATH, {"--chip", "24C02", "--link", dir.File("unit")});
    std::ostringstream out, err;
    const int code =
        RunCli({"program", "--port", dir.File("unit"), "--device", "24C02", "--file", dir.File("sample.hex")},
               out, err);
    EXPECT_EQ(code, 0) << err.str();
    EXPECT_NE(out.str().find("EEPROM: Programming Complete - 00:0"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("EEPROM: Verify Complete - 00:0"), std::string::npos) << out.str();
}

TEST(AvrSimTool, OptionsAndFirmwareLookup) {
    const auto o = ParseAvrSimOptions({"--chip", "93C46", "--org", "8", "--bus", "3", "--firmware", "x.elf"});
    EXPECT_EQ(o.Chip, "93C46");
    EXPECT_EQ(o.ChipOptions.Organisation, 8);
    EXPECT_EQ(o.ChipOptions.AddressPins, 3);
    EXPECT_EQ(o.Firmware, "x.elf");
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--org", "12"}, {"--bus", "8"}, {"--chip"}, {"--transcript", "t"}})
        EXPECT_THROW(ParseAvrSimOptions(bad), Exception) << bad[0];
    EXPECT_EQ(FindFirmware("given.elf", {"/nonexistent"}), "given.elf");
    EXPECT_EQ(FindFirmware("", {"/nonexistent/a.elf", FIRMWARE_ELF}), FIRMWARE_ELF);
    EXPECT_THROW(FindFirmware("", {"/nonexistent/a.elf"}), Exception);
}

TEST(AvrSimTool, AMissingFirmwareIsReportedAndTheImageSurvivesARun) {
    TTempDir dir("avrsim-tool");
    {
        TUnitProcess unit(AVRSIM_PATH, {"--chip", "24C02", "--image", dir.File("mem.bin")});
        EXPECT_EQ(unit.Stop(), 0);
    }
    std::ifstream image(dir.File("mem.bin"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(image)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, std::string(256, '\xFF'));
    const std::string command = std::string(AVRSIM_PATH) + " --firmware " + dir.File("none.elf") + " 2>" +
                                dir.File("err.txt") + " >/dev/null";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream err(dir.File("err.txt"));
    std::string line;
    std::getline(err, line);
    EXPECT_NE(line.find("does not exist"), std::string::npos) << line;
}

} // namespace
