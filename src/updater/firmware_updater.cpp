#include "updater/firmware_updater.h"

#include "firmware/version.h"
#include "ports/com_port_table.h"
#include "ports/serial_device.h"
#include "programmer/unit/com_port_settings.h"
#include "settings/settings_store.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kBauds[] = {115200, 57600};

// avrdude's last error line (its messages start with "avrdude"), for the
// report; the last non-empty line when none does.
std::string LastError(const std::string& Output) {
    std::string last, lastAvrdude;
    std::size_t start = 0;
    while (start < Output.size()) {
        std::size_t end = Output.find('\n', start);
        if (end == std::string::npos) end = Output.size();
        std::string line = Output.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty()) {
            last = line;
            if (line.find("avrdude") != std::string::npos &&
                (line.find("error") != std::string::npos || line.find("not") != std::string::npos ||
                 line.find("can't") != std::string::npos || line.find("cannot") != std::string::npos))
                lastAvrdude = line;
        }
        start = end + 1;
    }
    return lastAvrdude.empty() ? last : lastAvrdude;
}

} // namespace

std::vector<std::string> AvrdudeArgs(const TUpdateRequest& Request, int Baud) {
    return {Request.Avrdude,
            "-c",
            "arduino",
            "-p",
            "m328p",
            "-P",
            Request.Port,
            "-b",
            std::to_string(Baud),
            "-D",
            "-U",
            "flash:w:" + Request.FirmwareBase + ".hex:i"};
}

bool NothingAnswered(const std::string& Output) {
    for (const char* sign : {"not in sync", "not responding", "stk500_getsync", "stk500_recv"})
        if (Output.find(sign) != std::string::npos) return true;
    return false;
}

TUpdateOutcome UpdateFirmware(const TUpdateRequest& Request, const TAvrdudeRunner& Run) {
    if (Request.Version != Version::kFirmware)
        return {false, "Firmware update failed: the program needs firmware " + Request.Version +
                           ", this updater carries " + Version::kFirmware};
    const std::string hex = Request.FirmwareBase + ".hex";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(hex, ec))
        return {false, "Firmware update failed: " + hex + " not found"};
    if (Request.Port.empty())
        return {false, "Firmware update failed: no serial port (choose the programmer's port in the program, "
                       "or give --port)"};
    std::vector<int> bauds;
    if (Request.Baud)
        bauds.push_back(Request.Baud);
    else
        bauds.assign(std::begin(kBauds), std::end(kBauds));
    std::string error;
    for (int baud : bauds) {
        const TAvrdudeResult r = Run(AvrdudeArgs(Request, baud));
        if (!r.Started)
            return {false, "Firmware update failed: cannot run " + Request.Avrdude + " (" + r.Output + ")"};
        if (r.ExitStatus == 0)
            return {true, "Firmware update: firmware " + std::string(Version::kFirmware) + " written to " +
                              Request.Port + " at " + std::to_string(baud) + " baud"};
        error = LastError(r.Output);
        if (error.empty()) error = "avrdude exited with status " + std::to_string(r.ExitStatus);
        if (!NothingAnswered(r.Output)) break; // the board answered: another speed would not help
    }
    return {false, "Firmware update failed: " + error};
}

std::string PortOfSettings(const TISPSettings& Settings) {
    const int index = Settings.GetInteger("NORVO ISP (COM)", "BASEPORT", 0);
    TComPortTable table = LoadComPortTable(&Settings);
    table.Merge(EnumerateSerialDevices());
    return table.PathOf(index + 1);
}

TAvrdudeResult RunAvrdude(const std::vector<std::string>& Args, std::chrono::milliseconds Limit) {
    TAvrdudeResult result;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        result.Output = std::strerror(errno);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    std::vector<std::string> args = Args;
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int r = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (r != 0) {
        ::close(out[0]);
        result.Output = std::strerror(r);
        return result;
    }
    result.Started = true;
    const auto deadline = std::chrono::steady_clock::now() + Limit;
    char buffer[1024];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            result.Output += "\n(avrdude did not finish in time and was stopped)";
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
        if (p.revents & (POLLIN | POLLHUP)) {
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0) break; // avrdude closed its output: it is ending
            result.Output.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}
