// Command line of the pty tool norvoisp-avrsim.
#pragma once

#include "chips/chip_factory.h"

#include <string>
#include <vector>

struct TAvrSimOptions {
    std::string Chip = "24C256"; // catalogue name, or "none" for an empty socket
    TChipOptions ChipOptions;
    std::string Firmware; // the firmware's ELF file, "" = the one installed or built
    std::string Image;    // memory image file, "" = none
    std::string Link;     // symbolic link to the pty, "" = none
    bool Help = false;
};

// Parses the arguments after the program name. Raises Exception with a
// message naming the offending option.
TAvrSimOptions ParseAvrSimOptions(const std::vector<std::string>& Args);

// The --help text.
std::string AvrSimUsage();

// The firmware to run: Given when not empty, else the first of Candidates
// that exists. Raises Exception when none does.
std::string FindFirmware(const std::string& Given, const std::vector<std::string>& Candidates);
