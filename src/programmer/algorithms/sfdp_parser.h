// A part described by its SFDP table (JESD216): the header, the basic flash
// parameter table (density, erase types with their opcodes and times, page
// size, program and chip erase times, 3- or 4-byte addresses and how 4-byte
// addressing is entered) and the 4-byte address instruction table. What the
// table does not say (status register layout, voltage, chip erase opcode) is
// assumed as most parts have it, and the assumptions are listed.
#pragma once

#include "catalogue/spi_flash_part.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Reads Into.size() bytes of the SFDP space from Address.
using TSfdpRead = std::function<void(std::uint32_t Address, std::span<std::uint8_t> Into)>;

struct TSfdpPart {
    TSpiFlashPart Part;
    std::vector<std::string> Assumed; // what the table did not tell
};

// The part Read's table describes, named Name; nothing (and Why) when there
// is no SFDP table or it cannot describe a part this program can drive.
std::optional<TSfdpPart> PartFromSfdp(const TSfdpRead& Read, const std::string& Name, std::string& Why);
