#include "updater/firmware_updater.h"

#include "firmware/version.h"
#include "ports/com_port_table.h"
#include "ports/process_runner.h"
#include "ports/serial_device.h"
#include "programmer/unit/com_port_settings.h"
#include "settings/settings_store.h"

#include <csignal>
#include <filesystem>

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
    TRunRequest request;
    request.Args = Args;
    request.Limit = Limit;
    request.CaptureOutput = true;
    const TRunResult run = RunAndWait(request);
    TAvrdudeResult result;
    result.Started = run.Outcome != ro_NotStarted;
    result.Output = result.Started ? run.Output : run.Error;
    result.ExitStatus = run.ExitStatus;
    if (run.Outcome == ro_Killed) {
        result.ExitStatus = 128 + SIGKILL;
        result.Output += "\n(avrdude did not finish in time and was stopped)";
    }
    return result;
}
