#include "buffer/test_patterns.h"
#include "errors/errors.h"

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(RandomData, GeneratorSequenceFromAFreshStart) {
    TRandomBytes g;
    // state 1, 134775814, ... ; value = state * 255 div 2^32
    EXPECT_EQ(g.Next(255), 0u);
    EXPECT_EQ(g.State(), 1u);
    const std::uint32_t s2 = 134775813u * 1u + 1u;
    EXPECT_EQ(g.Next(255), static_cast<std::uint32_t>((std::uint64_t(s2) * 255) >> 32));
    EXPECT_EQ(g.State(), s2);
}

TEST(RandomData, SameBytesAfterEveryStartAndTheSequenceContinues) {
    THexList a, b;
    a.SetSize(4096);
    b.SetSize(4096);
    TRandomBytes ga, gb;
    FillRandomData(a, ga, a.Size());
    FillRandomData(b, gb, b.Size());
    EXPECT_EQ(a.HexData, b.HexData);
    // The first draw is 0, stored as 0xA5.
    EXPECT_EQ(a.HexData[0], 0xA5);
    // A second use goes on with the sequence instead of repeating it.
    FillRandomData(b, gb, b.Size());
    EXPECT_NE(a.HexData, b.HexData);
    EXPECT_EQ(a.Status(7), TProgStatus(ps_normal));
}

TEST(RandomData, NeverZeroAndA5TwiceAsOften) {
    THexList h;
    const std::uint32_t n = 255u * 2000u;
    h.SetSize(n);
    TRandomBytes g;
    FillRandomData(h, g, n);
    std::array<int, 256> count{};
    for (std::uint8_t v : h.HexData)
        ++count[v];
    EXPECT_EQ(count[0], 0);
    EXPECT_EQ(count[0xFF], 0); // draws stop at 254
    double others = 0;
    for (int v = 1; v < 255; ++v)
        if (v != 0xA5) others += count[v];
    const double mean = others / 253.0;
    EXPECT_NEAR(count[0xA5] / mean, 2.0, 0.2);
}

TEST(RandomData, StatusesUnchangedAndRangeErrorPastTheBuffer) {
    THexList h;
    h.SetSize(16);
    h.InvalidateData();
    TRandomBytes g;
    EXPECT_THROW(FillRandomData(h, g, 17), EISPException);
    EXPECT_EQ(h.Status(3), TProgStatus(ps_failed));
}

TEST(PagedTestPattern, On24C02) {
    THexList h;
    h.SetSize(256);
    WritePagedTestPattern(h, 4, 256);
    THexList want;
    want.SetSize(256);
    for (int i = 0; i < 64; ++i) {
        if (5 * i > 255) break;
        want.HexData[static_cast<std::size_t>(5 * i)] = static_cast<std::uint8_t>(i);
        std::uint8_t v = static_cast<std::uint8_t>(~(i + 1) & 0xDF);
        if (i & 1) v |= 0x80;
        want.HexData[static_cast<std::size_t>(4 * i + 3 - i)] = v;
    }
    EXPECT_EQ(h.HexData, want.HexData);
    // Spot values: page 0 holds 00 at 0 and FE AND DF = DE at 3; page 1
    // holds 01 at 5 and (FD AND DF) OR 80 = DD at 6.
    EXPECT_EQ(h.HexData[0], 0x00);
    EXPECT_EQ(h.HexData[3], 0xDE);
    EXPECT_EQ(h.HexData[5], 0x01);
    EXPECT_EQ(h.HexData[6], 0xDD);
    // i = 51 is the last page whose first byte (255) fits.
    EXPECT_EQ(h.HexData[255], 51);
}

TEST(PagedTestPattern, LargePagesAndNoPageSize) {
    THexList h;
    h.SetSize(32768);
    WritePagedTestPattern(h, 64, 32768);
    EXPECT_EQ(h.HexData[64 * 300 + 300], static_cast<std::uint8_t>(300));
    // Past the page size the marker lands in an earlier page: (NOT 301) AND DF.
    EXPECT_EQ(h.HexData[64 * 300 + 63 - 300], 0xD2);
    // The last page whose first byte fits is 504 (65 * 504 = 32760).
    EXPECT_EQ(h.HexData[32760], static_cast<std::uint8_t>(504));
    EXPECT_EQ(h.HexData[32767], 0xFF);
    THexList none;
    none.SetSize(64);
    WritePagedTestPattern(none, 0, 64);
    EXPECT_EQ(none.LastActualLocation(), 0);
}

} // namespace
