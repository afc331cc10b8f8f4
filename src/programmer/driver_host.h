// What the drivers need from the front end that runs them: the operator's
// choices on the device panel, the status log, the options dialog and the
// information window. The GUI implements it with its widgets, the CLI with
// its options and the terminal. Without a host the drivers use the panel's
// initial choices and show nothing.
#pragma once

#include "catalogue/device_panel.h"

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

// The options dialog of the CH341A USB programmer: which board (when
// several are plugged in), the I2C speed and the write time the write-cycle
// polls are bounded by.
class TCh341OptionsDialog {
  public:
    virtual ~TCh341OptionsDialog() = default;
    // Appends a board found on the buses: its path ("1-1.4") and where that
    // is ("USB bus 1, port 1.4"). The list always offers "the first found" too.
    virtual void AddBoard(const std::string& Path, const std::string& Place) = 0;
    // Runs the dialog with the present choices (Path "" = the first found);
    // true when closed with "Ok".
    virtual bool Execute(const std::string& Path, int I2CSpeedKHz, std::uint8_t EEPROMTime) = 0;
    virtual std::string GetPath() = 0;
    virtual int GetI2CSpeedKHz() = 0;
    virtual std::uint8_t GetEEPROMTime() = 0;
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
    // A new CH341A options dialog; nullptr when this front end has none.
    virtual std::unique_ptr<TCh341OptionsDialog> CreateCh341OptionsDialog() { return nullptr; }
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
