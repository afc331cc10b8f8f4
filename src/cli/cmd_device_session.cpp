#include "cli/cmd_device_session.h"

#include "buffer/hex_text.h"
#include "catalogue/device_list.h"
#include "cli/cli_command.h"
#include "cli/data_file_load.h"
#include "cli/data_file_write.h"
#include "cli/stop_signals.h"
#include "errors/errors.h"
#include "formats/file_loader.h"
#include "kinds/hardware.h"
#include "kinds/kind_table.h"
#include "ports/com_port_table.h"
#include "production/trace_record.h"
#include "programmer/driver_module.h"
#include "settings/isp_reg_key.h"
#include "settings/registry_hive.h"
#include "settings/settings_error.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct TWord {
    const char* Word;
    int Value;
};

// The number standing for option Name's word (letter case ignored), nothing
// without the option; a usage error listing the words for another word.
std::optional<int> WordValue(const CliArgs& Args, const std::string& Name,
                             std::initializer_list<TWord> Words) {
    const auto given = Args.Value(Name);
    if (!given) return std::nullopt;
    const std::string word = Lower(*given);
    std::string expected;
    for (auto w = Words.begin(); w != Words.end(); ++w) {
        if (word == w->Word) return w->Value;
        if (w != Words.begin()) expected += w + 1 == Words.end() ? " or " : ", ";
        expected += w->Word;
    }
    throw CliUsageError("option --" + Name + " needs " + expected);
}

} // namespace

std::set<std::string> DeviceValueOptions(std::set<std::string> Extra) {
    Extra.insert({"device", "hardware", "port", "org", "polarity", "bus", "delay", "clock", "baud"});
    return Extra;
}

std::set<std::string> DeviceFlags(std::set<std::string> Extra) {
    Extra.insert({"quiet", "json"});
    return Extra;
}

TCliSession::TCliSession(const CliArgs& Args, std::ostream& Out, std::ostream& Err,
                         const std::string& PortOverride)
    : FOut(Out), FOutput(Out, Err, Args.Has("json")) {
    const std::string device = Args.Required("device");
    FDevice = DeviceList().GetNewDeviceInstance(device, TProgrammerSupport{pk_eisp});
    if (!FDevice) throw CliUsageError("unknown device \"" + device + "\" (see norvoisp-cli devices)");

    const std::string hardware = Args.ValueOr("hardware", CommandLineDefaultKind().Name);
    if (!FCore.SelectKind(hardware)) {
        std::string known;
        const auto kinds = KindTable();
        for (std::size_t i = 0; i < kinds.size(); ++i)
            known += (i == 0                  ? ""
                      : i + 1 == kinds.size() ? " or "
                                              : ", ") +
                     ("\"" + std::string(kinds[i]->Name) + "\"");
        throw CliUsageError("unknown hardware \"" + hardware + "\" (" + known +
                            "; see norvoisp-cli hardware)");
    }
    FHardware = FCore.KindName();
    FHardwareKind = FHardware;

    FPort = PortOverride.empty() ? Args.ValueOr("port", "") : PortOverride;
    if (auto org = Args.IntValue("org", 8, 16)) {
        if (*org != 8 && *org != 16) throw CliUsageError("option --org needs 8 or 16");
        FOrganisation = static_cast<int>(*org);
    }
    FPolarity = WordValue(Args, "polarity", {{"low", 0}, {"high", 1}, {"off", 2}}).value_or(FPolarity);
    FBus = static_cast<int>(Args.IntValue("bus", 0, 7).value_or(0)); // the address pins A2..A0
    FDelay = static_cast<int>(Args.IntValue("delay", 0, 255).value_or(-1));
    const auto clock = WordValue(Args, "clock", {{"fast", 0}, {"medium", 1}, {"slow", 2}});
    // The fastest line rate a programmer unit with the fast link is asked
    // for (115200 keeps it at the rate of the original unit).
    const auto baud = Args.IntValue("baud", 115200, 2000000);
    FQuiet = Args.Has("quiet");
    FBar = !FQuiet && !FOutput.Json() && &Out == &std::cout && ::isatty(STDOUT_FILENO);

    // The user's settings (ports, write delay, clock speed) as the window
    // reads them. This program neither writes them back nor creates
    // a settings file where there is none.
    try {
        std::error_code ec;
        if (std::filesystem::exists(TRegistryHive::DefaultFileName(), ec))
            FSettings.LoadSettings(std::string(ISPRegKey) + "\\GLOBAL", sl_registry, ss_global);
    } catch (const ESettingsError& e) {
        FOutput.Warning("Warning: settings not read (" + e.Message() + "); using defaults");
    }
    if (FDelay >= 0) FCore.ApplyWriteTime(FDelay);
    if (clock) FCore.ApplyClock(static_cast<TClockChoice>(*clock));
    if (baud) FCore.ApplyBaud(static_cast<int>(*baud));
    if (!FPort.empty()) {
        try {
            FCore.ApplyPort(FPort);
        } catch (const EKindOptionError& e) {
            throw CliUsageError("option --port needs " + e.Message());
        }
    }
}

TCliSession::~TCliSession() {
    if (FOpen) {
        try {
            FCore.Driver()->HardwareClose();
        } catch (const std::exception&) {
        }
    }
}

bool TCliSession::Open() {
    try {
        FCore.SelectDevice(FDevice);
        TISPProgrammer& driver = FCore.CreateDriver();
        driver.ReadCheck = FReadCheck;
        FCore.HandOverOrganisation();
        // From here to the end of the session a stop signal cancels the
        // operation in progress (or the next one) instead of the process.
        if (!FStop) FStop.emplace();
        driver.HardwareOpen();
        FOpen = true;
        return true;
    } catch (...) {
        Fail(std::current_exception());
        return false;
    }
}

