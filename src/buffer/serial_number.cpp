#include "buffer/serial_number.h"

#include "buffer/hex_text.h"

#include <algorithm>

std::string SerialNumberText(std::int32_t Value, int SizeIndex) {
    const int digits = 4 + 2 * std::clamp(SizeIndex, 0, 2);
    return IntToHex(static_cast<std::uint32_t>(Value), digits);
}

void StoreSerialNumber(THexList& Buffer, std::uint32_t Location, std::int32_t Value, int SizeIndex) {
    const std::string text = SerialNumberText(Value, SizeIndex);
    const int bytes = 2 + std::clamp(SizeIndex, 0, 2);
    for (int k = 0; k < bytes; ++k) {
        const std::uint64_t address = std::uint64_t(Location) + std::uint64_t(k);
        // An address past 32 bits is as much out of range as any other past
        // the end; it is reported with its low 32 bits.
        Buffer.SetValue(static_cast<std::uint32_t>(std::min<std::uint64_t>(address, 0xFFFFFFFFu)),
                        HexToByte(std::string_view(text).substr(2 * static_cast<std::size_t>(k), 2)));
    }
}
