// Intel hex reader and writer.
#include "errors/errors.h"
#include "format_test_util.h"
#include "formats/file_loader.h"
#include "formats/intel_hex.h"

#include <gtest/gtest.h>

namespace {

TTextLines Saved(const THexList& b) {
    TTextLines lines;
    EXPECT_EQ(TFileLoader::SaveToString(lines, b, 3), 0);
    return lines;
}

TEST(SaveIntelFile, GoldenLines) {
    THexList b = Buffer(256);
    EXPECT_EQ(Saved(b), TTextLines{":00000001FF"});
    b.HexData[0] = 0x12;
    b.HexData[0x11] = 0x34;
    EXPECT_EQ(Saved(b), (TTextLines{":0100000012ED", ":02001000FF34BB", ":00000001FF"}));
}

TEST(SaveIntelFile, FullRowAndAllThreeCodesAlike) {
    THexList b = Buffer(32);
    for (int i = 0; i < 16; ++i)
        b.HexData[16 + i] = static_cast<std::uint8_t>(i);
    const TTextLines expected{":10001000000102030405060708090A0B0C0D0E0F68", ":00000001FF"};
    for (int code = 1; code <= 3; ++code) {
        TTextLines lines;
        ASSERT_EQ(TFileLoader::SaveToString(lines, b, code), 0);
        EXPECT_EQ(lines, expected) << code;
    }
}

TEST(SaveIntelFile, ExtendedLinearRecords) {
    THexList b = Buffer(65536);
    b.HexData[0xFFFF] = 0x01;
    EXPECT_EQ(Saved(b), (TTextLines{":10FFF000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF010F", ":00000001FF"}))
        << "24C512: no extended records";

    b = Buffer(131072);
    b.HexData[0x20] = 0x55;
    b.HexData[0x10000] = 0x12;
    b.HexData[0x1FFFF] = 0xAB;
    EXPECT_EQ(Saved(b), (TTextLines{":020000040000FA", ":01002000558A", ":020000040001F9", ":0100000012ED",
                                    ":10FFF000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFAB65", ":00000001FF"}));
}

TEST(LoadIntelFile, SegmentAndLinearAddresses) {
    THexList b = Buffer(131072);
    LoadIntelFile({":020000020100FB", ":0100100012DD", ":00000001FF"}, b);
    EXPECT_EQ(b.HexData[0x1010], 0x12);

    b.Clear();
    LoadIntelFile({":020000040001F9", ":0100000012ED", ":00000001FF"}, b);
    EXPECT_EQ(b.HexData[0x10000], 0x12);

    // Both stay in force and add up.
    b.Clear();
    LoadIntelFile({":020000040001F9", ":020000020100FB", ":0100100012DD"}, b);
    EXPECT_EQ(b.HexData[0x11010], 0x12);
    EXPECT_EQ(b.LastActualLocation(), 0x11011);
}

TEST(LoadIntelFile, RecordCrossing64KiBDoesNotWrap) {
    THexList b = Buffer(131072);
    LoadIntelFile({":04FFFE00A1B2C3D4E4"}, b);
    EXPECT_EQ(b.HexData[0xFFFE], 0xA1);
    EXPECT_EQ(b.HexData[0xFFFF], 0xB2);
    EXPECT_EQ(b.HexData[0x10000], 0xC3);
    EXPECT_EQ(b.HexData[0x10001], 0xD4);
    EXPECT_EQ(b.HexData[0], 0xFF);
}

// Linear FFFFh and segment 1000h add up to 4 GiB: the address lies past
// every buffer and is refused, it does not wrap around to address 0.
TEST(LoadIntelFile, AddressesPast4GiBAreRefusedNotWrappedToZero) {
    THexList b = Buffer(131072);
    EXPECT_THROW(LoadIntelFile({":02000004FFFFFC", ":020000021000EC", ":0100000055AA"}, b), EISPException);
    EXPECT_EQ(b.HexData[0], 0xFF);
    b.Clear();
    EXPECT_EQ(TFileLoader::LoadFromString(
                  b, {":02000004FFFFFC", ":020000021000EC", ":0100000055AA", ":00000001FF"}, 0),
              -1);
    EXPECT_EQ(b.HexData[0], 0xFF);
}

TEST(LoadIntelFile, StopsAtEndRecordAndIgnoresOtherTypes) {
    THexList b = Buffer(256);
    LoadIntelFile({"", ":0400000300001000E9", ":0100000012ED", ":00000001FF", ":0100010034CA"}, b);
    EXPECT_EQ(b.HexData[0], 0x12);
    EXPECT_EQ(b.HexData[1], 0xFF);
}

TEST(LoadIntelFile, BeyondBufferRaisesRangeError) {
    THexList b = Buffer(65536);
    EXPECT_THROW(LoadIntelFile({":020000040001F9", ":0100000012ED"}, b), EISPException);
}

} // namespace
