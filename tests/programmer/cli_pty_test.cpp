// norvoisp-cli on the serial kind through a real pseudo-terminal to the pty
// tool: programs and verifies a sample file. This is the one test that runs
// the open's line sequence in real time (4 x 250 ms); differences over the
// pty are covered by pty_end_to_end_test.cpp with the pauses skipped.
#include "cli/cli_command.h"
#include "unit_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

TEST(CliOverPty, ProgramsAndVerifiesASampleFile) {
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("norvoisp-clipty-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(dir);
    setenv("NORVOISP_REGISTRY", (dir + "/registry.reg").c_str(), 1);
    {
        std::ofstream hex(dir + "/sample.hex");
        // 16 bytes at 0x0010 and an end record.
        hex << ":10001000000102030405060708090A0B0C0D0E0F68\n:00000001FF\n";
    }
    TUnitProcess unit({"--chip", "24C256"});
    std::ostringstream out, err;
    int code = RunCli({"program", "--device", "24C256", "--hardware", "Norvo ISP (COM)", "--port",
                       unit.Path(), "--file", dir + "/sample.hex"},
                      out, err);
    EXPECT_EQ(code, 0) << err.str();
    EXPECT_NE(out.str().find("EEPROM: Programming Complete - 00:0"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("EEPROM: Verify Complete - 00:0"), std::string::npos) << out.str();

    unsetenv("NORVOISP_REGISTRY");
    std::filesystem::remove_all(dir);
}

} // namespace
