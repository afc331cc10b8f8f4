// The memory image of the simulated chip kept in a file between runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Loads FileName into Memory from address 0. A missing file leaves Memory as
// it is and returns false. Raises Exception when the file cannot be read or
// is larger than Memory.
bool LoadImageFile(const std::string& FileName, std::vector<std::uint8_t>& Memory);

// Replaces FileName by Memory so that it is either the old file or the new
// one, whole: a temporary file in the same folder, flushed to disk, renamed
// over the target. Raises Exception naming the file on failure (the old file
// stays untouched).
void SaveImageFile(const std::string& FileName, const std::vector<std::uint8_t>& Memory);
