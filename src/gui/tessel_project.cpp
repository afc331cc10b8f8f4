#include "gui/tessel_project.h"

void TTesselProject::SetDevice(TDevice* Value) {
    FDevice = Value;
    if (!Value) return;
    if (Value->FlashSize() > 0) FlashMemory.SetSizeof(static_cast<std::uint32_t>(Value->FlashSize()));
    if (Value->EEPROMSize() > 0) EEPROMMemory.SetSizeof(static_cast<std::uint32_t>(Value->EEPROMSize()));
}
