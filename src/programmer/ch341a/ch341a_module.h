// The driver module of the CH341A USB programmer: its hardware kind as an
// entry of the kind table, and the factory.
#pragma once

#include "programmer/hardware_kind.h"

#include <memory>

class TISPProgrammer;

inline constexpr const char Ch341aHardwareName[] = "CH341A (USB)";

// "CH341A (USB)", the board on the computer's USB buses (--port: where it
// is plugged in, "1-1.4"), visible.
extern const THardwareKind Ch341aKind;

std::unique_ptr<TISPProgrammer> GetNewCh341aPsi();
