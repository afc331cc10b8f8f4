// norvoisp-cli as scripts use it: "-" for standard input and output (the
// data alone on standard output, the status lines on standard error), the
// warning when plain text loads as binary, and the ports command.
#include "buffer/checksums.h"
#include "cli/data_file_load.h"
#include "cli_run.h"
#include "common/temp_dir.h"
#include "formats/file_loader.h"
#include "production/trace_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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

// Runs Work in a child process and waits for it at most Limit; the exit
// code, or -1 when it had to be killed (it hung).
int InChild(const std::function<int()>& Work, std::chrono::seconds Limit,
            const std::function<void()>& Meanwhile = {}) {
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = Work();
        } catch (...) {
        }
        std::cout.flush();
        std::cerr.flush();
        ::_exit(code);
    }
    if (Meanwhile) Meanwhile();
    const auto deadline = std::chrono::steady_clock::now() + Limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

// A data file that is a pipe (a FIFO, or the shell's <(...)) can be read
// only once: it is, and the record's file_sha256 is that of what was loaded.
TEST_F(CliStreams, ADataFileThatIsAPipeIsReadOnceAndItsChecksumIsOfWhatWasLoaded) {
    const std::string fifo = File("board.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string image = Image(256);
    const int code = InChild(
        [&] {
            return Cli({"program", "--hardware", "Norvo ISP (SIM)", "--device", "24C02", "--file", fifo,
                        "--log", File("trace.jsonl"), "--quiet"})
                .code;
        },
        std::chrono::seconds(60),
        [&] {
            // The writer's end, once: what a process substitution offers.
            const int fd = ::open(fifo.c_str(), O_WRONLY);
            if (fd < 0) return;
            if (::write(fd, image.data(), image.size()) != static_cast<ssize_t>(image.size())) return;
            ::close(fd);
        });
    ASSERT_EQ(code, 0) << "-1: the program waited for the pipe a second time";
    const auto records = ReadTraceLog(File("trace.jsonl"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["result"], "passed");
    EXPECT_EQ(records[0]["file_sha256"], Sha256Of(image));
    // Several units cannot share one pipe: refused before any reads it.
    const Result r =
        Cli({"program", "--device", "24C02", "--file", fifo, "--port", "/dev/null", "--port", "/dev/zero"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("a pipe can feed one unit only"), std::string::npos) << r.err;
}

// Standard input is held once, as a file's bytes are: 16 MiB of blank
// lines around one record fit in a few times their size (not 32 times, as
// one string per line would need).
TEST_F(CliStreams, StandardInputIsHeldOnceNotLineByLine) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit this test sets";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit this test sets";
#endif
#endif
    const std::string input = std::string(16u << 20, '\n') + ":0100000055AA\n:00000001FF\n";
    const int code = InChild(
        [&] {
            // Input, its copy in the stream and what the loader holds: well
            // below this limit; a string per blank line would need 512 MiB.
            const rlimit limit{384u << 20, 384u << 20};
            if (::setrlimit(RLIMIT_AS, &limit) != 0) return 98;
            const Result r =
                WithInput(input, {"convert", "-", File("out.bin"), "--to", "11", "--device", "24C02"});
            if (r.code != 0) std::cerr << r.err;
            return r.code;
        },
        std::chrono::seconds(60));
    ASSERT_NE(code, 98) << "cannot set an address space limit here";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(File("out.bin")).substr(0, 2), "\x55\xFF");
}

// A file without data (empty, or only line ends) is refused with the
// reason: it would load as an image of FFh and program a blank chip.
TEST_F(CliStreams, AFileWithoutDataIsRefusedWithTheReason) {
    const struct {
        const char* Name;
        std::string Bytes;
        const char* Why;
    } cases[] = {{"empty.bin", "", "it is empty"}, {"blank.hex", "\r\n\r\n\r\n\r\n", "only line ends"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Write(c.Name, c.Bytes);
        for (const bool stdin : {false, true}) {
            const std::vector<std::string> args = {
                "program", "--hardware", "Norvo ISP (SIM)",         "--device",
                "24C02",   "--file",     stdin ? "-" : File(c.Name)};
            const Result r = stdin ? WithInput(c.Bytes, args) : Cli(args);
            EXPECT_EQ(r.code, 2) << r.err;
            EXPECT_NE(r.err.find(std::string("holds no data: ") + c.Why), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("Programming"), std::string::npos) << "the chip was programmed";
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
