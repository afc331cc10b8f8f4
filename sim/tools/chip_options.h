// The options both pty tools take for the chip in the socket.
#pragma once

#include "chips/chip_factory.h"

#include <functional>
#include <string>

// Applies Option to Chip when it is one of "--org", "--bus", "--write-time"
// and "--status", taking its text from Value; false for any other option.
// Raises Exception for a value out of range.
bool ParseChipOption(const std::string& Option, const std::function<const std::string&()>& Value,
                     TChipOptions& Chip);
