// The buffer size of one fuzz input, chosen by its first byte: device sizes,
// the odd 5-byte secondary buffer and an empty buffer.
#pragma once

#include <cstddef>
#include <cstdint>

inline std::uint32_t FuzzBufferSize(std::uint8_t Selector) {
    static const std::uint32_t sizes[] = {0, 5, 16, 256, 2048, 65536, 131072};
    return sizes[Selector % (sizeof sizes / sizeof sizes[0])];
}
