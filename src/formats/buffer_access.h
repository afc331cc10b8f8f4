// How the record readers and writers reach the buffer.
#pragma once

#include "buffer/hex_list.h"

#include <cstdint>

// Stores Value at Address through the range-checked SetValue, so an address
// past the end raises the buffer's range error. Addresses beyond the 32-bit
// index range never wrap around to low addresses: they raise as well.
void StoreByte(THexList& Data, std::uint64_t Address, std::uint8_t Value);

// The byte at Index, or 0xFF (an empty byte) for an index past the end: a
// writer treats the part of a 16-byte row beyond a buffer whose size is not a
// multiple of 16 as empty.
inline std::uint8_t ByteOrEmpty(const THexList& Data, std::uint64_t Index) {
    return Index < Data.HexData.size() ? Data.HexData[static_cast<std::size_t>(Index)] : 0xFF;
}
