// Motorola S-record reader and writer.
#include "format_test_util.h"
#include "formats/file_loader.h"
#include "formats/srecord.h"

#include <gtest/gtest.h>

namespace {

TTextLines Saved(const THexList& b, int code = 4) {
    TTextLines lines;
    EXPECT_EQ(TFileLoader::SaveToString(lines, b, code), 0);
    return lines;
}

TEST(SaveMotFile, GoldenLines) {
    THexList b = Buffer(256);
    EXPECT_EQ(Saved(b), TTextLines{"S9030000FC"});
    b.HexData[0] = 0x12;
    for (int code = 4; code <= 6; ++code)
        EXPECT_EQ(Saved(b, code), (TTextLines{"S104000012E9", "S9030000FC"})) << code;

    b = Buffer(131072);
    b.HexData[0x10000] = 0x12;
    EXPECT_EQ(Saved(b), (TTextLines{"S20501000012E7", "S9030000FC"}));
}

TEST(SaveMotFile, MixedFileIsDetectedAsCode5) {
    THexList b = Buffer(131072);
    b.HexData[0xFFF0] = 0x01;
    b.HexData[0x10005] = 0x02;
    const TTextLines lines = Saved(b);
    EXPECT_EQ(lines, (TTextLines{"S104FFF0010B", "S20A010000FFFFFFFFFF02F7", "S9030000FC"}));
    EXPECT_EQ(TFileLoader::GetFileType(lines), 5);
}

TEST(LoadMotFile, AddressLengths) {
    THexList b = Buffer(131072);
    LoadMotFile({"S0030000FC", "S307000001001234B1", "S20501000056A3", "S1050002AABB93"}, b);
    EXPECT_EQ(b.HexData[0x100], 0x12);
    EXPECT_EQ(b.HexData[0x101], 0x34);
    EXPECT_EQ(b.HexData[0x10000], 0x56);
    EXPECT_EQ(b.HexData[2], 0xAA);
    EXPECT_EQ(b.HexData[3], 0xBB);
    EXPECT_EQ(b.LastActualLocation(), 0x10001);
}

TEST(LoadMotFile, StopsAtS9AndPassesOverOtherTypes) {
    THexList b = Buffer(256);
    LoadMotFile({"S104000012E9", "S5030001FB", "S70500000000FA", "S804000000FB", "S1040001AB4F", "S9030000FC",
                 "S1040002CD2C"},
                b);
    EXPECT_EQ(b.HexData[0], 0x12);
    EXPECT_EQ(b.HexData[1], 0xAB);
    EXPECT_EQ(b.HexData[2], 0xFF);
}

// A file as common tools write it: header, data, record count, S8 end.
TEST(LoadMotFile, CountAndS8RecordsLoadAsSRecords) {
    THexList b = Buffer(131072);
    const TTextLines lines{"S00600004844521B", "S2050100AA004F", "S5030001FB", "S804000000FB"};
    ASSERT_EQ(TFileLoader::GetFileType(lines), 5);
    EXPECT_EQ(TFileLoader::LoadFromString(b, lines, 0), 0);
    EXPECT_EQ(b.HexData[0x100AA], 0x00);
    EXPECT_EQ(b.LastActualLocation(), 0x100AB);
}

} // namespace
