// The driver module of the CH341A USB programmer: its hardware kind and the
// factory, which puts the kind on the emulated board when
// NORVOISP_CH341_SIM=1 (programmer/simulated/sim_ch341_bus.h).
#pragma once

#include <memory>

class TISPProgrammer;
class THardwareRegistry;

inline constexpr const char Ch341aHardwareName[] = "CH341A (USB)";

// True when NORVOISP_CH341_SIM asks for the emulated board ("1"); "" and
// "0" leave the computer's USB in place. Raises EISPException for other values.
bool Ch341SimulationRequested();
std::unique_ptr<TISPProgrammer> GetNewCh341aPsi();

// Registers "CH341A (USB)", visible; the registry calls it after the
// programmer unit's kinds.
void RegisterCh341aHardware(THardwareRegistry& Registry);
