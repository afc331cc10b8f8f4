// Any text: detection and loading never fail other than by their results;
// the one-pass load, from the lines or straight from the text, agrees with
// detection followed by the format's reader; and whatever was loaded is
// written by every text format (or refused when the format cannot name its
// addresses) and reads back to the same bytes.
#include "formats/file_loader.h"
#include "fuzz_buffer_size.h"
#include "read_as.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool SameFamily(int Code, int Detected) {
    if (Code <= 3) return Detected >= 1 && Detected <= 3;
    if (Code <= 6) return Detected >= 4 && Detected <= 6;
    return Detected == Code;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size == 0) return 0;
    const std::uint32_t size = FuzzBufferSize(Data[0]);
    const std::string_view text(reinterpret_cast<const char*>(Data) + 1, Size - 1);
    const TTextLines lines = SplitLines(text);

    const int code = TFileLoader::GetFileType(lines);
    if (code < -2 || code > 10 || code == -1) std::abort();
    if (TFileLoader::GetTextType(text) != code) std::abort();
    TFileLoader::WhatIs(code);

    THexList buffer;
    buffer.SetSizeof(size);
    const int loaded = TFileLoader::LoadFromString(buffer, lines, 0);
    if (loaded != 0 && loaded != -1) std::abort();
    {
        THexList twoSteps, fromText;
        twoSteps.SetSizeof(size);
        fromText.SetSizeof(size);
        if (ReadAs(code, lines, twoSteps) != loaded || twoSteps.HexData != buffer.HexData) std::abort();
        if (TFileLoader::LoadFromText(fromText, text, 0) != loaded || fromText.HexData != buffer.HexData)
            std::abort();
    }
    if (buffer.HexData.size() != size || buffer.StatusArray().size() != size) std::abort();
    if (code <= 0 && buffer.LastUsedLocation() != -1) std::abort();

    const std::int64_t highest = buffer.LastActualLocation() - 1;
    // Every format for small buffers; one, chosen by the input, for the
    // large ones, whose walks are slow in a sanitizer build.
    const int first = size <= 2048 ? 1 : Data[0] / 7 % 10 + 1;
    const int last = size <= 2048 ? 10 : first;
    for (int c = first; c <= last; ++c) {
        TTextLines out;
        if (TFileLoader::SaveToString(out, buffer, c) != 0) {
            if (highest <= static_cast<std::int64_t>(TFileLoader::MaxFileAddress(c))) std::abort();
            continue;
        }
        const int detected = TFileLoader::GetFileType(out);
        if (!SameFamily(c, detected) && !(out.empty() && c >= 9 && detected == -2)) std::abort();
        // A word of the 16-bit Atmel layout straddles the end of an odd-sized
        // buffer: its odd byte cannot be stored back.
        if (c == 9 && size % 2 != 0) continue;
        THexList again;
        again.SetSizeof(size);
        if (TFileLoader::LoadFromString(again, out, 0) != 0) std::abort();
        if (again.HexData != buffer.HexData) std::abort();
    }
    return 0;
}
