// Helpers of the file format tests: buffers of device sizes and images
// (the temporary folder and whole-file access come from common/temp_dir.h).
#pragma once

#include "buffer/hex_list.h"
#include "common/temp_dir.h"
#include "formats/text_lines.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A cleared buffer of Size bytes (24C512: 65536, 24C1024: 131072).
inline THexList Buffer(std::uint32_t Size) {
    THexList b;
    b.SetSizeof(Size);
    return b;
}

// The bytes of a buffer as a string, for compact comparisons.
inline std::string Image(const THexList& b) {
    return {b.HexData.begin(), b.HexData.end()};
}

// A deterministic sparse image: runs of data with 0xFF holes of every size,
// from Start up to End (exclusive).
inline void FillSparse(THexList& b, std::uint32_t Start, std::uint32_t End, std::uint32_t Seed) {
    std::uint32_t x = Seed * 2654435761u + 1;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    std::uint32_t a = Start;
    while (a < End) {
        const std::uint32_t run = next() % 70 + 1, hole = next() % 40;
        for (std::uint32_t i = 0; i < run && a < End; ++i, ++a)
            b.HexData[a] = static_cast<std::uint8_t>(next());
        a += hole;
    }
}
