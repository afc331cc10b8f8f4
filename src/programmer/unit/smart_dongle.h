// The driver module of the programmer unit: its two hardware kinds as
// entries of the kind table, their factories and the module's printer port
// object (parallel_port.h).
#pragma once

#include "programmer/hardware_kind.h"

#include <memory>

class TISPProgrammer;

inline constexpr const char LptHardwareName[] = "Norvo ISP (LPT)";
inline constexpr const char ComHardwareName[] = "Norvo ISP (COM)";

// "Norvo ISP (LPT)", the unit on a printer port (LPT1 to LPT3), visible.
// Its start-up clears the printer port object and runs ISPStartUp.
extern const THardwareKind LptKind;
// "Norvo ISP (COM)", the unit on a serial port (COMn or a device path), visible.
extern const THardwareKind ComKind;

std::unique_ptr<TISPProgrammer> GetNewSmartPsi();
std::unique_ptr<TISPProgrammer> GetNewSmartSerialPsi();

// What the unit's kinds share in their entries: the bus clock as the unit's
// "Clockspeed" (1 fast, 16 medium, 32 slow) and the write delay.
void ApplyUnitClock(TKindSettings& Settings, TClockChoice Clock);
// The serial unit's fastest line rate for the fast link ("MaxBaud").
void ApplyUnitBaud(TKindSettings& Settings, int Baud);
