// What the device commands of norvoisp-cli (program, read, verify, erase,
// read-status, write-status) share: the common options, the driver created
// from the hardware registry and opened on the chosen port, the front end the
// driver reports to (device panel from the options, status lines on the
// output), the operation frame with its completion and warning lines, and
// loading and saving data files as the main window does.
#pragma once

#include "buffer/hex_list.h"
#include "catalogue/device.h"
#include "cli/cli_args.h"
#include "programmer/driver_host.h"
#include "programmer/isp_programmer.h"
#include "settings/settings_store.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <set>
#include <string>

// The value options and flags every device command takes.
std::set<std::string> DeviceValueOptions(std::set<std::string> Extra = {});
std::set<std::string> DeviceFlags(std::set<std::string> Extra = {});
// The synopsis of the common options.
#define NORVOISP_DEVICE_OPTIONS                                                                              \
    "--device NAME [--hardware NAME] [--port COMn|LPTn|PATH|USBPATH] [--org 8|16] [--polarity "              \
    "low|high|off] "                                                                                         \
    "[--bus N] [--delay MS] [--clock fast|medium|slow] [--quiet]"

class TDeviceSession : public TDriverHost, private TFusePanel {
  public:
    // Reads the common options; a bad one raises CliUsageError.
    TDeviceSession(const CliArgs& Args, std::ostream& Out, std::ostream& Err);
    ~TDeviceSession() override;

    TDevice& Device() const { return *FDevice; }
    TISPProgrammer& Driver() const { return *FDriver; }
    bool Quiet() const { return FQuiet; }

    // Creates the driver and opens the programmer. False after reporting the
    // failure as the main window's exception handler would.
    bool Open();
    // Hands over the organisation, as the main window does before program,
    // read and verify.
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

    // Sizes Buffer to the device and loads a data file into it: a recognised
    // text format, otherwise binary. False after reporting why not.
    bool LoadFile(const std::string& FileName, THexList& Buffer);
    // Saves Buffer in format Code (1-10, 11 binary); "-" writes it to Data.
    // False after reporting why not.
    bool SaveFile(const std::string& FileName, THexList& Buffer, int Code, std::ostream& Data);

    // --- TDriverHost ---
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

    void Progress(int Current, int Maximum);
    void EndProgress();
    // The warning line for an exception, as the main window logs it.
    void Fail(const std::exception_ptr& Error);
    void ApplyPort(const std::string& Port);
    void SetDriverSetting(const std::string& Name, TSettingValue Value);

    std::ostream& FOut;
    std::ostream& FErr;
    TDevice* FDevice = nullptr;
    std::string FHardware; // registry name (upper-cased)
    int FHardwareIndex = -1;
    std::string FPort;
    int FOrganisation = 16;
    int FPolarity = 2;
    int FBus = 0;
    int FDelay = -1;
    int FClock = 0;
    bool FQuiet = false;
    bool FBar = false;
    int FBarShown = -1;
    int FBarMaximum = 0;
    TISPSettings FSettings;
    std::unique_ptr<TISPProgrammer> FDriver;
    bool FOpen = false;
    TDriverHost* FPreviousHost = nullptr;
};
