// Small byte helpers the board emulators share: the bit order of a byte
// reversed (for bridges that shift least significant bit first), and a
// byte as two lower-case hex digits (for their fault reasons).
#pragma once

#include <cstdint>
#include <string>

constexpr std::uint8_t ReverseBits(std::uint8_t b) {
    b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

inline std::string HexByte(std::uint8_t b) {
    static const char digits[] = "0123456789abcdef";
    return {digits[b >> 4], digits[b & 15]};
}
