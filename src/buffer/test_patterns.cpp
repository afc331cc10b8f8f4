#include "buffer/test_patterns.h"

std::uint32_t TRandomBytes::Next(std::uint32_t Range) {
    FState = FState * 134775813u + 1u;
    return static_cast<std::uint32_t>((std::uint64_t(FState) * Range) >> 32);
}

void FillRandomData(THexList& Buffer, TRandomBytes& Generator, std::uint32_t Count) {
    for (std::uint32_t a = 0; a < Count; ++a) {
        std::uint32_t v = Generator.Next(255);
        if (v == 0) v = 0xA5;
        Buffer.SetValue(a, static_cast<std::uint8_t>(v));
    }
}

void WritePagedTestPattern(THexList& Buffer, int PageSize, int FlashSize) {
    if (PageSize <= 0 || FlashSize <= 0) return;
    const std::int64_t P = PageSize;
    const std::int64_t n = FlashSize / PageSize;
    const auto inside = [&Buffer](std::int64_t a) { return a >= 0 && a < std::int64_t(Buffer.Size()); };
    for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t first = P * i + i;
        if (!inside(first)) return;
        Buffer.SetValue(static_cast<std::uint32_t>(first), static_cast<std::uint8_t>(i));
        std::uint8_t v = static_cast<std::uint8_t>(~(i + 1) & 0xDF);
        if (i % 2 == 1) v |= 0x80;
        const std::int64_t last = P * i + P - 1 - i;
        if (!inside(last)) return;
        Buffer.SetValue(static_cast<std::uint32_t>(last), v);
    }
}
