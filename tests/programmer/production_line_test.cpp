// The production line through the command line, end to end: norvoisp-cli
// programs four units at once, each a norvoisp-unitsim on its own
// pseudo-terminal, one of them cutting its link in the middle of a page;
// serial numbers come from one state file, every part goes to one
// traceability log. One run is killed with SIGKILL half way and the line
// goes on. Afterwards: every record whole, no serial number twice, the
// failed parts logged as failed, and every checksum the image's.
#include "unit_process.h"

#include "buffer/checksums.h"
#include "buffer/serial_number.h"
#include "common/temp_dir.h"
#include "formats/file_loader.h"
#include "production/serial_allocator.h"
#include "production/trace_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

const std::string kSample = NORVOISP_SOURCE_DIR "/samples/config_block_24c02.hex";
constexpr std::uint32_t kSerialAt = 0x40;
constexpr int kSerialSizeIndex = 1; // three bytes

// norvoisp-cli started in a process group of its own, output to a file.
pid_t StartCli(const std::vector<std::string>& Args, const std::string& Output) {
    std::vector<std::string> argv{CLI_PATH};
    argv.insert(argv.end(), Args.begin(), Args.end());
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, Output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    const int r = posix_spawn(&pid, CLI_PATH, &actions, &attr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (r != 0) throw std::runtime_error("cannot start norvoisp-cli");
    return pid;
}

int Wait(pid_t Pid) {
    int status = 0;
    ::waitpid(Pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::size_t Lines(const std::string& File) {
    std::ifstream in(File, std::ios::binary);
    return static_cast<std::size_t>(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

std::string ImageCrc(const THexList& Image, std::uint32_t Serial) {
    THexList part = Image;
    StoreSerialNumber(part, kSerialAt, static_cast<std::int32_t>(Serial), kSerialSizeIndex);
    return BufferChecksums(part).Crc32Text();
}

TEST(ProductionLine, FourUnitsSerialStateKilledRunAndRestart) {
    TTempDir dir("line");
    const std::string log = dir.File("line.jsonl");
    const std::string state = dir.File("serial.state");
    const std::string output = dir.File("output.txt");
    ::setenv("NORVOISP_REGISTRY", dir.File("registry.reg").c_str(), 1);

    // Units 1, 2 and 4 keep their chip in an image file; unit 3 cuts its
    // link after two data bytes of its tenth page, in every run.
    std::map<int, std::unique_ptr<TUnitProcess>> units;
    const auto startUnit = [&](int n) {
        std::vector<std::string> args{"--chip", "24C02", "--delay", "0"};
        if (n == 3) {
            args.insert(args.end(), {"--cut-page", "10:2"});
        } else {
            args.insert(args.end(), {"--image", dir.File("chip" + std::to_string(n) + ".bin")});
        }
        units[n] = std::make_unique<TUnitProcess>(args);
    };
    for (int n = 1; n <= 4; ++n)
        startUnit(n);
    const auto programArgs = [&] {
        std::vector<std::string> args{
            "program", "--device", "24C02", "--delay",       "0",    "--file",
            kSample,   "--log",    log,     "--serial-at",   "0x40", "--serial-bytes",
            "3",       "--serial", "5000",  "--serial-file", state};
        for (int n = 1; n <= 4; ++n)
            args.insert(args.end(), {"--port", units[n]->Path()});
        return args;
    };

    int completed = 0;
    for (int run = 1; run <= 6; ++run) {
        if (run > 1) {
            units[3].reset(); // a fresh unit 3 cuts its link again
            startUnit(3);
        }
        const std::size_t before = Lines(log);
        const pid_t cli = StartCli(programArgs(), output + std::to_string(run));
        if (run == 3) {
            // Half way: once the first part of this run is logged, the run
            // and its units' processes are killed.
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (Lines(log) == before && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ::kill(-cli, SIGKILL);
            EXPECT_EQ(Wait(cli), 128 + SIGKILL);
            // What a power cut in the middle of writing a record leaves
            // behind (SIGKILL rarely catches write() itself).
            std::ofstream(log, std::ios::app | std::ios::binary) << R"({"record":"part","time":"20)";
            continue;
        }
        EXPECT_EQ(Wait(cli), 1) << "unit 3 fails, so the run fails";
        ++completed;
    }
    EXPECT_EQ(completed, 5); // 20 parts, and the killed run's
    for (int n : {1, 2, 4})
        EXPECT_EQ(units[n]->Stop(), 0); // writes the chip's image
    units.clear();

    THexList image;
    image.SetSize(256);
    ASSERT_EQ(TFileLoader::LoadFile(kSample, image, 0), 0);

    int skipped = -1;
    const auto records = ReadTraceLog(log, &skipped);
    EXPECT_EQ(skipped, 0) << "every line of the log is a whole record";
    int torn = 0, passed = 0, failed = 0, openFailures = 0;
    std::multiset<std::uint32_t> serials;
    std::map<int, std::string> lastPassedCrc;
    for (const auto& r : records) {
        if (r["record"] == "torn") {
            ++torn;
            continue;
        }
        ASSERT_EQ(r["record"], "part") << r.dump();
        const int unit = r["unit"].get<int>();
        if (r["steps"].dump() == R"(["open"])") {
            // A unit killed in the middle of a command may not answer the
            // next open: that part failed before it took a serial number.
            ++openFailures;
            EXPECT_EQ(r["result"], "failed");
            EXPECT_TRUE(r["serial"].is_null() && r["crc32"].is_null()) << r.dump();
            continue;
        }
        ASSERT_TRUE(r["serial"].is_object()) << r.dump();
        const auto serial = r["serial"]["value"].get<std::uint32_t>();
        serials.insert(serial);
        EXPECT_EQ(r["crc32"], ImageCrc(image, serial)) << r.dump();
        EXPECT_EQ(r["serial"]["bytes"],
                  SerialNumberText(static_cast<std::int32_t>(serial), kSerialSizeIndex));
        EXPECT_EQ(r["file_sha256"], FileSha256(kSample));
        if (unit == 3) {
            ++failed;
            EXPECT_EQ(r["result"], "failed") << r.dump();
            EXPECT_NE(r["failure"].get<std::string>().find("NORVO ISP (COM)"), std::string::npos) << r.dump();
            EXPECT_EQ(r["steps"].back(), "program") << "the cut comes in the middle of programming";
        } else {
            ++passed;
            EXPECT_EQ(r["result"], "passed") << r.dump();
            EXPECT_EQ(r["steps"].dump(), R"(["open","program","verify"])");
            EXPECT_TRUE(r["failure"].is_null());
            lastPassedCrc[unit] = r["crc32"].get<std::string>();
        }
    }
    EXPECT_GE(torn, 1);
    EXPECT_GE(passed, 12); // units 1, 2 and 4 in the four runs away from the kill
    EXPECT_GE(failed, 5);  // unit 3 in every completed run
    EXPECT_LE(openFailures, 3);
    for (std::uint32_t s : serials)
        EXPECT_EQ(serials.count(s), 1u) << "serial number " << s << " issued twice";
    // Numbers handed out to a unit that was killed before it logged are
    // gaps, never reissued: the state is past every number in the log.
    const auto next = ReadSerialState(state);
    ASSERT_TRUE(next);
    EXPECT_GT(*next, *serials.rbegin());
    EXPECT_GE(*serials.begin(), 5000u);

    // Each chip holds what its unit's last passed record says.
    for (int n : {1, 2, 4}) {
        std::ifstream in(dir.File("chip" + std::to_string(n) + ".bin"), std::ios::binary);
        const std::string chip((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(chip.size(), 256u);
        EXPECT_EQ(
            ComputeChecksums({reinterpret_cast<const std::uint8_t*>(chip.data()), chip.size()}).Crc32Text(),
            lastPassedCrc[n])
            << "unit " << n;
    }
    // The line is back to normal: the last run lost only unit 3's part.
    std::ifstream out(output + "6");
    const std::string text((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("3 of 4 units passed"), std::string::npos) << text;
    ::unsetenv("NORVOISP_REGISTRY");
}

} // namespace

namespace {

// A plain read over a noisy line (one bit of every 100th byte the unit sends
// in page reads flipped): every block is read twice, so it fails and leaves
// the file that was there alone; --single-read saves the garbled byte, with
// a warning that it would.
TEST(ProductionLine, APlainReadOverANoisyLineFailsAndTouchesNoFile) {
    TTempDir dir("noisy");
    ::setenv("NORVOISP_REGISTRY", dir.File("registry.reg").c_str(), 1);
    for (const bool single : {false, true}) {
        SCOPED_TRACE(single ? "--single-read" : "plain read");
        TUnitProcess unit({"--chip", "24C02", "--delay", "0", "--noisy-read", "100"});
        const std::string out = dir.File("out.txt"), file = dir.File("readback.bin");
        WriteBytes(file, "the previous read");
        std::vector<std::string> args{"read", "--device", "24C02", "--port", unit.Path(), "--file", file};
        if (single) args.push_back("--single-read");
        const int code = Wait(StartCli(args, out));
        std::ifstream in(out);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!single) {
            EXPECT_EQ(code, 1) << text;
            // Byte 100 of the replies: the first read of the 13th block, at 33h;
            // byte 200 the second read of the 25th, at 63h; and so on.
            EXPECT_NE(text.find("Read Unstable at 0033h: Read FEh, then FFh\n"
                                "Read Unstable at 0063h: Read FFh, then FEh\n"),
                      std::string::npos)
                << text;
            EXPECT_NE(text.find("EEPROM: Read Unstable - 5 bytes differed between two reads"),
                      std::string::npos)
                << text;
            EXPECT_EQ(ReadBytes(file), "the previous read");
        } else {
            EXPECT_EQ(code, 0) << text;
            EXPECT_NE(text.find("Warning: --single-read: every block is read once"), std::string::npos)
                << text;
            const std::string saved = ReadBytes(file);
            ASSERT_EQ(saved.size(), 256u);
            EXPECT_EQ(static_cast<std::uint8_t>(saved[99]), 0xFE) << "the garbled byte is saved as read";
        }
    }
    ::unsetenv("NORVOISP_REGISTRY");
}

// read --twice over a noisy line: the second read sees one byte differ.
TEST(ProductionLine, ReadTwiceFailsOnANoisyLineAndSavesNothing) {
    TTempDir dir("twice");
    ::setenv("NORVOISP_REGISTRY", dir.File("registry.reg").c_str(), 1);
    for (const bool noisy : {true, false}) {
        std::vector<std::string> args{"--chip", "24C02", "--delay", "0"};
        if (noisy) args.insert(args.end(), {"--noisy-read", "300"}); // byte 44 of the second read
        TUnitProcess unit(args);
        const std::string out = dir.File(noisy ? "noisy.txt" : "clean.txt");
        const std::string file = dir.File(noisy ? "noisy.bin" : "clean.bin");
        const pid_t cli =
            StartCli({"read", "--twice", "--device", "24C02", "--port", unit.Path(), "--file", file}, out);
        std::ifstream in(out);
        const int code = Wait(cli);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (noisy) {
            EXPECT_EQ(code, 1) << text;
            EXPECT_NE(text.find("Read Unstable at 002Bh: Read FFh, then FEh\n"), std::string::npos) << text;
            EXPECT_NE(text.find("EEPROM: Read Unstable - 1 bytes differed between two reads"),
                      std::string::npos)
                << text;
            EXPECT_FALSE(std::ifstream(file).good()) << "an unstable read is not saved";
        } else {
            EXPECT_EQ(code, 0) << text;
            EXPECT_NE(text.find("EEPROM: Both Reads Agree - 00:0"), std::string::npos) << text;
            EXPECT_TRUE(std::ifstream(file).good());
        }
    }
    ::unsetenv("NORVOISP_REGISTRY");
}

} // namespace

namespace {

// The processes whose parent is Pid.
std::vector<pid_t> ChildrenOf(pid_t Pid) {
    std::vector<pid_t> pids;
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(e.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        if (rest >> state >> parent && parent == Pid) pids.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return pids;
}

std::string Text(const std::string& File) {
    std::ifstream in(File);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A run over two units stopped while they program: SIGTERM to the program
// (as a service manager or kill sends it), SIGHUP to its whole process group
// (the terminal closed), or SIGKILL to one unit's process. Every unit ends
// with its part logged, its serial number in the record: the stopped ones
// by themselves, between two commands; the killed one by the parent.
TEST(ProductionLine, AStopSignalEndsEveryUnitWithItsPartAndSerialNumberLogged) {
    enum TStop { st_TermToTheProgram, st_HangUpToTheGroup, st_KillOneUnit };
    for (const TStop stop : {st_TermToTheProgram, st_HangUpToTheGroup, st_KillOneUnit}) {
        SCOPED_TRACE(stop);
        TTempDir dir("stop");
        ::setenv("NORVOISP_REGISTRY", dir.File("registry.reg").c_str(), 1);
        TUnitProcess unit1({"--chip", "24C256", "--delay", "0"});
        TUnitProcess unit2({"--chip", "24C256", "--delay", "0"});
        const std::string log = dir.File("line.jsonl"), state = dir.File("serial.state"),
                          output = dir.File("output.txt");
        const pid_t cli = StartCli({"program",
                                    "--device",
                                    "24C256",
                                    "--delay",
                                    "0",
                                    "--file",
                                    NORVOISP_SOURCE_DIR "/samples/demo_24c256.hex",
                                    "--log",
                                    log,
                                    "--serial-at",
                                    "0x40",
                                    "--serial-bytes",
                                    "3",
                                    "--serial",
                                    "5000",
                                    "--serial-file",
                                    state,
                                    "--port",
                                    unit1.Path(),
                                    "--port",
                                    unit2.Path()},
                                   output);
        // Once both units are programming.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        const auto programming = [&] {
            const std::string text = Text(output);
            return text.find("[1 " + unit1.Path() + "] EEPROM: Programming") != std::string::npos &&
                   text.find("[2 " + unit2.Path() + "] EEPROM: Programming") != std::string::npos;
        };
        while (!programming() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(programming()) << Text(output);
        switch (stop) {
        case st_TermToTheProgram:
            ::kill(cli, SIGTERM);
            break;
        case st_HangUpToTheGroup:
            ::kill(-cli, SIGHUP);
            break;
        case st_KillOneUnit: {
            const auto units = ChildrenOf(cli);
            ASSERT_EQ(units.size(), 2u);
            ::kill(units.front(), SIGKILL);
            break;
        }
        }
        EXPECT_EQ(Wait(cli), 1) << Text(output);
        const std::string text = Text(output);
        EXPECT_NE(text.find("of 2 units passed"), std::string::npos) << "no summary: " << text;

        // Every number handed out is in exactly one record.
        const auto next = ReadSerialState(state);
        ASSERT_TRUE(next);
        const auto records = ReadTraceLog(log);
        std::multiset<std::uint64_t> logged;
        int stopped = 0, lost = 0;
        for (const auto& r : records) {
            ASSERT_TRUE(r["serial"].is_object()) << r.dump();
            logged.insert(r["serial"]["value"].get<std::uint64_t>());
            const std::string failure = r["failure"].is_string() ? r["failure"].get<std::string>() : "";
            stopped += failure == "Operation Cancelled by user";
            lost += failure.find("ended by signal 9 before it logged its part") != std::string::npos;
        }
        std::multiset<std::uint64_t> handedOut;
        for (std::uint64_t n = 5000; n < *next; ++n)
            handedOut.insert(n);
        EXPECT_EQ(logged, handedOut) << text;
        EXPECT_EQ(records.size(), 2u) << text;
        if (stop == st_KillOneUnit) {
            EXPECT_EQ(lost, 1) << text;
        } else {
            EXPECT_GE(stopped, 1) << text;
        }
        ::unsetenv("NORVOISP_REGISTRY");
    }
}

} // namespace
