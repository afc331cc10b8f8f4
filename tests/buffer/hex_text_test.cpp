#include "buffer/hex_text.h"

#include <gtest/gtest.h>

namespace {

TEST(HexText, BytetobinAndPackstr) {
    EXPECT_EQ(bytetobin(0x8C), "10001100");
    EXPECT_EQ(bytetobin(0x00), "00000000");
    EXPECT_EQ(bytetobin(0xFF), "11111111");
    EXPECT_EQ(Packstr("ABC", '0', 2), "ABC");
    EXPECT_EQ(Packstr("ABC", '0', 5), "00ABC");
    EXPECT_EQ(Packstr("", ' ', 3), "   ");
}

TEST(HexText, DigitRules) {
    struct Case {
        const char* text;
        std::uint32_t longint;
        std::uint16_t word;
        std::uint8_t byte;
    };
    // hextolongint pads to eight digits; HexToWord reads four characters
    // (non-digits count 0); HexToByte needs two valid digits.
    const Case cases[] = {
        {"1A", 0x1A, 0x1A00, 0x1A},
        {"1G", 0x10, 0x1000, 0x00},
        {"a5", 0xA5, 0xA500, 0xA5},
        {"G5", 0x05, 0x0500, 0x00},
        {"5", 0x5, 0x5000, 0x00},
        {"12ab", 0x12AB, 0x12AB, 0x12},
        {"123456789", 0x12345678, 0x1234, 0x12},
        {":@/g", 0x0, 0x0, 0x00}, // neighbours of the digit ranges
        {"", 0x0, 0x0, 0x00},
        {"ffffffff", 0xFFFFFFFF, 0xFFFF, 0xFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hextolongint(c.text), c.longint) << c.text;
        EXPECT_EQ(HexToWord(c.text), c.word) << c.text;
        EXPECT_EQ(HexToByte(c.text), c.byte) << c.text;
    }
}

TEST(HexText, ConvertHexAndIntToHex) {
    EXPECT_EQ(convertHex('F', 'F'), 0xFF);
    EXPECT_EQ(convertHex('0', '9'), 0x09);
    EXPECT_EQ(convertHex('A', '0'), 0xA0);
    // No validation: lower case letters give wrong values.
    EXPECT_EQ(convertHex('0', 'a'), 0x2A);
    EXPECT_EQ(IntToHex(0x100, 8), "00000100");
    EXPECT_EQ(IntToHex(0xABCDE, 2), "ABCDE");
    EXPECT_EQ(IntToHex(0, 2), "00");
}

} // namespace
