#include "settings/text_encoding.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(TextEncoding, DecodeByByteOrderMarkAndContent) {
    const struct {
        std::string bytes;
        std::string text;
        TTextEncoding encoding;
    } cases[] = {
        {"plain", "plain", TTextEncoding::Utf8},
        {"M\xC3\xBCller", "M\xC3\xBCller", TTextEncoding::Utf8},
        {"\xEF\xBB\xBFM\xC3\xBCller", "M\xC3\xBCller", TTextEncoding::Utf8Bom},
        // Not UTF-8: Windows-1252, including the characters of 0x80..0x9F.
        {"M\xFCller \x80 \x93x\x94", "M\xC3\xBCller \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D",
         TTextEncoding::Ansi},
        {"\xFF\xFE"
         "A\0\xFC\0"s,
         "A\xC3\xBC", TTextEncoding::Utf16Le},
        {"\xFE\xFF"
         "\0A\0\xFC"s,
         "A\xC3\xBC", TTextEncoding::Utf16Be},
        // A surrogate pair (U+1F600) and a lone surrogate.
        {"\xFF\xFE\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80", TTextEncoding::Utf16Le},
        {"\xFF\xFE\x3D\xD8"
         "A\0"s,
         "\xEF\xBF\xBD"
         "A",
         TTextEncoding::Utf16Le},
        // Truncated UTF-16: the odd last byte is dropped.
        {"\xFF\xFE"
         "A\0B"s,
         "A", TTextEncoding::Utf16Le},
        // Broken UTF-8 after a UTF-8 mark is replaced, not passed on.
        {"\xEF\xBB\xBF"
         "a\xC3"s,
         "a\xEF\xBF\xBD", TTextEncoding::Utf8Bom},
    };
    for (const auto& c : cases) {
        const TDecodedText decoded = DecodeText(c.bytes);
        EXPECT_EQ(decoded.Text, c.text);
        EXPECT_EQ(decoded.Encoding, c.encoding);
        EXPECT_TRUE(IsValidUtf8(decoded.Text));
    }
}

TEST(TextEncoding, Utf8ValidityRejectsOverlongAndSurrogates) {
    EXPECT_TRUE(IsValidUtf8("\xE2\x82\xAC"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));         // truncated
}

TEST(TextEncoding, Utf16RoundTrip) {
    const std::string text = "A\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::string units = Utf8ToUtf16Le(text);
    EXPECT_EQ(units, "A\0\xFC\0\xAC\x20\x3D\xD8\x00\xDE"s);
    EXPECT_EQ(Utf16ToUtf8(units), text);
}
