// Images of SPI flash size (up to 64 MiB): 32-bit Intel hex and S3 records
// above 16 MiB, text longer than the EEPROM-sized limit, and the formats that
// cannot hold such addresses refusing with the reason.
#include "format_test_util.h"
#include "formats/data_file_io.h"
#include "formats/data_file_save.h"
#include "formats/file_loader.h"
#include "formats/file_types.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kMiB = 1024 * 1024;

std::string Text(const THexList& b, int Code) {
    TTextBuffer t;
    EXPECT_EQ(TFileLoader::SaveToText(t, b, Code), 0);
    return std::string(t.View());
}

TEST(LargeImages, AddressesAbove16MiBTravelAsIntelHex32AndS3Records) {
    THexList b = Buffer(32 * kMiB);
    b.HexData[0] = 0x12;
    b.HexData[0xFFFFF0] = 0x34;  // the last S2 row
    b.HexData[0x1000010] = 0x56; // the first S3 row
    b.HexData[32 * kMiB - 1] = 0x78;

    const std::string mot = Text(b, ft_Motorola32);
    EXPECT_EQ(mot, "S104000012E9\r\nS205FFFFF034D8\r\nS306010000105692\r\nS31501FFFFF0FFFFFFFFFFFFFFFFFFFFFFF"
                   "FFFFFFF7892\r\n"
                   "S9030000FC\r\n");
    const std::string intel = Text(b, ft_IntelHex32);
    EXPECT_NE(intel.find(":020000040100F9\r\n:010010005699\r\n"), std::string::npos) << intel;
    EXPECT_NE(intel.find(":0200000401FFFA\r\n"), std::string::npos);

    for (const std::string* text : {&mot, &intel}) {
        THexList back = Buffer(32 * kMiB);
        ASSERT_EQ(TFileLoader::LoadFromText(back, *text, 0), 0);
        EXPECT_TRUE(back.HexData == b.HexData);
    }
    // One byte past a 16 MiB part does not fit.
    THexList small = Buffer(16 * kMiB);
    EXPECT_EQ(TFileLoader::LoadFromText(small, mot, 0), -1);
}

TEST(LargeImages, FormatsThatCannotHoldTheAddressesRefuseWithTheReason) {
    THexList b = Buffer(32 * kMiB);
    b.HexData[0x1FFFFFF] = 0x01;
    EXPECT_EQ(SaveLimitReason(b, ft_Tektronix).substr(0, 42), "Tektronix cannot hold addresses above 0xFF");
    EXPECT_NE(SaveLimitReason(b, ft_Tektronix).find("the data reach 0x1FFFFFF"), std::string::npos)
        << SaveLimitReason(b, ft_Tektronix);
    EXPECT_NE(SaveLimitReason(b, ft_AtmelGeneric8), "");
    EXPECT_EQ(SaveLimitReason(b, ft_Motorola32), "");
    EXPECT_EQ(SaveLimitReason(b, ft_IntelHex32), "");
    EXPECT_EQ(SaveLimitReason(b, ft_ExtTektronix), "");
}

TEST(LargeImages, AWholeImageLongerThanSixtyFourMiBOfTextLoadsIntoItsPart) {
    // 24 MiB of data make some 68 MiB of Intel hex, more than an EEPROM's
    // limit; a buffer of that size takes it.
    TTempDir dir("large");
    const std::uint32_t size = 24 * kMiB;
    THexList b = Buffer(size);
    for (std::uint32_t a = 0; a < size; ++a)
        b.HexData[a] = static_cast<std::uint8_t>((a * 2654435761u) >> 24);
    const std::string file = dir.File("image.hex");
    ASSERT_EQ(TFileLoader::SaveFile(file, b, ft_IntelHex32), 0);
    ASSERT_GT(std::filesystem::file_size(file), MaxDataTextSize);
    EXPECT_EQ(DataTextLimit(size), 4u * size);
    EXPECT_EQ(DataTextLimit(65536), MaxDataTextSize);

    THexList back = Buffer(size);
    int type = 0;
    ASSERT_EQ(TFileLoader::LoadAnyFile(file, back, type), 0);
    EXPECT_EQ(type, ft_IntelHex32);
    EXPECT_TRUE(back.HexData == b.HexData);
    EXPECT_EQ(back.FileName(), file);
}

} // namespace
