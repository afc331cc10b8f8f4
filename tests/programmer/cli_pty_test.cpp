// norvoisp-cli on the serial kind through a real pseudo-terminal to the pty
// tool: programs and verifies a sample file. This is the one test that runs
// the open's line sequence in real time (4 x 250 ms); differences over the
// pty are covered by pty_end_to_end_test.cpp with the pauses skipped.
#include "cli/cli_command.h"
#include "cli/data_file_load.h"
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

    // A persistent /dev/serial/by-id name is a link like any other; the data
    // to verify against come from standard input.
    const std::string byId = dir + "/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    std::filesystem::create_directories(dir + "/by-id");
    std::filesystem::create_symlink(unit.Path(), byId);
    std::ifstream hex(dir + "/sample.hex");
    SetCliInput(&hex);
    std::ostringstream out2, err2;
    code = RunCli({"verify", "--device", "24C256", "--port", byId, "--file", "-"}, out2, err2);
    SetCliInput(nullptr);
    EXPECT_EQ(code, 0) << err2.str();
    EXPECT_EQ(out2.str(), "");
    EXPECT_NE(err2.str().find("EEPROM: Verify Complete - 00:0"), std::string::npos) << err2.str();

    unsetenv("NORVOISP_REGISTRY");
    std::filesystem::remove_all(dir);
}

} // namespace
