// Helpers of the file format tests: a private temporary folder, whole-file
// access and buffers of device sizes.
#pragma once

#include "buffer/hex_list.h"
#include "formats/text_lines.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class TTempDir {
  public:
    TTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "norvoisp-formats-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        FPath = pattern;
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return FPath; }
    std::string File(std::string_view Name) const { return FPath + "/" + std::string(Name); }
    // Names of the entries of the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(FPath))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::string FPath;
};

inline std::string ReadBytes(const std::string& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& FileName, std::string_view Data) {
    std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
    out.write(Data.data(), static_cast<std::streamsize>(Data.size()));
}

// A cleared buffer of Size bytes (24C512: 65536, 24C1024: 131072).
inline THexList Buffer(std::uint32_t Size) {
    THexList b;
    b.SetSizeof(Size);
    return b;
}

// The bytes of a buffer as a string, for compact comparisons.
inline std::string Image(const THexList& b) {
    return {b.HexData.begin(), b.HexData.end()};
}

// A deterministic sparse image: runs of data with 0xFF holes of every size,
// from Start up to End (exclusive).
inline void FillSparse(THexList& b, std::uint32_t Start, std::uint32_t End, std::uint32_t Seed) {
    std::uint32_t x = Seed * 2654435761u + 1;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    std::uint32_t a = Start;
    while (a < End) {
        const std::uint32_t run = next() % 70 + 1, hole = next() % 40;
        for (std::uint32_t i = 0; i < run && a < End; ++i, ++a)
            b.HexData[a] = static_cast<std::uint8_t>(next());
        a += hole;
    }
}
