// The row walk the Intel, Motorola and Tektronix writers share.
#pragma once

#include "buffer/hex_list.h"

#include <cstdint>
#include <functional>

// Calls Row(BaseAddress, Bytes, Count) for every 16-byte row 0 .. L div 16
// (L = LastUsedLocation; row 0 alone when the buffer is empty) that holds a
// byte other than 0xFF. The record covers offsets 0 .. j of the row, j being
// the highest offset whose byte is not 0xFF: leading 0xFF bytes are part of
// it, trailing ones are not. Bytes past the end of the buffer count as 0xFF.
using TRowVisitor = std::function<void(std::uint32_t BaseAddress, const std::uint8_t* Bytes, int Count)>;
void WalkRows(const THexList& Data, const TRowVisitor& Row);
