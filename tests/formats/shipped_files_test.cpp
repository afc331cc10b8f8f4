// The data files shipped in samples/ and patterns/ (the folders the load
// dialogs open in): every file there is listed below, is detected as the
// format listed, loads into the buffer of the device it is made for, and
// loads to the same bytes as the other files of its image.
#include "format_test_util.h"
#include "formats/file_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

namespace {

const std::string kSourceDir = NORVOISP_SOURCE_DIR;

struct TShipped {
    const char* file;      // relative to the source folder
    int code;              // detected format; ft_Binary: no text format, loaded as a binary image
    std::uint32_t size;    // the device's size: the buffer it loads into
    const char* reference; // the file whose bytes it must load to; nullptr: none
};

constexpr const char* kConfig = "samples/config_block_24c02.bin";
constexpr const char* kDatalog = "samples/datalog_24c1024.bin";

const TShipped kShipped[] = {
    {"samples/demo_24c256.hex", ft_IntelHex32, 32768, nullptr},
    {"samples/config_block_24c02.bin", ft_Binary, 256, kConfig},
    {"samples/config_block_24c02.hex", ft_IntelIntellec, 256, kConfig},
    {"samples/config_block_24c02.s19", ft_MotorolaExorciser, 256, kConfig},
    {"samples/config_block_24c02.tek", ft_Tektronix, 256, kConfig},
    {"samples/config_block_24c02_ext.tek", ft_ExtTektronix, 256, kConfig},
    {"samples/config_block_24c02_16bit.rom", ft_AtmelGeneric16, 256, kConfig},
    {"samples/config_block_24c02_8bit.rom", ft_AtmelGeneric8, 256, kConfig},
    {"samples/datalog_24c1024.bin", ft_Binary, 131072, kDatalog},
    {"samples/datalog_24c1024.hex", ft_IntelHex32, 131072, kDatalog},
    {"samples/datalog_24c1024_segment.hex", ft_IntelMCS86, 131072, kDatalog},
    {"samples/datalog_24c1024.s28", ft_MotorolaExormacs, 131072, kDatalog},
    {"samples/datalog_24c1024.s37", ft_Motorola32, 131072, kDatalog},
    {"patterns/all_00.hex", ft_IntelIntellec, 256, nullptr},
    {"patterns/checkerboard_55AA.hex", ft_IntelIntellec, 256, nullptr},
    {"patterns/address_low_byte.hex", ft_IntelIntellec, 256, nullptr},
    {"patterns/walking_ones.hex", ft_IntelIntellec, 256, nullptr},
    {"patterns/walking_zeros.hex", ft_IntelIntellec, 256, nullptr},
};

std::string PathOf(const std::string& File) {
    return kSourceDir + "/" + File;
}

const TShipped* Find(const std::string& File) {
    for (const auto& f : kShipped)
        if (File == f.file) return &f;
    return nullptr;
}

// Loads the file the way the load command does: a text format by detection,
// anything else as a binary image.
THexList Load(const TShipped& File) {
    THexList data = Buffer(File.size);
    const std::string path = PathOf(File.file);
    if (File.code == ft_Binary)
        EXPECT_EQ(TFileLoader::LoadBinary(path, data), 0) << File.file;
    else
        EXPECT_EQ(TFileLoader::LoadFile(path, data, 0), 0) << File.file;
    return data;
}

TEST(ShippedFiles, EveryFileInTheDataFoldersIsListed) {
    std::set<std::string> present;
    for (const char* folder : {"samples", "patterns"})
        for (const auto& e : std::filesystem::directory_iterator(PathOf(folder))) {
            const std::string name = std::string(folder) + "/" + e.path().filename().string();
            if (e.path().extension() == ".md") continue; // the folder's read-me
            present.insert(name);
            EXPECT_NE(Find(name), nullptr) << name << " is shipped but not listed in this test";
        }
    for (const auto& f : kShipped)
        EXPECT_EQ(present.count(f.file), 1u) << f.file << " is listed but not shipped";
}

TEST(ShippedFiles, DetectedAndLoadedIntoTheirDevice) {
    for (const auto& f : kShipped) {
        SCOPED_TRACE(f.file);
        const int code = TFileLoader::GetFileType(PathOf(f.file));
        if (f.code == ft_Binary) {
            EXPECT_LE(code, 0) << "a binary image taken for a text format";
            // An image of the whole device, byte for byte.
            EXPECT_EQ(ReadBytes(PathOf(f.file)).size(), f.size);
        } else {
            EXPECT_EQ(code, f.code);
        }
        const THexList data = Load(f);
        EXPECT_GE(data.LastActualLocation(), 1) << "no data loaded";
    }
}

TEST(ShippedFiles, EveryFileOfAnImageLoadsToItsBytes) {
    for (const auto& f : kShipped) {
        if (!f.reference) continue;
        SCOPED_TRACE(f.file);
        const TShipped* reference = Find(f.reference);
        ASSERT_NE(reference, nullptr);
        ASSERT_EQ(reference->size, f.size);
        EXPECT_TRUE(Image(Load(f)) == Image(Load(*reference)));
    }
}

TEST(ShippedFiles, PatternsHoldWhatTheirNamesSay) {
    const std::pair<const char*, std::function<std::uint8_t(std::uint32_t)>> patterns[] = {
        {"patterns/all_00.hex", [](std::uint32_t) { return 0x00; }},
        {"patterns/checkerboard_55AA.hex", [](std::uint32_t a) { return a % 2 ? 0xAA : 0x55; }},
        {"patterns/address_low_byte.hex", [](std::uint32_t a) { return a & 0xFF; }},
        {"patterns/walking_ones.hex", [](std::uint32_t a) { return 1u << (a % 8); }},
        {"patterns/walking_zeros.hex", [](std::uint32_t a) { return ~(1u << (a % 8)) & 0xFF; }},
    };
    for (const auto& [file, byte] : patterns) {
        SCOPED_TRACE(file);
        const TShipped* f = Find(file);
        ASSERT_NE(f, nullptr);
        const THexList data = Load(*f);
        std::string expected(f->size, '\0');
        for (std::uint32_t a = 0; a < f->size; ++a)
            expected[a] = static_cast<char>(byte(a));
        EXPECT_TRUE(Image(data) == expected);
    }
}

} // namespace
