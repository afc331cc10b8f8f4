// The serial driver on the real firmware, in process: TSmartSerial whose
// port opens a line to the simulated MCU (sim/avr), on that line's clock,
// with the fake front end of the simulated-unit rig. Nothing waits in real
// time; a run costs what libsimavr needs to execute the firmware.
#pragma once

#include "avr/avr_link.h"
#include "chips/chip_factory.h"
#include "programmer/sim_rig.h"
#include "programmer/unit/smart_serial.h"
#include "sim_kinds/sim_serial_line.h"

#include <memory>
#include <string>

// The firmware image the build made.
TAvrUnitConfig FirmwareBoard(bool AutoReset = false);

class TFirmwareRig {
  public:
    // A board with a chip of the catalogue device in its socket.
    explicit TFirmwareRig(const std::string& DeviceName, TChipOptions Chip = {},
                          TAvrUnitConfig Board = FirmwareBoard());
    ~TFirmwareRig();

    TSimChip& Chip() { return *Unit.Chip(); }
    void FillBuffer(const std::function<std::uint8_t(int)>& Pattern);

    TAvrUnit Unit;
    TAvrLink Link;
    TSimLinkClock Clock;
    TDevice* Device = nullptr;
    TISPSettings Settings;
    TFakeHost Host;
    TSmartSerial Driver;
    THexList Buffer;
};
