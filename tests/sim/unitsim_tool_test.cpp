// The pty tool: its command line, its image file, and the running tool
// talked to over a real pseudo-terminal.
#include "../ports/unprivileged.h"
#include "common/temp_dir.h"
#include "errors/errors.h"
#include "tools/image_file.h"
#include "tools/unitsim_options.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::string ErrorOf(const std::vector<std::string>& args) {
    try {
        ParseUnitSimOptions(args);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

TEST(UnitSimOptions, ChipAndFaultOptions) {
    const auto o = ParseUnitSimOptions(
        {"--chip",  "93C46",     "--org",        "8",    "--bus",        "5",    "--write-time", "20",
         "--id",    "VORIZORUX", "--firmware",   "0009", "--hang-after", "100",  "--error",      "M1=!",
         "--error", "7=T",       "--ack",        "S=0A", "--cut-page",   "3:17", "--link",       "/tmp/x",
         "--image", "img.bin",   "--transcript", "t.txt"});
    EXPECT_EQ(o.Chip, "93C46");
    EXPECT_EQ(o.ChipOptions.Organisation, 8);
    EXPECT_EQ(o.ChipOptions.AddressPins, 5);
    EXPECT_EQ(o.ChipOptions.WriteTime, std::chrono::milliseconds(20));
    EXPECT_EQ(o.Unit.Identification, "VORIZORUX");
    EXPECT_EQ(o.Unit.FirmwareVersion, "0009");
    EXPECT_EQ(o.Unit.Faults.HangAfterBytes, 100u);
    ASSERT_EQ(o.Unit.Faults.CommandFaults.size(), 3u);
    const auto& f = o.Unit.Faults.CommandFaults;
    EXPECT_EQ(f[0].Letter, 'M');
    EXPECT_EQ(f[0].Nth, 1u);
    EXPECT_EQ(f[0].Byte, '!');
    EXPECT_EQ(f[1].Letter, '\0');
    EXPECT_EQ(f[1].Nth, 7u);
    EXPECT_EQ(f[2].Kind, TCommandFault::TKind::Acknowledge);
    EXPECT_EQ(f[2].Nth, 0u); // every "S"
    EXPECT_EQ(f[2].Byte, 0x0A);
    EXPECT_EQ(o.Unit.Faults.CutInPage->Page, 3u);
    EXPECT_EQ(o.Unit.Faults.CutInPage->AfterBytes, 17u);
    EXPECT_EQ(o.Link, "/tmp/x");
}

TEST(UnitSimOptions, BadValuesAreNamed) {
    EXPECT_EQ(ErrorOf({"--org", "12"}), "Invalid value \"12\" for --org (8 or 16)");
    EXPECT_EQ(ErrorOf({"--bus", "8"}), "Invalid value \"8\" for --bus");
    EXPECT_EQ(ErrorOf({"--bus"}), "Option --bus needs a value");
    EXPECT_EQ(ErrorOf({"--error", "M1"}), "Invalid value \"M1\" for --error (expected WHICH=CODE)");
    EXPECT_EQ(ErrorOf({"--error", "0=T"}), "Invalid value \"0=T\" for --error (commands count from 1)");
    EXPECT_EQ(ErrorOf({"--ack", "S=ABC"}),
              "Invalid value \"ABC\" for --ack (one character or two hex digits)");
    EXPECT_EQ(ErrorOf({"--cut-page", "2"}), "Invalid value \"2\" for --cut-page (PAGE:BYTES)");
    EXPECT_EQ(ErrorOf({"--frobnicate"}), "Unknown option \"--frobnicate\"");
}

TEST(UnitSimImage, LoadSaveAndSizeCheck) {
    TTempDir dir;
    std::vector<std::uint8_t> mem(16, 0xFF);
    EXPECT_FALSE(LoadImageFile(dir.File("none.bin"), mem));
    mem[3] = 0x42;
    SaveImageFile(dir.File("img.bin"), mem);
    std::vector<std::uint8_t> back(16, 0);
    EXPECT_TRUE(LoadImageFile(dir.File("img.bin"), back));
    EXPECT_EQ(back, mem);
    // A shorter image fills the start; a longer one is refused.
    std::vector<std::uint8_t> bigger(32, 0xFF);
    EXPECT_TRUE(LoadImageFile(dir.File("img.bin"), bigger));
    EXPECT_EQ(bigger[3], 0x42);
    std::vector<std::uint8_t> smaller(8, 0xFF);
    EXPECT_THROW(LoadImageFile(dir.File("img.bin"), smaller), Exception);
    EXPECT_THROW(SaveImageFile(dir.File("missing/img.bin"), mem), Exception);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")), {}), 1); // no temp files left
}

// ---------------------------------------------------------------- the tool

// Reads until Fd has delivered Count bytes or Limit has passed.
std::string ReadFor(int Fd, std::size_t Count, std::chrono::milliseconds Limit) {
    std::string out;
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (out.size() < Count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{Fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buf[256];
        const ssize_t n = ::read(Fd, buf, std::min(sizeof buf, Count - out.size()));
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

// One line (without its end) from Fd, or what came before Limit passed.
std::string ReadLine(int Fd, std::chrono::milliseconds Limit) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (std::chrono::steady_clock::now() < end) {
        const std::string c = ReadFor(
            Fd, 1,
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()));
        if (c.empty() || c == "\n") break;
        line += c;
    }
    return line;
}

struct TTool {
    pid_t pid = -1;
    int out = -1; // the tool's standard output

    explicit TTool(const std::vector<std::string>& args) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        std::vector<std::string> all{UNITSIM_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid, UNITSIM_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        out = pipeFds[0];
        if (rc != 0) throw std::runtime_error("posix_spawn failed");
    }
    // Stops the tool with SIGTERM and returns its exit status (-1 if it had
    // to be killed).
    int Stop() {
        if (pid < 0) return -1;
        ::kill(pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 500; ++i) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            ::usleep(10000);
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        pid = -1;
        return -1;
    }
    ~TTool() {
        Stop();
        if (out >= 0) ::close(out);
    }
};

TEST(UnitSimTool, AnswersOverARealPseudoTerminal) {
    TTempDir dir;
    const std::string link = dir.File("unit");
    const std::string image = dir.File("mem.bin");
    const std::string transcript = dir.File("transcript.txt");
    TTool tool({"--chip", "24C256", "--link", link, "--image", image, "--transcript", transcript});
    const std::string path = ReadLine(tool.out, std::chrono::milliseconds(10000));
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);

    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B115200);
    ::tcsetattr(fd, TCSANOW, &tio);
    // The serial probe, then the identification and the firmware version.
    ASSERT_EQ(::write(fd, "*", 1), 1);
    EXPECT_EQ(ReadFor(fd, 1, std::chrono::milliseconds(5000)), "\r");
    ASSERT_EQ(::write(fd, "Sv", 2), 2);
    EXPECT_EQ(ReadFor(fd, 15, std::chrono::milliseconds(5000)), "VORIZORUV\r000A\r");
    // One page into the chip: it must reach the image file on exit.
    const char page[] = "M00Z"
                        "X"
                        "w\xA0"
                        "w\x01"
                        "w\x00"
                        "W\x04"
                        "ABCD";
    ASSERT_EQ(::write(fd, page, sizeof page - 1), static_cast<ssize_t>(sizeof page - 1));
    EXPECT_EQ(ReadFor(fd, 7, std::chrono::milliseconds(5000)), std::string(7, '\r'));
    ::close(fd);

    EXPECT_EQ(tool.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::ifstream in(image, std::ios::binary);
    const std::string mem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(mem.size(), 32768u);
    EXPECT_EQ(mem.substr(0x100, 4), "ABCD");
    EXPECT_EQ(static_cast<std::uint8_t>(mem[0]), 0xFF);
    std::ifstream t(transcript);
    const std::string text((std::istreambuf_iterator<char>(t)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("> 53"), std::string::npos) << text;
    EXPECT_NE(text.find("VORIZORUV"), std::string::npos) << text;
}

TEST(UnitSimTool, RefusesToReplaceARealFileWithItsLink) {
    TTempDir dir;
    const std::string file = dir.File("taken");
    std::ofstream(file) << "keep";
    TTool tool({"--link", file});
    EXPECT_EQ(ReadLine(tool.out, std::chrono::milliseconds(10000)), ""); // exits without a path
    int status = 0;
    ASSERT_EQ(::waitpid(tool.pid, &status, 0), tool.pid);
    tool.pid = -1;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream in(file);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "keep");
}

// A client that took the line for itself (its lock and the terminal's
// exclusive mode) and was killed before it could give it back: on a device
// the last close would end the exclusive mode, here the tool ends it, so an
// ordinary user's next client can open the line.
TEST(UnitSimTool, AClientKilledWithTheLineTakenDoesNotLeaveItExclusive) {
    TTempDir dir;
    const std::string link = dir.File("unit");
    TTool tool({"--chip", "24C02", "--link", link});
    const std::string path = ReadLine(tool.out, std::chrono::milliseconds(10000));
    ASSERT_FALSE(path.empty());
    ::chmod(path.c_str(), 0666); // an ordinary user's client may open it

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t client = ::fork();
    ASSERT_GE(client, 0);
    if (client == 0) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char ok =
            fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ioctl(fd, TIOCEXCL) == 0 ? '1' : '0';
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char ok = '0';
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(ok, '1');
    ::kill(client, SIGKILL);
    ::waitpid(client, nullptr, 0);

    TOpenFolder folder;
    const auto run = RunUnprivileged(folder.Inaccessible("denied"), [&] {
        // Bounded: the tool looks for an abandoned exclusive mode when idle.
        for (int attempt = 0; attempt < 300; ++attempt) {
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd >= 0) {
                ::close(fd);
                return 0;
            }
            if (errno != EBUSY) return 2;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 1; // still exclusive after 3 s
    });
    if (!run) GTEST_SKIP() << "cannot run as an ordinary user here";
    EXPECT_EQ(run->exitCode, 0) << "1: the line stayed exclusive; 2: another error";
}

} // namespace
