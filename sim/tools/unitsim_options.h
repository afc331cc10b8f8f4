// Command line of the pty tool norvoisp-unitsim.
#pragma once

#include "chips/chip_factory.h"
#include "unit_config.h"

#include <string>
#include <vector>

struct TUnitSimOptions {
    std::string Chip = "24C256"; // catalogue name, or "none" for an empty socket
    TChipOptions ChipOptions;
    std::string Image;      // memory image file, "" = none
    std::string Link;       // symbolic link to the pty, "" = none
    std::string Transcript; // transcript file, "" = none
    TUnitConfig Unit;
    bool Help = false;
};

// Parses the arguments after the program name. Raises Exception with a
// message naming the offending option.
TUnitSimOptions ParseUnitSimOptions(const std::vector<std::string>& Args);

// The --help text.
std::string UnitSimUsage();
