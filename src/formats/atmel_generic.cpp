#include "formats/atmel_generic.h"

#include "buffer/hex_text.h"
#include "formats/buffer_access.h"

namespace {

// Character Index of s, "0" past its end (a detected file never gets there).
char At(std::string_view s, std::size_t Index) {
    return Index < s.size() ? s[Index] : '0';
}

} // namespace

int CheckAtmelGeneric(const TTextLines& Lines) {
    std::size_t length = 0;
    std::string scratch; // reused: no allocation per line
    for (const std::string& line : Lines) {
        if (line.empty()) continue;
        if (length == 0) {
            if (line.size() != 11 && line.size() != 7) return 0;
            length = line.size();
        } else if (line.size() != length) {
            return 0;
        }
        const std::string_view u = UpperCaseView(scratch, line);
        if (u[length == 11 ? 6 : 4] != ':') return 0;
        for (char c : u)
            if (!IsHexDigit(c) && c != ':') return 0;
    }
    return length == 7 ? 10 : 9;
}

void LoadAtmelGeneric(const TTextLines& StrData, THexList& Data, int FFileType) {
    std::string scratch; // reused: no allocation per line
    for (const std::string& line : StrData) {
        if (line.empty()) continue;
        const std::string_view u = UpperCaseView(scratch, line);
        if (FFileType == 9) {
            const std::uint64_t word = hextolongint(u.substr(0, 6));
            StoreByte(Data, 2 * word + 1, convertHex(At(u, 7), At(u, 8)));
            StoreByte(Data, 2 * word, convertHex(At(u, 9), At(u, 10)));
        } else {
            StoreByte(Data, HexToWord(u), convertHex(At(u, 5), At(u, 6)));
        }
    }
}

void SaveAtmelGeneric(TTextLines& SaveData, const THexList& Data, int FFileType) {
    const std::int64_t last = Data.LastUsedLocation();
    if (FFileType == 9) {
        for (std::int64_t i = 0; i <= last / 2; ++i) {
            const auto w = static_cast<std::uint64_t>(i);
            const std::uint8_t lo = ByteOrEmpty(Data, 2 * w), hi = ByteOrEmpty(Data, 2 * w + 1);
            if (lo == 0xFF && hi == 0xFF) continue;
            std::string line;
            AppendHex(line, w, 6);
            line += ':';
            AppendHexByte(line, hi);
            AppendHexByte(line, lo);
            SaveData.push_back(std::move(line));
        }
    } else {
        for (std::int64_t i = 0; i <= last; ++i) {
            const std::uint8_t b = ByteOrEmpty(Data, static_cast<std::uint64_t>(i));
            if (b == 0xFF) continue;
            std::string line;
            AppendHex(line, static_cast<std::uint64_t>(i), 4);
            line += ':';
            AppendHexByte(line, b);
            SaveData.push_back(std::move(line));
        }
    }
}
