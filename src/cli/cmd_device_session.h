// What the device commands of norvoisp-cli (program, read, verify, erase,
// read-status, write-status) share: the common options, the device session
// (session/device_session.h) with the kind named by --hardware, its options
// applied through the kind's entry and its driver opened on the chosen port,
// presented as lines or JSON objects (the device panel from the options, the
// operation frame's busy, completion and warning lines, a progress bar on a
// terminal), and loading and saving data files.
#pragma once

#include "buffer/checksums.h"
#include "buffer/hex_list.h"
#include "catalogue/device.h"
#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/stop_signals.h"
#include "programmer/isp_programmer.h"
#include "session/device_session.h"
#include "session/session_events.h"
#include "settings/settings_store.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <set>
#include <string>

// The value options and flags every device command takes.
std::set<std::string> DeviceValueOptions(std::set<std::string> Extra = {});
std::set<std::string> DeviceFlags(std::set<std::string> Extra = {});
// The synopsis of the common options.
#define NORVOISP_DEVICE_OPTIONS                                                                              \
    "--device NAME [--hardware NAME] [--port COMn|LPTn|PATH|USBPATH] [--org 8|16] [--polarity "              \
    "low|high|off] "                                                                                         \
    "[--bus N] [--delay MS] [--clock fast|medium|slow] [--baud N] [--quiet] [--json]"

class TCliSession : public TSessionEvents, private TFusePanel {
  public:
    // Reads the common options; a bad one raises CliUsageError. A port
    // given as PortOverride replaces --port (one unit of several).
    TCliSession(const CliArgs& Args, std::ostream& Out, std::ostream& Err,
                const std::string& PortOverride = {});
    ~TCliSession() override;

    TDevice& Device() const { return *FDevice; }
    TISPProgrammer& Driver() const { return *FCore.Driver(); }
    bool Quiet() const { return FQuiet; }
    // As --quiet: no progress and file lines.
    void SetQuiet() { FQuiet = true; }
    const TCliOutput& Output() const { return FOutput; }
    TCliOutput& Output() { return FOutput; }
    // The registry name of the hardware kind and the port as given.
    const std::string& HardwareKind() const { return FHardwareKind; }
    const std::string& Port() const { return FPort; }
    // The text of the last warning line, empty while there was none.
    const std::string& LastFailure() const { return FLastFailure; }
    // Time since the session began.
    double Seconds() const;

    // Creates the driver and opens the programmer. False after reporting the
    // failure. From then on to
    // the end of the session a stop signal (Ctrl+C, SIGTERM, SIGHUP)
    // cancels the operation in progress, or the next one, instead of ending
    // the process (stop_signals.h).
    bool Open();
    // How the driver's whole-device reads check what they read (set before
    // Open; every block twice by default).
    void SetReadCheck(TReadCheck Check) { FReadCheck = Check; }
    // --single-read: every block once, with a warning that a garbled byte
    // then goes unnoticed.
    void ReadEachBlockOnce();
    // Hands over the organisation (--org), before program, read and verify.
    void HandOverOrganisation();
    // One operation: the busy line, the work with a progress bar on a
    // terminal, then the completion line with the elapsed time. False after
    // a warning line.
    bool Operation(const std::string& Busy, const std::string& Complete, const std::function<void()>& Work);
    // Verifies the device against Buffer, handing over the organisation
    // first, as program (after programming) and verify do. False after a
    // warning line.
    bool Verify(THexList& Buffer);
    // Closes the programmer (the simulated kind saves its image then).
    bool Close();

    // Prints the checksums of Buffer's device range and keeps them for the
    // result object.
    void ShowChecksums(const THexList& Buffer);
    // Adds fields to the result object.
    void AddResult(const std::string& Name, nlohmann::ordered_json Value) {
        FResult[Name] = std::move(Value);
    }
    // Ends the command with Code: with --json, the result object (command,
    // device, result, exit code, checksums, counts, duration). Returns Code.
    int Finish(const std::string& Command, int Code);
    // The result object goes to Sink instead of the output.
    void SetResultSink(std::function<void(const nlohmann::ordered_json&)> Sink) {
        FResultSink = std::move(Sink);
    }
    // Reports an exception as its warning line (session/failure_report.h).
    void Fail(const std::exception_ptr& Error);

    // Sizes Buffer to the device and loads a data file into it: a recognised
    // text format, otherwise binary. False after reporting why not. Sha256
    // gets the SHA-256 of the bytes loaded, when given.
    bool LoadFile(const std::string& FileName, THexList& Buffer, std::string* Sha256 = nullptr);
    // Saves Buffer in format Code (1-10, 11 binary); "-" writes it to Data.
    // False after reporting why not.
    bool SaveFile(const std::string& FileName, THexList& Buffer, int Code, std::ostream& Data);

    // --- TSessionEvents ---
    void OperationStarted(const std::string& Busy) override;
    void OperationEnded(const std::string& Line) override;
    void OperationFailed(const TFailureReport& Failure) override;
    void Progress(int Current, int Maximum) override;
    const TFusePanel* FusePanel() const override { return this; }
    void AddStatusLine(const std::string& Line) override;
    void ClearStatusLog() override {}
    std::unique_ptr<TPortOptionsDialog> CreateOptionsDialog() override { return nullptr; }
    void ShowInformation(const std::string& Caption, const std::vector<std::string>& Lines,
                         const std::string& Version, const std::string& Firmware) override;

  private:
    // --- TFusePanel ---
    int ResetPolarityIndex() const override { return FPolarity; }
    int DeviceAddressValue() const override { return FBus; }
    int ModeIndex() const override { return FOrganisation == 8 ? 0 : 1; }

    void EndProgress();
    void Present(const TFailureReport& Failure);

    std::ostream& FOut;
    TCliOutput FOutput;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
    nlohmann::ordered_json FResult = nlohmann::ordered_json::object();
    std::string FLastFailure;
    std::function<void(const nlohmann::ordered_json&)> FResultSink;
    std::string FHardwareKind;
    TDevice* FDevice = nullptr;
    std::string FHardware; // registry name (upper-cased)
    std::string FPort;
    int FOrganisation = 16;
    int FPolarity = 2;
    int FBus = 0;
    int FDelay = -1;
    bool FQuiet = false;
    TReadCheck FReadCheck = rc_Compared;
    bool FBar = false;
    int FBarShown = -1;
    int FBarMaximum = 0;
    TISPSettings FSettings;
    std::optional<TStopSignals> FStop; // from Open on
    // The drivers' host from here on: after the settings it reads.
    TDeviceSession FCore{*this, FSettings};
    bool FOpen = false;
};
