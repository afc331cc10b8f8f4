// The programmer kinds that exist: name, the programmer models each stands
// for, whether it is offered to the user, and a factory for a fresh driver.
// Driver modules register their kinds at start-up; afterwards it is only read.
#pragma once

#include "catalogue/programmer_support.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TISPProgrammer;

using THardwareFactory = std::function<std::unique_ptr<TISPProgrammer>()>;

struct THardware {
    bool Visible = false;
    std::string HardwareName; // stored upper-cased
    TProgrammerSupport HardwareSupport;
    THardwareFactory NewInstance;
    // What a list shows for the kind when its name alone does not say what
    // it is; empty for the others (they show their name).
    std::string Caption;
};

class THardwareRegistry {
  public:
    void RegisterNewHardware(const std::string& HardwareName, TProgrammerSupport HardwareType,
                             THardwareFactory NewInstance, bool AVisible, const std::string& Caption = {});
    // Index of the last entry whose name matches ignoring case; -1 when none.
    int GetHardwareIndex(const std::string& HardwareName) const;
    // A copy of the entry; a bad index raises "Internal error: Invalid Hardware Select".
    THardware GetHardware(int HardwareIndex) const;
    THardware GetHardware(const std::string& HardwareName) const;
    // A new driver from the entry's factory, named after the entry.
    std::unique_ptr<TISPProgrammer> GetNewHardwareInstance(int HardwareID) const;
    TProgrammerSupport GetHardwareType(int HardwareID) const;
    // Names of the visible entries in registration order.
    std::vector<std::string> GetAllHardwareAsList() const;
    // The argument when it is registered, otherwise the name of entry 0.
    std::string CheckValidHardware(const std::string& HardwareName) const;
    int NumHardware() const { return FNumhardware; }

  private:
    std::vector<THardware> FAvailableHardware;
    int FNumhardware = -1; // index of the last entry
};

// The process-wide registry and free functions over it. The programmer
// unit's kinds (smart_dongle.h), then the CH341A's (ch341a_module.h), then
// the simulated unit, are registered on its first use: the kinds that drive
// hardware come first, entry 0 being the default.
THardwareRegistry& HardwareRegistry();
void RegisterNewHardware(const std::string& HardwareName, TProgrammerSupport HardwareType,
                         THardwareFactory NewInstance, bool AVisible, const std::string& Caption = {});
int GetHardwareIndex(const std::string& HardwareName);
THardware GetHardware(int HardwareIndex);
THardware GetHardware(const std::string& HardwareName);
std::unique_ptr<TISPProgrammer> GetNewHardwareInstance(int HardwareID);
TProgrammerSupport GetHardwareType(int HardwareID);
std::vector<std::string> GetAllHardwareAsList();
std::string CheckValidHardware(const std::string& HardwareName);
