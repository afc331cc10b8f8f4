// The process-wide hardware registry, filled from the kind table on its
// first use: the kinds register in table order, then each kind's module
// starts up. Afterwards it is only read, except that tests may register
// kinds of their own by name and factory.
#pragma once

#include "programmer/hardware_kind.h"
#include "programmer/hardware_registry.h"

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

// The table entry of the kind registered under Name (letter case ignored);
// nullptr when none is, or when the kind has no entry.
const THardwareKind* HardwareKind(const std::string& Name);
