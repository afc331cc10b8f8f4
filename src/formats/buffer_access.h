// How the record readers and writers reach the buffer.
#pragma once

#include "buffer/hex_list.h"

#include <cstddef>
#include <cstdint>

// Raises the buffer's range error for an address past its end, through the
// range-checked SetValue (an address beyond the 32-bit index range never
// wraps around to a low address: it names the highest index).
[[noreturn]] void RaiseAddressRange(THexList& Data, std::uint64_t Address, std::uint8_t Value);

// Stores Value at Address; an address past the end raises the buffer's range
// error as SetValue does.
inline void StoreByte(THexList& Data, std::uint64_t Address, std::uint8_t Value) {
    if (Address < Data.HexData.size()) {
        Data.HexData[static_cast<std::size_t>(Address)] = Value;
        return;
    }
    RaiseAddressRange(Data, Address, Value);
}

// Stores Count bytes from Address on, Byte(i) being the i-th, as StoreByte
// would one after the other: when the run reaches past the end, the bytes
// before the end are stored and the first address past it raises.
template <class TByte>
void StoreBytes(THexList& Data, std::uint64_t Address, std::size_t Count, TByte&& Byte) {
    if (Address <= Data.HexData.size() && Count <= Data.HexData.size() - Address) {
        std::uint8_t* to = Data.HexData.data() + Address;
        for (std::size_t i = 0; i < Count; ++i)
            to[i] = Byte(i);
        return;
    }
    for (std::size_t i = 0; i < Count; ++i)
        StoreByte(Data, Address + i, Byte(i));
}

// The byte at Index, or 0xFF (an empty byte) for an index past the end: a
// writer treats the part of a 16-byte row beyond a buffer whose size is not a
// multiple of 16 as empty.
inline std::uint8_t ByteOrEmpty(const THexList& Data, std::uint64_t Index) {
    return Index < Data.HexData.size() ? Data.HexData[static_cast<std::size_t>(Index)] : 0xFF;
}
