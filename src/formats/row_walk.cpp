#include "formats/row_walk.h"

#include "formats/buffer_access.h"

void WalkRows(const THexList& Data, const TRowVisitor& Row) {
    const std::int64_t last = Data.LastUsedLocation();
    const std::int64_t rows = last < 0 ? 1 : last / 16 + 1;
    std::uint8_t bytes[16];
    for (std::int64_t r = 0; r < rows; ++r) {
        const std::uint64_t base = static_cast<std::uint64_t>(r) * 16;
        int count = 0;
        for (int j = 0; j < 16; ++j) {
            bytes[j] = ByteOrEmpty(Data, base + static_cast<std::uint64_t>(j));
            if (bytes[j] != 0xFF) count = j + 1;
        }
        if (count > 0) Row(static_cast<std::uint32_t>(base), bytes, count);
    }
}
