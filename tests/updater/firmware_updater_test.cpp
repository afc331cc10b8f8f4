// Firmwareupdater with a stand-in avrdude on PATH: the command line it
// builds, the second speed when no bootloader answers the first, the
// avrdude error reported as it is, and the checks before avrdude runs
// (version, firmware file, port); where the port comes from.
#include "common/temp_dir.h"
#include "settings/settings_store.h"
#include "updater/firmware_updater.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

// A program folder with firmware/norvoisp.hex and a stand-in avrdude in
// bin/ that logs its arguments (one line per call) and answers as Script
// says. Only that folder is on PATH: no real avrdude can run.
struct TUpdaterBench {
    TTempDir Dir{"updater"};

    explicit TUpdaterBench(const std::string& Script) {
        std::filesystem::create_directories(Dir.File("firmware"));
        std::filesystem::create_directories(Dir.File("bin"));
        WriteBytes(Dir.File("firmware/norvoisp.hex"), ":00000001FF\n");
        const std::string avrdude = Dir.File("bin/avrdude");
        WriteBytes(avrdude, "#!/bin/sh\necho \"$@\" >> \"" + Dir.File("calls") + "\"\n" + Script);
        ::chmod(avrdude.c_str(), 0755);
    }
    // Runs the updater in the program folder; returns its exit status.
    int Run(const std::string& Args, const std::string& Env = "") {
        const std::string command = "cd '" + Dir.Path() + "' && PATH='" + Dir.File("bin") + "' " +
                                    "NORVOISP_REGISTRY='" + Dir.File("none.reg") + "' " + Env + " '" +
                                    UPDATER_PATH + "' " + Args + " > output 2>&1";
        const int status = std::system(command.c_str());
        Output = ReadBytes(Dir.File("output"));
        Calls = std::filesystem::exists(Dir.File("calls")) ? ReadBytes(Dir.File("calls")) : "";
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Output, Calls;
};

const char kNotInSync[] = "echo 'avrdude: stk500_recv(): programmer is not responding' >&2\n"
                          "echo 'avrdude: stk500_getsync() attempt 10 of 10: not in sync: resp=0x00' >&2\n"
                          "exit 1\n";

TEST(FirmwareUpdater, TheCommandLineForTheBootloader) {
    TUpdateRequest r;
    r.FirmwareBase = "firmware/norvoisp";
    r.Port = "/dev/ttyUSB0";
    EXPECT_EQ(AvrdudeArgs(r, 57600),
              (std::vector<std::string>{"avrdude", "-c", "arduino", "-p", "m328p", "-P", "/dev/ttyUSB0", "-b",
                                        "57600", "-D", "-U", "flash:w:firmware/norvoisp.hex:i"}));
    EXPECT_TRUE(NothingAnswered("avrdude: stk500_getsync() attempt 1 of 10: not in sync: resp=0x7e"));
    EXPECT_FALSE(NothingAnswered("avrdude: verification error, first mismatch at byte 0x0000"));
}

TEST(FirmwareUpdater, TriesTheOldBootloadersSpeedWhenNothingAnswers) {
    TUpdaterBench b(std::string("case \"$*\" in *115200*) ") + kNotInSync +
                    ";; esac\necho 'avrdude done.  Thank you.' >&2\n");
    EXPECT_EQ(b.Run("firmware/norvoisp 000A --port /dev/ttyFAKE0"), 0) << b.Output;
    EXPECT_EQ(b.Calls,
              "-c arduino -p m328p -P /dev/ttyFAKE0 -b 115200 -D -U flash:w:firmware/norvoisp.hex:i\n"
              "-c arduino -p m328p -P /dev/ttyFAKE0 -b 57600 -D -U flash:w:firmware/norvoisp.hex:i\n");
    EXPECT_NE(b.Output.find("Firmware update: firmware 000A written to /dev/ttyFAKE0 at 57600 baud"),
              std::string::npos)
        << b.Output;
}

TEST(FirmwareUpdater, ReportsAvrdudesErrorAndStopsWhenTheBoardAnswered) {
    TUpdaterBench b("echo 'avrdude: verification error, first mismatch at byte 0x0000' >&2\nexit 1\n");
    EXPECT_EQ(b.Run("firmware/norvoisp 000A --port /dev/ttyFAKE0"), 1);
    EXPECT_EQ(std::count(b.Calls.begin(), b.Calls.end(), '\n'), 1) << b.Calls;
    EXPECT_NE(
        b.Output.find("Firmware update failed: avrdude: verification error, first mismatch at byte 0x0000"),
        std::string::npos)
        << b.Output;
    // Nothing answering at either speed: the last avrdude error.
    TUpdaterBench silent(kNotInSync);
    EXPECT_EQ(silent.Run("firmware/norvoisp 000A --port /dev/ttyFAKE0"), 1);
    EXPECT_EQ(std::count(silent.Calls.begin(), silent.Calls.end(), '\n'), 2);
    EXPECT_NE(
        silent.Output.find("Firmware update failed: avrdude: stk500_getsync() attempt 10 of 10: not in sync"),
        std::string::npos)
        << silent.Output;
    // A forced speed is the only one.
    TUpdaterBench forced(kNotInSync);
    EXPECT_EQ(forced.Run("firmware/norvoisp 000A --port /dev/ttyFAKE0 --baud 57600"), 1);
    EXPECT_EQ(forced.Calls,
              "-c arduino -p m328p -P /dev/ttyFAKE0 -b 57600 -D -U flash:w:firmware/norvoisp.hex:i\n");
}

TEST(FirmwareUpdater, RefusesBeforeAvrdudeRuns) {
    struct TCase {
        std::string Args, Env, Message;
        int Status;
    };
    const TCase cases[] = {
        {"firmware/norvoisp 000B --port /dev/ttyFAKE0", "",
         "Firmware update failed: the program needs firmware 000B, this updater carries 000A", 1},
        {"firmware/other 000A --port /dev/ttyFAKE0", "",
         "Firmware update failed: firmware/other.hex not found", 1},
        {"firmware/norvoisp 000A", "", "Firmware update failed: no serial port", 1},
        {"firmware/norvoisp", "", "Usage: Firmwareupdater", 2},
        {"firmware/norvoisp 000A --baud 9600", "", "--baud takes 115200 or 57600", 2},
    };
    for (const auto& c : cases) {
        TUpdaterBench b("exit 0\n");
        EXPECT_EQ(b.Run(c.Args, c.Env), c.Status) << c.Args;
        EXPECT_NE(b.Output.find(c.Message), std::string::npos) << c.Args << ": " << b.Output;
        EXPECT_EQ(b.Calls, "") << c.Args;
    }
    // avrdude not installed.
    TUpdaterBench b("exit 0\n");
    std::filesystem::remove(b.Dir.File("bin/avrdude"));
    EXPECT_EQ(b.Run("firmware/norvoisp 000A --port /dev/ttyFAKE0"), 1);
    EXPECT_NE(b.Output.find("Firmware update failed: cannot run avrdude"), std::string::npos) << b.Output;
}

TEST(FirmwareUpdater, ThePortComesFromTheProgramOrItsSettings) {
    TUpdaterBench b("exit 0\n");
    EXPECT_EQ(b.Run("firmware/norvoisp 000A", "NORVOISP_UPDATE_PORT=/dev/ttyFAKE7"), 0) << b.Output;
    EXPECT_NE(b.Calls.find("-P /dev/ttyFAKE7 "), std::string::npos) << b.Calls;
    // The COM kind's settings: BASEPORT 2 is COM3, which the table maps.
    TISPSettings settings;
    settings.SetSetting("NORVO ISP (COM)", "BASEPORT", ss_global, std::int32_t{2});
    settings.SetSetting("COMPORTS", "COM3", ss_global, std::string("/dev/serial/by-id/usb-arduino-if00"));
    EXPECT_EQ(PortOfSettings(settings), "/dev/serial/by-id/usb-arduino-if00");
}

// True once the process is gone (or only a zombie nobody reaped yet).
bool Gone(pid_t Pid) {
    std::ifstream stat("/proc/" + std::to_string(Pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const auto close = line.rfind(')');
    return close == std::string::npos || line.compare(close, 3, ") Z") == 0;
}

// An avrdude that closes its output and goes on running, or leaves a
// process of its own holding the output: the runner's limit still ends the
// run, and the kill reaches every process avrdude started.
TEST(FirmwareUpdater, AnAvrdudeThatOutlivesItsOutputIsStoppedWithWhatItStarted) {
    TTempDir dir("updater");
    const struct {
        const char* What;
        std::string Body;
    } cases[] = {
        {"closes its output, keeps running", "exec >/dev/null 2>&1\nsleep 30\n"},
        {"leaves a process holding its output",
         "sleep 300 &\necho $! > '" + dir.File("child") + "'\nsleep 300\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string avrdude = dir.File("avrdude");
        WriteBytes(avrdude, "#!/bin/sh\necho started\n" + c.Body);
        ::chmod(avrdude.c_str(), 0755);
        const TAvrdudeResult r = RunAvrdude({avrdude}, std::chrono::milliseconds(1500));
        EXPECT_TRUE(r.Started);
        EXPECT_EQ(r.ExitStatus, 128 + 9);
        EXPECT_NE(r.Output.find("started"), std::string::npos) << r.Output;
        EXPECT_NE(r.Output.find("did not finish in time and was stopped"), std::string::npos) << r.Output;
    }
    const pid_t child = static_cast<pid_t>(std::stol(ReadBytes(dir.File("child"))));
    // The kill is delivered at once; the orphan is reaped by the system
    // shortly after. A bounded wait for that, not a measure of time.
    for (int i = 0; i < 500 && !Gone(child); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(Gone(child)) << "a process avrdude started outlived the run";
}

// "avrdude" is looked up only in the absolute folders of PATH: an empty
// entry would run one planted in the current folder.
TEST(FirmwareUpdater, AnAvrdudePlantedInTheCurrentFolderIsNotRun) {
    TUpdaterBench bench("exit 0\n");
    std::filesystem::create_directories(bench.Dir.File("empty"));
    std::filesystem::rename(bench.Dir.File("bin/avrdude"), bench.Dir.File("avrdude"));
    const int code =
        bench.Run("firmware/norvoisp 000A --port /dev/null", "PATH=':" + bench.Dir.File("empty") + "'");
    EXPECT_EQ(code, 1) << bench.Output;
    EXPECT_EQ(bench.Calls, "") << "the planted avrdude ran";
    EXPECT_NE(bench.Output.find("cannot run avrdude"), std::string::npos) << bench.Output;
}

} // namespace
