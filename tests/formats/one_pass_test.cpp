// The one-pass loads agree with the steps they stand for: detection followed
// by the format's reader, and GetFileType followed by LoadFile or
// LoadBinary; the text read straight from a file's bytes agrees with its
// lines.
#include "format_test_util.h"
#include "formats/file_loader.h"
#include "read_as.h"

#include <gtest/gtest.h>

namespace {

// Texts whose detection or reading takes a turn somewhere after the first
// line: a record format that breaks further down, an Intel-looking start of
// an Atmel file, addresses past the end of a 64-byte buffer, records after
// the end record, Atmel lines that are not plain digits, line ends of every
// kind, a zero byte.
const char* const kTexts[] = {
    ":0100000012ED\r\n:0100010034CA\r\n:00000001FF\r\n",
    ":0100000012ED\r\n:0100010034CA\r\nbroken\r\n:00000001FF\r\n",
    ":0100000012ED\r\n:0400FE00AABBCCDDF6\r\n:0100010034CA\r\n:00000001FF\r\n",
    ":0100000012ED\r\n:00000001FF\r\ngarbage after the end\r\n",
    ":23456:7890\r\n000001:ABCD\r\n",
    ":23456:7890\r\n0001:AB\r\n",
    "\r\n\r\n:0100000012ED\n:00000001FF",
    ":0100000012ED\r:00000001FF\r",
    "S104000012E9\r\nS1040001AB4F\r\nS9030000FC\r\n",
    "S104000012E9\r\nS1040040AB4F\r\nS104000234E9\r\nS9030000FC\r\n",
    "S104000012E9\r\nS4030000FC\r\n",
    "%0D61B50000012\r\n%113xyz\r\n%0E81E800000000\r\n",
    "%0D61B50000012\r\n%0D61B50004012\r\n%0D61B50000134\r\n",
    "%0D61B50000012\r\n%0C61B50000012\r\n",
    "/000001011203\r\n/00000000\r\n/00100102AA14\r\n",
    "/003F020B1234\r\n/000101021203\r\n/00000000\r\n",
    "/000001011203\r\n/000001021203\r\n",
    "000000:1234\r\n000001:abcd\r\n\r\n00001F:5678\r\n",
    "000000:1234\r\n000020:5678\r\n000001:9ABC\r\n",
    "000000:1234\r\n00:001:5678\r\n0:0002:9ABC\r\n",
    "000000:1234\r\n000001:56789\r\n",
    "0000:12\r\n0001:ab\r\n003F:CD\r\n0040:EF\r\n0002:34\r\n",
    "0000:12\r\n00:1:34\r\n0002:5:\r\n",
    "0000:12\n0001:34\r0002:56",
    "0000:12\r\n000000:1234\r\n",
    "\r\n\r\n",
    "",
    "hello",
    "0A1b",
    "0A1b2C3d",
};

TEST(OnePass, LoadAgreesWithDetectionThenReader) {
    for (const char* t : kTexts) {
        const std::string text = t;
        const TTextLines lines = SplitLines(text);
        const int code = TFileLoader::GetFileType(lines);
        EXPECT_EQ(TFileLoader::GetTextType(text), code) << t;

        THexList expected = Buffer(64), fromLines = Buffer(64), fromText = Buffer(64);
        const int expectedResult = ReadAs(code, lines, expected);
        EXPECT_EQ(TFileLoader::LoadFromString(fromLines, lines, 0), expectedResult) << t;
        EXPECT_EQ(TFileLoader::LoadFromText(fromText, text, 0), expectedResult) << t;
        EXPECT_EQ(Image(fromLines), Image(expected)) << t;
        EXPECT_EQ(Image(fromText), Image(expected)) << t;
    }
}

// LoadAnyFile against the two steps it replaces, on buffers that start
// alike: the same result, code, bytes, statuses and file name, also when
// the text turns out to be no format and the file is then too long to load
// as a binary image (the buffer must keep what it held).
TEST(OnePass, LoadAnyFileAgreesWithTheTwoSteps) {
    TTempDir dir;
    std::vector<std::string> files(std::begin(kTexts), std::end(kTexts));
    files.push_back(std::string("\0:00000001FF\r\n", 15));
    files.push_back(std::string(":0100000012ED\r\n\0garbage", 23));
    files.push_back(std::string(64, '\x01'));
    files.push_back(std::string(65, '\x01'));
    const auto prepared = [] {
        THexList b = Buffer(64);
        b.SetFileName("previous.bin");
        b.Fill(0, 63, 0x5A);
        b.SetStatus(7, TProgStatus(ps_verified));
        return b;
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string name = dir.File("f" + std::to_string(i));
        WriteBytes(name, files[i]);
        THexList expected = prepared(), actual = prepared();
        const int expectedType = TFileLoader::GetFileType(name);
        const int expectedResult = expectedType > 0 ? TFileLoader::LoadFile(name, expected, 0)
                                                    : TFileLoader::LoadBinary(name, expected);
        int type = 99;
        EXPECT_EQ(TFileLoader::LoadAnyFile(name, actual, type), expectedResult) << i;
        EXPECT_EQ(type, expectedType) << i;
        EXPECT_EQ(Image(actual), Image(expected)) << i;
        EXPECT_EQ(actual.StatusArray(), expected.StatusArray()) << i;
        EXPECT_EQ(actual.FileName(), expected.FileName()) << i;
    }
    THexList untouched = prepared();
    int type = 99;
    EXPECT_EQ(TFileLoader::LoadAnyFile(dir.File("missing"), untouched, type), -1);
    EXPECT_EQ(type, ft_NotFound);
    EXPECT_EQ(untouched.FileName(), "previous.bin");
    EXPECT_EQ(untouched.HexData[0], 0x5A);
}

// Lines cut one character at a time: the text ends at its first zero byte,
// a line at CR, LF or CR LF.
TTextLines ReferenceLines(std::string_view Text) {
    Text = Text.substr(0, Text.find('\0'));
    TTextLines lines;
    std::size_t p = 0;
    while (p < Text.size()) {
        const std::size_t start = p;
        while (p < Text.size() && Text[p] != '\r' && Text[p] != '\n')
            ++p;
        lines.emplace_back(Text.substr(start, p - start));
        if (p < Text.size() && Text[p] == '\r') ++p;
        if (p < Text.size() && Text[p] == '\n') ++p;
    }
    return lines;
}

// The reader cuts the text as the rule says, also where a line ends at any
// place of the eight characters it looks at together.
TEST(OnePass, LineReaderCutsLikeTheRule) {
    std::vector<std::string> texts = {"",     "a",    "\r",       "\n",
                                      "\r\n", "\n\r", "a\r\r\nb", std::string("ab\0c\r\n", 6)};
    for (std::size_t n = 0; n < 20; ++n)
        for (const char* end : {"\r", "\n", "\r\n", ""})
            texts.push_back(std::string(n, 'x') + end + std::string(n % 7, 'y') + "\n\n" +
                            std::string(n, 'z'));
    for (const auto& text : texts) {
        TLineReader reader(text);
        TTextLines read;
        std::string_view line;
        while (reader.Next(line))
            read.emplace_back(line);
        EXPECT_EQ(read, ReferenceLines(text)) << testing::PrintToString(text);
        EXPECT_EQ(SplitLines(text), read);
    }
}

// The digit test that looks at eight characters together: every byte value
// at every place of the words it looks at, in texts of every length up to
// three words.
TEST(OnePass, HexDigitsEightAtATime) {
    for (std::size_t length = 1; length <= 24; ++length)
        for (std::size_t place = 0; place < length; ++place)
            for (int c = 0; c < 256; ++c) {
                std::string s(length, 'a');
                for (std::size_t i = 0; i < length; ++i)
                    s[i] = "0123456789abcdefABCDEF"[(i * 7) % 22];
                s[place] = static_cast<char>(c);
                const bool digit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
                ASSERT_EQ(AllHexDigits(s), digit) << length << " " << place << " " << c;
            }
}

} // namespace
