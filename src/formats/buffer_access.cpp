#include "formats/buffer_access.h"

#include <cstdlib>

void RaiseAddressRange(THexList& Data, std::uint64_t Address, std::uint8_t Value) {
    Data.SetValue(Address > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(Address), Value);
    std::abort(); // SetValue raises for every index past the end
}
