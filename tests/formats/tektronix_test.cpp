// Tektronix and extended Tektronix readers and writers.
#include "format_test_util.h"
#include "formats/file_loader.h"
#include "formats/tektronix.h"
#include "formats/tektronix_ext.h"

#include <gtest/gtest.h>

namespace {

TTextLines Saved(const THexList& b, int code) {
    TTextLines lines;
    EXPECT_EQ(TFileLoader::SaveToString(lines, b, code), 0);
    return lines;
}

TEST(SaveTekFile, GoldenLines) {
    THexList b = Buffer(256);
    EXPECT_EQ(Saved(b, 8), TTextLines{"/00000000"});
    b.HexData[0] = 0x12;
    EXPECT_EQ(Saved(b, 8), (TTextLines{"/000001011203", "/00000000"}));
    b.HexData[0] = 0xFF;
    b.HexData[0xA3] = 0x9C;
    EXPECT_EQ(Saved(b, 8), (TTextLines{"/00A0040EFFFFFF9C6F", "/00000000"}));
}

TEST(SaveTekExtFile, GoldenLines) {
    THexList b = Buffer(256);
    EXPECT_EQ(Saved(b, 7), TTextLines{"%0E81E800000000"});
    b.HexData[0] = 0x12;
    EXPECT_EQ(Saved(b, 7), (TTextLines{"%0D61B50000012", "%0E81E800000000"}));
}

TEST(SaveTekExtFile, HoldsTheWholeLargestBuffer) {
    THexList b = Buffer(131072);
    b.HexData[0x1FFFF] = 0x12;
    EXPECT_EQ(Saved(b, 7), (TTextLines{"%2B60B51FFF0FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF12", "%0E81E800000000"}));
}

// Tektronix records have four address digits: a buffer with data above
// 0xFFFF is refused and the file already there stays as it was.
TEST(SaveTekFile, RefusesAddressesAbove64KiB) {
    TTempDir dir;
    THexList b = Buffer(131072);
    b.HexData[0xFFFF] = 0x01;
    ASSERT_EQ(TFileLoader::SaveFile(dir.File("a.tek"), b, 8), 0);
    EXPECT_EQ(ReadBytes(dir.File("a.tek")), "/FFF0102EFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF01C3\r\n/00000000\r\n");
    b.HexData[0x10000] = 0x02;
    EXPECT_EQ(TFileLoader::SaveFile(dir.File("a.tek"), b, 8), 1);
    EXPECT_EQ(ReadBytes(dir.File("a.tek")), "/FFF0102EFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF01C3\r\n/00000000\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.tek"});
}

TEST(LoadTekFile, StoresRecordsUpToCountZero) {
    THexList b = Buffer(256);
    LoadTekFile({"/000001011203", "", "/00A0020CABCD2E", "/00000000", "/00100102AA14"}, b);
    EXPECT_EQ(b.HexData[0], 0x12);
    EXPECT_EQ(b.HexData[0xA0], 0xAB);
    EXPECT_EQ(b.HexData[0xA1], 0xCD);
    EXPECT_EQ(b.HexData[0x10], 0xFF) << "after the end record";
}

TEST(LoadTekExtFile, AddressLengthAndRecordTypes) {
    THexList b = Buffer(512);
    LoadTekExtFile({"%0C62C40100AB"}, b);
    EXPECT_EQ(b.HexData[0x100], 0xAB);
    EXPECT_EQ(b.LastActualLocation(), 0x101);
    b.Clear();
    LoadTekExtFile({"%0D31850000012"}, b);
    EXPECT_EQ(b.LastUsedLocation(), -1) << "a symbol record loads nothing";
    b.Clear();
    LoadTekExtFile({"%0D61B50000012", "%0E81E800000000", "%0D62050000134"}, b);
    EXPECT_EQ(b.HexData[0], 0x12);
    EXPECT_EQ(b.HexData[1], 0xFF) << "reading ends at the termination record";
}

TEST(LoadTekExtFile, EightDigitAddressesAndOddDataCharacter) {
    THexList b = Buffer(131072);
    LoadTekExtFile({"%1362C8000100001234F"}, b);
    EXPECT_EQ(b.HexData[0x10000], 0x12);
    EXPECT_EQ(b.HexData[0x10001], 0x34);
    EXPECT_EQ(b.HexData[0x10002], 0xFF);
}

} // namespace
