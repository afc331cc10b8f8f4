// Every text format reads back what it wrote, for every device size class.
#include "format_test_util.h"
#include "formats/file_loader.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

// The codes a file written in code Code may be detected as.
bool SameFamily(int Code, int Detected) {
    if (Code <= 3) return Detected >= 1 && Detected <= 3;
    if (Code <= 6) return Detected >= 4 && Detected <= 6;
    return Detected == Code;
}

struct ImageCase {
    const char* what;
    std::uint32_t size;
    void (*fill)(THexList&);
};

const ImageCase kImages[] = {
    {"24C02 sparse", 256, [](THexList& b) { FillSparse(b, 0, 256, 1); }},
    {"24C512 sparse", 65536, [](THexList& b) { FillSparse(b, 0, 65536, 2); }},
    {"24C512 full, no 0xFF", 65536,
     [](THexList& b) {
         for (std::size_t i = 0; i < b.HexData.size(); ++i)
             b.HexData[i] = static_cast<std::uint8_t>(i % 255);
     }},
    {"24C1024 sparse, above 0xFFFF", 131072, [](THexList& b) { FillSparse(b, 0, 131072, 3); }},
    {"24C1024 only the last byte", 131072, [](THexList& b) { b.HexData[0x1FFFF] = 0; }},
    {"24C1024 only the first byte", 131072, [](THexList& b) { b.HexData[0] = 0; }},
};

TEST(RoundTrip, EveryFormatReadsBackWhatItWrote) {
    for (const auto& img : kImages) {
        THexList source = Buffer(img.size);
        img.fill(source);
        for (int code = 1; code <= 10; ++code) {
            TTextLines lines;
            const bool fits = source.LastActualLocation() - 1 <= 0xFFFF || (code != 8 && code != 10);
            ASSERT_EQ(TFileLoader::SaveToString(lines, source, code), fits ? 0 : 1)
                << img.what << " " << code;
            if (!fits) continue;
            EXPECT_TRUE(SameFamily(code, TFileLoader::GetFileType(lines)))
                << img.what << " " << code << " detected as " << TFileLoader::GetFileType(lines);
            THexList copy = Buffer(img.size);
            ASSERT_EQ(TFileLoader::LoadFromString(copy, lines, 0), 0) << img.what << " " << code;
            EXPECT_TRUE(Image(copy) == Image(source)) << img.what << " " << code;
        }
    }
}

// Every reader and detector takes lower-case hexadecimal digits (the record
// mark "S" of S-records excepted, which must be upper case).
TEST(RoundTrip, LowerCaseDigitsReadAlike) {
    THexList source = Buffer(2048);
    FillSparse(source, 0, 2048, 5);
    for (int code = 1; code <= 10; ++code) {
        TTextLines lines;
        ASSERT_EQ(TFileLoader::SaveToString(lines, source, code), 0);
        for (auto& line : lines)
            for (std::size_t i = 1; i < line.size(); ++i)
                line[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(line[i])));
        EXPECT_TRUE(SameFamily(code, TFileLoader::GetFileType(lines))) << code;
        THexList copy = Buffer(2048);
        ASSERT_EQ(TFileLoader::LoadFromString(copy, lines, 0), 0) << code;
        EXPECT_TRUE(Image(copy) == Image(source)) << code;
    }
}

TEST(RoundTrip, ThroughFiles) {
    TTempDir dir;
    THexList source = Buffer(65536);
    FillSparse(source, 0, 65536, 9);
    for (int code = 1; code <= 10; ++code) {
        const std::string name = dir.File("image" + std::to_string(code));
        ASSERT_EQ(TFileLoader::SaveFile(name, source, code), 0);
        THexList copy = Buffer(65536);
        EXPECT_TRUE(SameFamily(code, TFileLoader::GetFileType(name))) << code;
        ASSERT_EQ(TFileLoader::LoadFile(name, copy, 0), 0) << code;
        EXPECT_TRUE(Image(copy) == Image(source)) << code;
    }
    ASSERT_EQ(TFileLoader::SaveBinary(dir.File("image.bin"), source), 0);
    THexList copy = Buffer(65536);
    EXPECT_LE(TFileLoader::GetFileType(dir.File("image.bin")), 0) << "not a text format";
    ASSERT_EQ(TFileLoader::LoadBinary(dir.File("image.bin"), copy), 0);
    EXPECT_TRUE(Image(copy) == Image(source));
}

} // namespace
