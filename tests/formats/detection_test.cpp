// Line splitting and the detectors: which code a text gets, and why not.
#include "format_test_util.h"
#include "formats/atmel_generic.h"
#include "formats/file_loader.h"
#include "formats/intel_hex.h"
#include "formats/srecord.h"
#include "formats/tektronix.h"
#include "formats/tektronix_ext.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitLines, LineEndsAndZeroByte) {
    struct Case {
        std::string text;
        TTextLines lines;
    };
    const Case cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"a\n\rb", {"a", "", "b"}}, // LF CR is two line ends
        {"a\r\r\nb", {"a", "", "b"}},
        {std::string("ab\0cd\r\nef", 9), {"ab"}},
        {std::string("\0:00000001FF", 12), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitLines(c.text), c.lines) << testing::PrintToString(c.text);
}

TEST(SplitLines, JoinEndsEveryLineWithCrLf) {
    EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(JoinLines({}), "");
}

struct DetectCase {
    const char* what;
    TTextLines lines;
    int code;
};

TEST(GetFileType, DetectedCodes) {
    const DetectCase cases[] = {
        {"no lines", {}, -2},
        {"only blank lines", {"", "", ""}, 9},
        // Intel: the code says which record types were seen.
        {"intel data only", {":0100000012ED", ":00000001FF"}, 1},
        {"intel lower case", {":02001000ff34bb", ":00000001ff"}, 1},
        {"intel with segment", {":0100000012ED", ":020000020100FB", ":00000001FF"}, 2},
        {"intel with linear", {":020000040001F9", ":0100000012ED", ":00000001FF"}, 3},
        {"intel linear then segment", {":020000040001F9", ":020000020100FB", ":00000001FF"}, 3},
        {"intel start address 03", {":0400000300001000E9", ":00000001FF"}, 3},
        {"intel stops at end record", {":0100000012ED", ":00000001FF", "garbage", ""}, 1},
        {"intel blank lines skipped", {"", ":0100000012ED", "", ":00000001FF", ""}, 1},
        {"intel wrong length field", {":0200000012ED", ":00000001FF"}, 0},
        {"intel unknown type 06", {":00000006FA"}, 0},
        {"intel odd length", {":0100000012ED0", ":00000001FF"}, 0},
        {"intel short line", {":00000001F"}, 0},
        {"intel not hex", {":01000000G2ED"}, 0},
        // Motorola.
        {"motorola S1", {"S104000012E9", "S9030000FC"}, 4},
        {"motorola header", {"S00600004844521B", "S104000012E9", "S9030000FC"}, 4},
        {"motorola S2", {"S104000012E9", "S20501000012E7", "S9030000FC"}, 5},
        {"motorola S3", {"S3060000010012E6", "S9030000FC"}, 6},
        {"motorola S7", {"S104000012E9", "S70500000000FA"}, 6},
        {"motorola stops at S9", {"S104000012E9", "S9030000FC", "S3060000010012E6"}, 4},
        {"motorola S4 rejected", {"S104000012E9", "S4030000FC"}, 0},
        {"motorola lower-case s", {"s104000012E9"}, 0},
        {"motorola wrong count", {"S105000012E9"}, 0},
        // Records written by common tools: counts (S5, S6) and the S8 end.
        {"motorola S5 count", {"S104000012E9", "S5030001FB"}, 4},
        {"motorola S6 count", {"S104000012E9", "S6040000010A"}, 4},
        {"motorola S8 end", {"S20501000012E7", "S5030001FB", "S804000000FB"}, 5},
        {"motorola S8 with S1", {"S104000012E9", "S804000000FB"}, 5},
        // Extended Tektronix.
        {"ext tek", {"%0D61B50000012", "%0E81E800000000"}, 7},
        {"ext tek with symbol", {"%0D61B50000012", "%113xyz", "%0E81E800000000"}, 7},
        {"ext tek stops at end", {"%0E81E800000000", "garbage"}, 7},
        {"ext tek wrong block length", {"%0C61B50000012"}, 0},
        {"ext tek unknown type", {"%0D71B50000012"}, 0},
        // Tektronix.
        {"tek", {"/000001011203", "/00000000"}, 8},
        {"tek without end record", {"/000001011203"}, 8},
        {"tek stops at end record", {"/00000000", "garbage"}, 8},
        {"tek count 0 with data checksum", {"/0000000000"}, 8},
        {"tek wrong header checksum", {"/000001021203", "/00000000"}, 0},
        {"tek wrong count", {"/000002021203"}, 0},
        // Atmel generic.
        {"atmel 16", {"000000:1234", "", "000001:ABCD"}, 9},
        {"atmel 8", {"0005:12", "0006:ab"}, 10},
        {"atmel mixed lengths", {"000000:1234", "0005:12"}, 0},
        {"atmel colon misplaced", {"00000:01234"}, 0},
        {"atmel bad character", {"0005:1G"}, 0},
        {"garbage", {"hello world"}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TFileLoader::GetFileType(c.lines), c.code) << c.what;
}

TEST(GetFileType, ExtendedTektronixSymbolsAloneAreNotData) {
    EXPECT_EQ(CheckExtTek({"%113xyz", "%0A3ABCDEF"}), 0);
}

// The header checksum of a Tektronix record is compared even though the
// switch is on; the data checksum is not.
TEST(GetFileType, TektronixHeaderChecksumAlwaysCompared) {
    ASSERT_TRUE(IGNORECHECKSUM);
    EXPECT_EQ(CheckTek({"/000001011200"}), 8);
    EXPECT_EQ(CheckTek({"/000001001203"}), 0);
}

// With the switch off each detector compares its record checksum.
TEST(GetFileType, ChecksumsComparedWhenSwitchIsOff) {
    EXPECT_EQ(CheckIntelHex({":0100000012ED", ":00000001FF"}, false), 1);
    EXPECT_EQ(CheckIntelHex({":0100000012EE", ":00000001FF"}, false), 0);
    EXPECT_EQ(CheckIntelHex({":0100000012EE", ":00000001FF"}, true), 1);
    EXPECT_EQ(CheckMotorola({"S104000012E9", "S5030001FB", "S9030000FC"}, false), 4);
    EXPECT_EQ(CheckMotorola({"S104000012E8"}, false), 0);
    EXPECT_EQ(CheckExtTek({"%0D61B50000012", "%0E81E800000000"}, false), 7);
    EXPECT_EQ(CheckExtTek({"%0D61C50000012"}, false), 0);
    EXPECT_EQ(CheckTek({"/000001011203", "/00000000"}, false), 8);
    EXPECT_EQ(CheckTek({"/000001011204"}, false), 0);
}

TEST(GetFileType, FromFile) {
    TTempDir dir;
    EXPECT_EQ(TFileLoader::GetFileType(dir.File("missing.hex")), -1);
    EXPECT_EQ(TFileLoader::GetFileType(dir.Path()), -1) << "a folder is not a file";
    WriteBytes(dir.File("zero.bin"), std::string("\0:00000001FF\r\n", 15));
    EXPECT_EQ(TFileLoader::GetFileType(dir.File("zero.bin")), -2);
    WriteBytes(dir.File("empty.bin"), "");
    EXPECT_EQ(TFileLoader::GetFileType(dir.File("empty.bin")), -2);
    WriteBytes(dir.File("a.hex"), ":020000040001F9\n:0100000012ED\r:00000001FF");
    EXPECT_EQ(TFileLoader::GetFileType(dir.File("a.hex")), 3);
    // Given lines win over the file name.
    const TTextLines lines{"S104000012E9"};
    EXPECT_EQ(TFileLoader::GetFileType(dir.File("a.hex"), &lines), 4);
}

} // namespace
