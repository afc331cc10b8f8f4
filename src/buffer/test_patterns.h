// Test data written into a memory buffer: reproducible random bytes and the
// paged pattern that shows whether a device's pages land where they belong.
#pragma once

#include "buffer/hex_list.h"

#include <cstdint>

// The 32-bit linear congruential generator behind the random data: the state
// starts at 0 and each draw sets state := state * 134775813 + 1 (mod 2^32).
class TRandomBytes {
  public:
    // The next value in 0 .. Range - 1: (state * Range) div 2^32.
    std::uint32_t Next(std::uint32_t Range);
    std::uint32_t State() const { return FState; }

  private:
    std::uint32_t FState = 0;
};

// Sets the bytes 0 .. Count - 1 through SetValue to the generator's next
// values in 0 .. 254, a 0 becoming 0xA5; statuses stay. The sequence goes on
// where the previous call left it.
void FillRandomData(THexList& Buffer, TRandomBytes& Generator, std::uint32_t Count);

// For each page i of PageSize bytes among the FlashSize div PageSize pages:
// the byte at PageSize * i + i := i (low 8 bits), then the byte at
// PageSize * i + PageSize - 1 - i := (NOT (i + 1)) AND 0xDF, with bit 7 set
// for odd i. Stops without a message at the first address past the end of
// the buffer. Nothing happens when PageSize is not positive.
void WritePagedTestPattern(THexList& Buffer, int PageSize, int FlashSize);
