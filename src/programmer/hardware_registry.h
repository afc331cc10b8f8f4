// The programmer kinds that exist: name, the programmer models each stands
// for, whether it is offered to the user, and a factory for a fresh driver.
// The process-wide registry (kinds/hardware.h) is filled from the kind
// table at start-up; afterwards it is only read, except that tests may
// register kinds of their own.
#pragma once

#include "catalogue/programmer_support.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TISPProgrammer;
struct THardwareKind;

using THardwareFactory = std::function<std::unique_ptr<TISPProgrammer>()>;

struct THardware {
    bool Visible = false;
    std::string HardwareName; // stored upper-cased
    TProgrammerSupport HardwareSupport;
    THardwareFactory NewInstance;
    // What a list shows for the kind when its name alone does not say what
    // it is; empty for the others (they show their name).
    std::string Caption;
    // The kind's entry in the kind table; nullptr for a kind registered by
    // name and factory alone.
    const THardwareKind* Kind = nullptr;
};

class THardwareRegistry {
  public:
    void RegisterNewHardware(const std::string& HardwareName, TProgrammerSupport HardwareType,
                             THardwareFactory NewInstance, bool AVisible, const std::string& Caption = {});
    // Registers a kind of the kind table under its name, support set,
    // factory, visibility and caption.
    void RegisterKind(const THardwareKind& Kind);
    // Index of the last entry whose name matches ignoring case; -1 when none.
    int GetHardwareIndex(const std::string& HardwareName) const;
    // A copy of the entry; a bad index raises "Internal error: Invalid Hardware Select".
    THardware GetHardware(int HardwareIndex) const;
    THardware GetHardware(const std::string& HardwareName) const;
    // A new driver from the entry's factory, named after the entry and
    // carrying its support set.
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
