// LoadBinary: raw images, hexadecimal-text images and the size limit.
#include "format_test_util.h"
#include "formats/binary_image.h"
#include "formats/file_loader.h"

#include <gtest/gtest.h>

namespace {

TEST(LoadBinary, RawAndHexTextImages) {
    struct Case {
        const char* what;
        std::string file;
        std::string image; // expected first bytes; the rest stays 0xFF
    };
    const Case cases[] = {
        {"hex text", "0A1b", "\x0A\x1B"},
        {"hex text, odd last character ignored", "0A1", "\x0A"},
        {"hex text with a line break is raw", "0A1b\r\n", "0A1b\r\n"},
        {"raw bytes", std::string("\x00\x01\xFF\x80", 4), std::string("\x00\x01\xFF\x80", 4)},
        {"empty file", "", ""},
        {"text with a non-digit", "0A1G", "0A1G"},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        WriteBytes(dir.File("img"), c.file);
        THexList b = Buffer(8);
        b.Fill(0, 7, 0x55);
        b.InvalidateData();
        ASSERT_EQ(TFileLoader::LoadBinary(dir.File("img"), b), 0) << c.what;
        std::string expected = c.image + std::string(8 - c.image.size(), '\xFF');
        EXPECT_EQ(Image(b), expected) << c.what;
        EXPECT_EQ(b.GetStatus(0), TProgStatus(ps_normal)) << c.what;
        EXPECT_EQ(b.FileName(), dir.File("img"));
    }
}

TEST(LoadBinary, FileOneByteLongerThanBufferIsRefusedUntouched) {
    TTempDir dir;
    THexList b = Buffer(16);
    b.SetFileName("previous.bin");
    b.HexData[3] = 0x33;
    WriteBytes(dir.File("big.bin"), std::string(17, '\x01'));
    EXPECT_EQ(TFileLoader::LoadBinary(dir.File("big.bin"), b), -1);
    EXPECT_EQ(b.FileName(), "previous.bin");
    EXPECT_EQ(b.HexData[3], 0x33);
    EXPECT_EQ(b.HexData[0], 0xFF);
    // The size test uses the file's length: 32 hex digits would make 16
    // bytes but the file is longer than the buffer.
    WriteBytes(dir.File("hex.txt"), std::string(32, 'A'));
    EXPECT_EQ(TFileLoader::LoadBinary(dir.File("hex.txt"), b), -1);
    // Exactly the buffer's size fits.
    WriteBytes(dir.File("fit.bin"), std::string(16, '\x01'));
    EXPECT_EQ(TFileLoader::LoadBinary(dir.File("fit.bin"), b), 0);
    EXPECT_EQ(Image(b), std::string(16, '\x01'));
}

TEST(LoadBinary, UnreadableFileIsRefused) {
    TTempDir dir;
    THexList b = Buffer(16);
    b.SetFileName("previous.bin");
    EXPECT_EQ(TFileLoader::LoadBinary(dir.File("missing.bin"), b), -1);
    EXPECT_EQ(TFileLoader::LoadBinary(dir.Path(), b), -1);
    EXPECT_EQ(b.FileName(), "previous.bin");
}

// A device that never ends (not a regular file) is read only up to the
// buffer's size plus one byte.
TEST(LoadBinary, EndlessInputIsBounded) {
    THexList b = Buffer(64);
    EXPECT_EQ(TFileLoader::LoadBinary("/dev/zero", b), -1);
}

} // namespace
