// Any file: LoadBinary refuses what does not fit without touching the buffer
// and otherwise stores exactly the raw bytes or the hex-text pairs.
#include "formats/file_loader.h"
#include "fuzz_buffer_size.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& TempFile() {
    static const std::string name = (std::filesystem::temp_directory_path() /
                                     ("norvoisp-fuzz-binary-" + std::to_string(getpid()) + ".bin"))
                                        .string();
    return name;
}

// Removes the input file after each run (a failing run leaves it for study).
struct TRemoveFile {
    ~TRemoveFile() { std::remove(TempFile().c_str()); }
};

int Nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// What the buffer must hold after loading File: hex text when every byte is
// a hexadecimal digit, raw bytes otherwise, 0xFF beyond.
std::vector<std::uint8_t> Expected(const std::string& File, std::uint32_t Size) {
    std::vector<std::uint8_t> image(Size, 0xFF);
    bool hex = true;
    for (char c : File)
        hex = hex && Nibble(c) >= 0;
    if (hex) {
        for (std::size_t i = 0; i + 1 < File.size(); i += 2)
            image[i / 2] = static_cast<std::uint8_t>(Nibble(File[i]) * 16 + Nibble(File[i + 1]));
    } else {
        for (std::size_t i = 0; i < File.size(); ++i)
            image[i] = static_cast<std::uint8_t>(File[i]);
    }
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size == 0) return 0;
    const std::uint32_t size = FuzzBufferSize(Data[0]);
    const std::string file(reinterpret_cast<const char*>(Data) + 1, Size - 1);
    const TRemoveFile remove;
    {
        FILE* f = std::fopen(TempFile().c_str(), "wb");
        if (!f) return 0;
        const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
        if (std::fclose(f) != 0 || !written) return 0;
    }

    THexList buffer;
    buffer.SetSizeof(size);
    for (std::uint32_t i = 0; i < size; ++i)
        buffer.HexData[i] = static_cast<std::uint8_t>(i * 13);
    buffer.InvalidateData();
    buffer.SetFileName("previous");
    const std::vector<std::uint8_t> before = buffer.HexData;

    const int r = TFileLoader::LoadBinary(TempFile(), buffer);
    if (file.size() > size) {
        if (r != -1 || buffer.HexData != before || buffer.FileName() != "previous") std::abort();
        if (size > 0 && buffer.GetStatus(0) != TProgStatus(ps_failed)) std::abort();
        return 0;
    }
    if (r != 0 || buffer.FileName() != TempFile()) std::abort();
    if (buffer.HexData != Expected(file, size)) std::abort();
    for (std::uint32_t i = 0; i < size; ++i)
        if (buffer.StatusArray()[i] != TProgStatus(ps_normal)) std::abort();
    return 0;
}
