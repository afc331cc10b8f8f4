// The row walk the Intel, Motorola and Tektronix writers share.
#pragma once

#include "buffer/hex_list.h"
#include "formats/buffer_access.h"

#include <cstdint>
#include <cstring>

// Calls Row(BaseAddress, Bytes, Count) for every 16-byte row 0 .. L div 16
// (L = LastUsedLocation; row 0 alone when the buffer is empty) that holds a
// byte other than 0xFF. The record covers offsets 0 .. j of the row, j being
// the highest offset whose byte is not 0xFF: leading 0xFF bytes are part of
// it, trailing ones are not. Bytes past the end of the buffer count as 0xFF.
template <class TRow> void WalkRows(const THexList& Data, TRow&& Row) {
    const std::int64_t last = Data.LastUsedLocation();
    const std::uint64_t rows = last < 0 ? 1 : static_cast<std::uint64_t>(last) / 16 + 1;
    const std::uint64_t size = Data.HexData.size();
    std::uint8_t bytes[16];
    for (std::uint64_t r = 0; r < rows; ++r) {
        const std::uint64_t base = r * 16;
        const std::uint8_t* row;
        if (base + 16 <= size) {
            row = Data.HexData.data() + base;
        } else {
            for (int j = 0; j < 16; ++j)
                bytes[j] = ByteOrEmpty(Data, base + static_cast<std::uint64_t>(j));
            row = bytes;
        }
        int count = 16;
        while (count > 0 && row[count - 1] == 0xFF)
            --count;
        if (count > 0) Row(static_cast<std::uint32_t>(base), row, count);
    }
}

// The longest number of rows WalkRows may visit.
inline std::uint64_t RowCount(const THexList& Data) {
    const std::int64_t last = Data.LastUsedLocation();
    return last < 0 ? 1 : static_cast<std::uint64_t>(last) / 16 + 1;
}
