// What the drivers need from the front end that runs them: the operator's
// choices on the device panel, the status log, the options dialogs and the
// information window. The GUI implements it with its widgets, the CLI with
// its options and the terminal. Without a host the drivers use the panel's
// initial choices and show nothing.
#pragma once

#include "catalogue/device_panel.h"
#include "programmer/options_form.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The programmer options dialog ("ISP Configuration"). It sets the module
// variable ClockSpeed itself when it closes.
class TPortOptionsDialog {
  public:
    virtual ~TPortOptionsDialog() = default;
    // Appends an entry to the port list.
    virtual void SetupPortsLpt(const std::string& PortName) = 0;
    // Runs the dialog; true when closed with "Ok".
    virtual bool Execute(int selected, int sckselect, std::uint8_t AFlashTime, std::uint8_t AEEPROMTime) = 0;
    // List index of the chosen entry, -1 when none.
    virtual int GetPortLpt() = 0;
    // Port number parsed from the chosen entry, minus 1.
    virtual int GetPort() = 0;
    virtual std::uint8_t GetEEPROMTime() = 0;
    virtual std::uint8_t GetFlashTime() = 0;
};

class TDriverHost {
  public:
    virtual ~TDriverHost() = default;
    // The current device's panel; nullptr when none is built.
    virtual const TFusePanel* FusePanel() const = 0;
    // Appends a line to the status log. May raise; the caller then clears the log.
    virtual void AddStatusLine(const std::string& Line) = 0;
    virtual void ClearStatusLog() = 0;
    // A new options dialog; nullptr when this front end has none.
    virtual std::unique_ptr<TPortOptionsDialog> CreateOptionsDialog() = 0;
    // Shows a driver's options form (options_form.h) and lets the operator
    // change its values; false when the operator cancels, or when this
    // front end shows no forms.
    virtual bool ShowOptionsForm(TOptionsForm& Form) {
        (void)Form;
        return false;
    }
    // The information window: caption, text lines, program version label and
    // firmware label.
    virtual void ShowInformation(const std::string& Caption, const std::vector<std::string>& Lines,
                                 const std::string& Version, const std::string& Firmware) = 0;
};

// The host of the process (not owned); nullptr until a front end sets it.
void SetDriverHost(TDriverHost* Host);
TDriverHost* DriverHost();

// The panel's choices as the drivers read them, with the panel's initial
// values when no host or no panel exists: reset polarity "Off" (2), bus
// number 0, organisation "X16" (1).
int HostResetPolarity();
int HostBusNumber();
int HostModeIndex();
