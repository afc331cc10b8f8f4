// norvoisp-cli as scripts use it: "-" for standard input and output (the
// data alone on standard output, the status lines on standard error), the
// warning when plain text loads as binary, and the ports command.
#include "cli/data_file_load.h"
#include "cli_run.h"
#include "common/temp_dir.h"
#include "formats/file_loader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <unistd.h>

namespace {

class CliStreams : public ::testing::Test {
  protected:
    TTempDir FDir{"cli-streams"};
    TScopedEnv FRegistry{"NORVOISP_REGISTRY", FDir.File("registry.reg").c_str()};
    TScopedEnv FImages{"NORVOISP_SIM_IMAGE", FDir.Path().c_str()};

    std::string File(const std::string& Name) const { return FDir.File(Name); }
    void Write(const std::string& Name, const std::string& Bytes) const {
        std::ofstream(File(Name), std::ios::binary) << Bytes;
    }
    // The command line with Input as its standard input.
    static Result WithInput(const std::string& Input, std::vector<std::string> Args) {
        std::istringstream in(Input);
        SetCliInput(&in);
        Result r = Cli(std::move(Args));
        SetCliInput(nullptr);
        return r;
    }
};

std::string Image(std::size_t Size) {
    std::string s(Size, '\0');
    for (std::size_t i = 0; i < Size; ++i)
        s[i] = static_cast<char>(i * 7 + (i >> 8)); // every byte value, also CR, LF, 0x11, 0x13
    return s;
}

TEST_F(CliStreams, DashIsStandardInputAndOutput) {
    const std::string image = Image(2048);
    // program from standard input: nothing on standard output.
    Result r =
        WithInput(image, {"program", "--hardware", "Norvo ISP (SIM)", "--device", "24C16", "--file", "-"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("File Load: File loaded (as a Binary file)\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("EEPROM: Verify Complete - "), std::string::npos) << r.err;

    // read to standard output: the image and nothing else.
    r = Cli({"read", "--hardware", "Norvo ISP (SIM)", "--device", "24C16", "--file", "-", "--to", "11"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, image);
    EXPECT_NE(r.err.find("EEPROM: Read Complete - "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("EEPROM: Binary File Saved (standard output)\n"), std::string::npos) << r.err;

    // read as text to standard output, verify that from standard input.
    r = Cli({"read", "--hardware", "Norvo ISP (SIM)", "--device", "24C16", "--file", "-", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 1), ":");                                 // Intel hex by default
    EXPECT_EQ(r.err.rfind("EEPROM: Read Complete - ", 0), 0u) << r.err; // the one line --quiet keeps
    const std::string hex = r.out;
    r = WithInput(hex, {"verify", "--hardware", "Norvo ISP (SIM)", "--device", "24C16", "--file", "-"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    // (Intel Hex-32 without address records below 64 KiB reads as the 16-bit kind.)
    EXPECT_NE(r.err.find("File Load: File loaded (Intel Intellex 8/MDS)\n"), std::string::npos) << r.err;

    // convert - -: Intel hex in, S-records out, as the writer makes them.
    r = WithInput(hex, {"convert", "-", "-", "--to", "4", "--device", "24C16"});
    ASSERT_EQ(r.code, 0) << r.err;
    THexList buffer;
    buffer.SetSizeof(2048);
    std::copy(image.begin(), image.end(), buffer.HexData.begin());
    TTextLines lines;
    ASSERT_EQ(TFileLoader::SaveToString(lines, buffer, 4), 0);
    EXPECT_EQ(r.out, JoinLines(lines));
    EXPECT_EQ(r.err, "File Load: File loaded (Intel Intellex 8/MDS)\nEEPROM: File Saved (standard output, "
                     "Motorola EXORciser)\n");

    // What cannot be: an image larger than the device, a format that cannot
    // hold the data; nothing reaches standard output.
    r = WithInput(Image(4096), {"convert", "-", "-", "--to", "11", "--device", "24C16"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "File Load - Warning: file larger than device\n");
    Write("high.bin", Image(0x20000));
    r = Cli({"convert", File("high.bin"), "-", "--to", "8"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("EEPROM: File save failed (standard output): Tektronix cannot hold addresses above "
                         "0xFFFF, the data reach 0x1FFFF\n"),
              std::string::npos)
        << r.err;

    // Standard input can feed one unit only: several are refused before any reads it.
    r = WithInput(
        image, {"program", "--device", "24C16", "--file", "-", "--port", "/dev/null", "--port", "/dev/zero"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("standard input (\"-\") can feed one unit only"), std::string::npos) << r.err;
}

TEST_F(CliStreams, PlainTextInNoKnownFormatLoadsWithAWarning) {
    struct TCase {
        const char* Name;
        std::string Bytes;
        bool Warned;
        std::uint8_t First; // the first byte loaded
    };
    const TCase cases[] = {
        {"a note", "Serial numbers for batch 7\r\n", true, 'S'},
        {"a note in UTF-8",
         "Gr\xC3\xBC\xC3\x9F"
         "e\n",
         true, 'G'},
        {"bytes above 0x7F", std::string(16, '\xA5'), false, 0xA5},
        {"hex digits", "0102A5FF", false, 0x01}, // read as byte pairs on purpose
        {"an image", std::string("\x00\x11\xA5\x13", 4), false, 0x00},
        {"hex digits and a line end", "0102A5FF\n", true, '0'},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Write("in", c.Bytes);
        for (const bool stdin : {false, true}) {
            const std::string source = stdin ? "-" : File("in");
            const Result r = stdin ? WithInput(c.Bytes, {"convert", "-", File("out.bin"), "--to", "11"})
                                   : Cli({"convert", source, File("out.bin"), "--to", "11"});
            ASSERT_EQ(r.code, 0) << r.err;
            const std::string warning =
                "File Load - Warning: " + (stdin ? std::string("standard input") : source) +
                " is text in no known data format; its characters are loaded as binary "
                "data\n";
            EXPECT_EQ(r.err.find(warning) != std::string::npos, c.Warned) << r.err;
            std::ifstream out(File("out.bin"), std::ios::binary);
            EXPECT_EQ(static_cast<std::uint8_t>(out.get()), c.First);
        }
    }
}

TEST_F(CliStreams, PortsListsTheTableWithWhatEachDeviceIs) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string pty = ptsname(master);
    Write("registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\COMPORTS]\r\n"
                          "\"COM3\"=\"" +
                              pty + "\"\r\n\"COM9\"=\"/nonexistent/ttyUSB7\"\r\n\r\n");
    const Result r = Cli({"ports"});
    close(master);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Serial ports (--port COMn or the device path):\n", 0), 0u) << r.out;
    EXPECT_NE(
        r.out.find("  COM3  " + pty + "  not listed by the system (a pseudo-terminal or a link to one)\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("  COM9  /nonexistent/ttyUSB7  not present\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Printer ports (--hardware \"Norvo ISP (LPT)\" --port LPTn):\n"), std::string::npos);
    EXPECT_EQ(Cli({"ports", "extra"}).code, 2);
}

} // namespace
