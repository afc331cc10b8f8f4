#include "formats/atmel_generic.h"

#include "buffer/hex_text.h"
#include "formats/buffer_access.h"

namespace {

// Character Index of s, "0" past its end (a detected file never gets there).
char At(std::string_view s, std::size_t Index) {
    return Index < s.size() ? s[Index] : '0';
}

// hextolongint of the first six characters: left-padded to eight, read as
// two words by HexToWord.
std::uint32_t WordAddress(std::string_view Line) {
    const std::size_t n = Line.size() < 6 ? Line.size() : 6;
    char padded[8] = {'0', '0', '0', '0', '0', '0', '0', '0'};
    std::memcpy(padded + 8 - n, Line.data(), n);
    return (static_cast<std::uint32_t>(HexToWord(std::string_view(padded, 4))) << 16) |
           HexToWord(std::string_view(padded + 4, 4));
}

} // namespace

TLineVerdict TAtmelRecords::Check(std::string_view Line) {
    if (FLength == 0) {
        if (Line.size() != 11 && Line.size() != 7) return lv_reject;
        FLength = Line.size();
        FFileType = FLength == 7 ? 10 : 9;
    } else if (Line.size() != FLength) {
        return lv_reject;
    }
    if (Line[FLength == 11 ? 6 : 4] != ':') return lv_reject;
    for (char c : Line)
        if (!IsHexDigit(c) && c != ':') return lv_reject;
    return lv_next;
}

bool TAtmelRecords::Load(std::string_view Line, THexList& Data) {
    if (FFileType == 9) {
        const std::uint64_t word = WordAddress(Line);
        StoreByte(Data, 2 * word + 1, PairValue(At(Line, 7), At(Line, 8)));
        StoreByte(Data, 2 * word, PairValue(At(Line, 9), At(Line, 10)));
    } else {
        StoreByte(Data, HexToWord(Line), PairValue(At(Line, 5), At(Line, 6)));
    }
    return true;
}

int CheckAtmelGeneric(const TTextLines& Lines) {
    TAtmelRecords records;
    return DetectRecords(TLineReader(Lines), records);
}

void LoadAtmelGeneric(const TTextLines& StrData, THexList& Data, int FFileType) {
    TAtmelRecords records(FFileType);
    LoadRecords(TLineReader(StrData), records, Data);
}

void WriteAtmelText(TTextBuffer& Out, const THexList& Data, int FFileType) {
    const std::int64_t last = Data.LastUsedLocation();
    if (FFileType == 9) {
        // "WWWWWW:HHLL" and CR LF; a word address takes at most eight digits.
        const std::int64_t words = last / 2 + 1;
        char* p = Out.Room(static_cast<std::size_t>(words) * 15);
        for (std::int64_t i = 0; i < words; ++i) {
            const auto w = static_cast<std::uint64_t>(i);
            const std::uint8_t lo = ByteOrEmpty(Data, 2 * w), hi = ByteOrEmpty(Data, 2 * w + 1);
            if (lo == 0xFF && hi == 0xFF) continue;
            p = PutHex(p, w, 6);
            *p++ = ':';
            p = PutHexByte(p, hi);
            p = PutHexByte(p, lo);
            p = PutLineEnd(p);
        }
        Out.Commit(p);
    } else {
        // "AAAA:DD" and CR LF; an address takes at most eight digits.
        char* p = Out.Room(static_cast<std::size_t>(last + 1) * 13);
        for (std::int64_t i = 0; i <= last; ++i) {
            const std::uint8_t b = ByteOrEmpty(Data, static_cast<std::uint64_t>(i));
            if (b == 0xFF) continue;
            p = PutHex(p, static_cast<std::uint64_t>(i), 4);
            *p++ = ':';
            p = PutHexByte(p, b);
            p = PutLineEnd(p);
        }
        Out.Commit(p);
    }
}

void SaveAtmelGeneric(TTextLines& SaveData, const THexList& Data, int FFileType) {
    TTextBuffer text;
    WriteAtmelText(text, Data, FFileType);
    AppendLines(SaveData, text.View());
}
