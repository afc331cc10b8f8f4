// The kind table: every hardware kind the program knows, one constant entry
// each (programmer/hardware_kind.h), in the order the registry lists them.
// Adding a kind adds its entry here; nothing else above the kinds names one.
#pragma once

#include "programmer/hardware_kind.h"

#include <span>

// The kinds, entry 0 being the default: those that drive hardware first,
// the simulated unit after them.
std::span<const THardwareKind* const> KindTable();
// The kind the command line uses when none is named.
const THardwareKind& CommandLineDefaultKind();
// The kind to try the program with when no programmer is found.
const THardwareKind& StandInKind();
