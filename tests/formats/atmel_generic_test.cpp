// Atmel generic reader and writer, both layouts.
#include "format_test_util.h"
#include "formats/atmel_generic.h"
#include "formats/file_loader.h"

#include <gtest/gtest.h>

namespace {

TTextLines Saved(const THexList& b, int code) {
    TTextLines lines;
    EXPECT_EQ(TFileLoader::SaveToString(lines, b, code), 0);
    return lines;
}

TEST(SaveAtmelGeneric, GoldenLines) {
    THexList b = Buffer(256);
    EXPECT_EQ(Saved(b, 9), TTextLines{});
    EXPECT_EQ(Saved(b, 10), TTextLines{});
    b.HexData[0] = 0x34;
    b.HexData[1] = 0x12;
    b.HexData[5] = 0x56;
    EXPECT_EQ(Saved(b, 9), (TTextLines{"000000:1234", "000002:56FF"}));
    EXPECT_EQ(Saved(b, 10), (TTextLines{"0000:34", "0001:12", "0005:56"}));
}

TEST(SaveAtmelGeneric, LargestBuffer) {
    THexList b = Buffer(131072);
    b.HexData[0x1FFFE] = 0xAB;
    EXPECT_EQ(Saved(b, 9), TTextLines{"00FFFF:FFAB"});
    TTextLines lines;
    EXPECT_EQ(TFileLoader::SaveToString(lines, b, 10), 1) << "four address digits cannot name 0x1FFFE";
    b.HexData[0x1FFFE] = 0xFF;
    b.HexData[0xFFFF] = 0x01;
    EXPECT_EQ(Saved(b, 10), TTextLines{"FFFF:01"});
}

TEST(LoadAtmelGeneric, BothLayouts) {
    THexList b = Buffer(256);
    ASSERT_EQ(TFileLoader::LoadFromString(b, {"000000:1234", "", "00007f:abcd"}, 0), 0);
    EXPECT_EQ(b.HexData[1], 0x12);
    EXPECT_EQ(b.HexData[0], 0x34);
    EXPECT_EQ(b.HexData[0xFF], 0xAB);
    EXPECT_EQ(b.HexData[0xFE], 0xCD);

    ASSERT_EQ(TFileLoader::LoadFromString(b, {"0005:12", "00fe:ab"}, 0), 0);
    EXPECT_EQ(b.HexData[5], 0x12);
    EXPECT_EQ(b.HexData[0xFE], 0xAB);
    EXPECT_EQ(b.HexData[0], 0xFF);
}

TEST(LoadAtmelGeneric, WordPastTheEndStoresNothingOfIt) {
    THexList b = Buffer(256);
    // Word 0x80 is bytes 0x100 and 0x101: the odd byte comes first and fails.
    EXPECT_EQ(TFileLoader::LoadFromString(b, {"000001:1234", "000080:5678"}, 0), -1);
    EXPECT_EQ(b.HexData[3], 0x12);
    EXPECT_EQ(b.HexData[2], 0x34);
}

} // namespace
