#include "formats/buffer_access.h"

void StoreByte(THexList& Data, std::uint64_t Address, std::uint8_t Value) {
    if (Address < Data.Size()) {
        Data.HexData[static_cast<std::size_t>(Address)] = Value;
        return;
    }
    // Let the buffer raise its own range error for the (clamped) index.
    Data.SetValue(Address > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(Address), Value);
}
