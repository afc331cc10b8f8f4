// The current project: the selected device and the memory buffers that the
// device commands read and write.
#pragma once

#include "buffer/hex_list.h"
#include "catalogue/device.h"

#include <string>

class TTesselProject {
  public:
    TTesselProject() = default;
    TTesselProject(const TTesselProject&) = delete;
    TTesselProject& operator=(const TTesselProject&) = delete;

    // The EEPROM data buffer the hex view shows.
    THexList FlashMemory;
    // The secondary data area of devices that have one; only project loads
    // fill it.
    THexList EEPROMMemory;

    // The selected catalogue device (shared, never freed here), or none.
    TDevice* Device() const { return FDevice; }
    // Selects a device and sizes the buffers to it: FlashMemory to its
    // FlashSize and EEPROMMemory to its EEPROMSize, each only when non-zero
    // (a resize clears the buffer).
    void SetDevice(TDevice* Value);

    const std::string& FlashMemoryFilename() const { return FlashMemory.FileName(); }

  private:
    TDevice* FDevice = nullptr;
};