void TCliSession::ReadEachBlockOnce() {
    FReadCheck = rc_Single;
    FOutput.Warning(
        "Warning: --single-read: every block is read once; a byte garbled on the way from the chip is "
        "saved as read");
}

void TCliSession::HandOverOrganisation() {
    FCore.HandOverOrganisation();
}

bool TCliSession::Operation(const std::string& Busy, const std::string& Complete,
                            const std::function<void()>& Work) {
    return FCore.Operation(Busy, Complete, Work);
}

void TCliSession::OperationStarted(const std::string& Busy) {
    if (!FQuiet) FOutput.Busy(Busy);
    FBarShown = -1;
    FBarMaximum = 0;
}

void TCliSession::OperationEnded(const std::string& Line) {
    EndProgress();
    if (!Line.empty()) FOutput.Ok(Line);
}

void TCliSession::OperationFailed(const TFailureReport& Failure) {
    EndProgress();
    Present(Failure);
}

bool TCliSession::Verify(THexList& Buffer) {
    HandOverOrganisation();
    return Operation("EEPROM: Verifying", "EEPROM: Verify Complete", [&] { Driver().VerifyFlash(Buffer); });
}

bool TCliSession::Close() {
    if (!FOpen) return true;
    FOpen = false;
    try {
        Driver().HardwareClose();
        return true;
    } catch (...) {
        Fail(std::current_exception());
        return false;
    }
}

void TCliSession::Progress(int Current, int Maximum) {
    if (FStop && TStopSignals::Received()) throw EAbortOp();
    if (!FBar || Current < 0 || Maximum <= 0) return;
    if (FBarMaximum == 0) FBarMaximum = Maximum; // the first report sets the maximum
    const int percent = static_cast<int>(100LL * std::min(Current, FBarMaximum) / FBarMaximum);
    if (percent == FBarShown) return;
    FBarShown = percent;
    const int filled = percent * 40 / 100;
    FOut << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent << "%" << std::flush;
}

void TCliSession::EndProgress() {
    if (FBar && FBarShown >= 0) FOut << "\r" << std::string(48, ' ') << "\r" << std::flush;
    FBarShown = -1;
}

void TCliSession::AddStatusLine(const std::string& Line) {
    EndProgress();
    FOutput.Info(Line);
}

void TCliSession::ShowInformation(const std::string& Caption, const std::vector<std::string>& Lines,
                                  const std::string&, const std::string& Firmware) {
    FOutput.Info(Caption);
    for (const auto& l : Lines)
        FOutput.Info("  " + l);
    if (!Firmware.empty()) FOutput.Info("  Firmware Revision: " + Firmware);
}

void TCliSession::Fail(const std::exception_ptr& Error) {
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& e) {
        Present(FCore.Report(e));
    } catch (...) {
        Present(FCore.Report(Exception("Unknown error")));
    }
}

void TCliSession::Present(const TFailureReport& Failure) {
    FLastFailure = Failure.FullText();
    FOutput.Warning(Failure.Text);
    if (!Failure.Detail.empty()) FOutput.Warning(Failure.Detail);
}

bool TCliSession::LoadFile(const std::string& FileName, THexList& Buffer, std::string* Sha256) {
    Buffer.SetSizeof(static_cast<std::uint32_t>(FDevice->FlashSize()));
    std::ostringstream out, err;
    const bool ok = LoadDataFile(FileName, Buffer, FQuiet ? nullptr : &out, err, Sha256);
    FOutput.Lines(out.str(), "info");
    FOutput.Lines(err.str(), "warning");
    if (!ok) FLastFailure = err.str().substr(0, err.str().find('\n'));
    return ok;
}

bool TCliSession::SaveFile(const std::string& FileName, THexList& Buffer, int Code, std::ostream& Data) {
    std::ostringstream status, err;
    const bool ok = WriteDataFile(FileName, Buffer, Code, Data, FQuiet ? nullptr : &status, err);
    FOutput.Lines(status.str(), "info");
    FOutput.Lines(err.str(), "warning");
    if (!ok) FLastFailure = err.str().substr(0, err.str().find('\n'));
    return ok;
}

double TCliSession::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
}

void TCliSession::ShowChecksums(const THexList& Buffer) {
    const TChecksums sums = BufferChecksums(Buffer);
    FOutput.Info("EEPROM: Checksums - CRC-32 " + sums.Crc32Text() + ", SHA-256 " + sums.Sha256Text() +
                 ", Sum " + sums.Sum16Text());
    FResult["checksums"] = ChecksumsJson(sums);
}

int TCliSession::Finish(const std::string& Command, int Code) {
    nlohmann::ordered_json r = {
        {"command", Command},
        {"device", FDevice->DeviceName()},
        {"hardware", FHardware},
        {"port", FPort.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(FPort)},
        {"result", Code == EXIT_OK ? "passed" : "failed"},
        {"exit_code", Code},
        {"failure", FLastFailure.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(FLastFailure)}};
    if (!FResult.contains("checksums")) r["checksums"] = nullptr;
    for (const auto& [k, v] : FResult.items())
        r[k] = v;
    r["duration_s"] = std::round(Seconds() * 1000) / 1000;
    if (FResultSink)
        FResultSink(r);
    else
        FOutput.Result(r);
    return Code;
}
