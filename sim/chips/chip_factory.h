// Chip models by catalogue name: size, page size and write time come from the
// device catalogue unless overridden; the family decides the model. An SPI
// flash part is made from its database entry (the options do not apply).
#pragma once

#include "chips/chip.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct TChipOptions {
    std::optional<std::size_t> Size;       // bytes; default the catalogue's
    std::optional<std::size_t> PageSize;   // default the catalogue's
    std::optional<TSimDuration> WriteTime; // default the catalogue's write delay
    std::uint8_t AddressPins = 0;          // 24C: levels of A2 A1 A0 (the bus number)
    int Organisation = 16;                 // 93C: 8 or 16 (ORG pin)
    std::uint8_t Status = 0;               // 25C: WPEN, BP1, BP0 at power-up
};

// The model of the catalogue device Name (ASCII case-insensitive). Raises
// Exception "Unknown device \"<name>\"" for a name not in the catalogue and
// Exception with the reason for options the part cannot have.
std::unique_ptr<TSimChip> MakeChip(const std::string& Name, const TChipOptions& Options = {});

// Every catalogue device name, in catalogue order (what MakeChip accepts).
std::vector<std::string> ChipNames();

// 93C address field widths of a part (x8, x16), by catalogue name; nullopt
// for names that are not 93C parts.
std::optional<std::pair<int, int>> MicrowireAddressBits(const std::string& Name);
