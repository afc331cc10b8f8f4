#include "buffer/checksums.h"

#include "common/temp_dir.h"
#include "errors/errors.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(Checksums, KnownVectors) {
    struct {
        std::string Data;
        const char* Crc;
        const char* Sha;
        const char* Sum;
    } cases[] = {
        {"", "00000000", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", "0000"},
        {"123456789", "CBF43926", "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225", "01DD"},
        {"abc", "352441C2", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", "0126"},
    };
    for (const auto& c : cases) {
        const TChecksums sums = ComputeChecksums(Bytes(c.Data));
        EXPECT_EQ(sums.Crc32Text(), c.Crc) << c.Data;
        EXPECT_EQ(sums.Sha256Text(), c.Sha) << c.Data;
        EXPECT_EQ(sums.Sum16Text(), c.Sum) << c.Data;
        EXPECT_EQ(sums.Length, c.Data.size());
    }
}

TEST(Checksums, BufferCoversTheWholeDeviceRangeAndTheSumWraps) {
    THexList buffer;
    buffer.SetSizeof(512);
    buffer.Clear(); // 512 x FFh: the sum passes 0xFFFF and wraps
    const TChecksums blank = BufferChecksums(buffer);
    EXPECT_EQ(blank.Sum16, static_cast<std::uint16_t>(512 * 0xFF));
    EXPECT_EQ(blank.Length, 512u);
    // One byte anywhere, even the last, changes every checksum.
    buffer.SetValue(511, 0x00);
    const TChecksums changed = BufferChecksums(buffer);
    EXPECT_NE(changed.Crc32, blank.Crc32);
    EXPECT_NE(changed.Sha256, blank.Sha256);
    EXPECT_EQ(changed.Sum16, static_cast<std::uint16_t>(blank.Sum16 - 0xFF));
}

TEST(Checksums, FileSha256MatchesTheBytesAndNamesAMissingFile) {
    TTempDir dir("checksums");
    const std::string file = dir.File("image.bin");
    std::string data(100000, '\0'); // more than one read block
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    std::ofstream(file, std::ios::binary) << data;
    EXPECT_EQ(FileSha256(file), ComputeChecksums(Bytes(data)).Sha256Text());
    try {
        FileSha256(dir.File("missing.hex"));
        FAIL() << "no exception";
    } catch (const EISPException& e) {
        EXPECT_NE(e.Message().find("missing.hex"), std::string::npos) << e.Message();
    }
}

} // namespace
