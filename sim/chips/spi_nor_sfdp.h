// The SFDP table (JESD216B) an SPI NOR part answers 5Ah with, built from
// its database entry: the SFDP header, the parameter header of the basic
// flash parameter table (16 DWORDs: erase types and their opcodes and
// times, density, page size, program and chip erase times, 3- or 4-byte
// addresses and how 4-byte addressing is entered and left) and, for a part
// with 4-byte instructions, the 4-byte address instruction table. Fast
// reads wider than 1-1-1 are reported absent: the model has none.
#pragma once

#include "catalogue/spi_flash_part.h"

#include <cstdint>
#include <vector>

// Byte offsets of the tables in the SFDP address space.
inline constexpr std::uint32_t kSfdpBasicTable = 0x30;
inline constexpr std::uint32_t kSfdp4ByteTable = 0x80;

std::vector<std::uint8_t> BuildSfdpTable(const TSpiFlashPart& Part);
