#include "formats/atmel_generic.h"

#include "formats/buffer_access.h"

namespace {

// Character Index of s, "0" past its end (a detected file never gets there).
char At(std::string_view s, std::size_t Index) {
    return Index < s.size() ? s[Index] : '0';
}

unsigned WordDigit(char c) {
    return text_rules::kWordDigit[static_cast<unsigned char>(c)];
}

// hextolongint of the first six characters: left-padded with "0" to eight,
// read as two words by HexToWord, so every character other than a
// hexadecimal digit counts as 0.
std::uint32_t WordAddress(std::string_view Line) {
    const std::size_t n = Line.size() < 6 ? Line.size() : 6;
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v = (v << 4) | WordDigit(Line[i]);
    return v;
}

// HexToWord: the first four characters, missing ones counting as 0 digits
// at the low end.
std::uint32_t ByteAddress(std::string_view Line) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = (v << 4) | (i < Line.size() ? WordDigit(Line[i]) : 0u);
    return v;
}

// The characters an Atmel generic line may hold: hexadecimal digits of
// either case and ":".
constexpr std::array<bool, 256> kLineCharacter = [] {
    std::array<bool, 256> t{};
    for (std::size_t c = 0; c < 256; ++c)
        t[c] = text_rules::kDigit[c] < 16 || c == ':';
    return t;
}();

unsigned Digit(char c) {
    return text_rules::kDigit[static_cast<unsigned char>(c)];
}

} // namespace

bool TAtmelRecords::LoadPlainLine(std::string_view Line, THexList& Data) const {
    const std::size_t size = Data.HexData.size();
    if (FLength == 11) {
        if (Line[6] != ':') return false;
        const unsigned d[10] = {Digit(Line[0]), Digit(Line[1]), Digit(Line[2]), Digit(Line[3]),
                                Digit(Line[4]), Digit(Line[5]), Digit(Line[7]), Digit(Line[8]),
                                Digit(Line[9]), Digit(Line[10])};
        if ((d[0] | d[1] | d[2] | d[3] | d[4] | d[5] | d[6] | d[7] | d[8] | d[9]) >= 16) return false;
        const std::size_t word =
            (d[0] << 20) | (d[1] << 16) | (d[2] << 12) | (d[3] << 8) | (d[4] << 4) | d[5];
        if (2 * word + 1 >= size) return false;
        Data.HexData[2 * word + 1] = static_cast<std::uint8_t>((d[6] << 4) | d[7]);
        Data.HexData[2 * word] = static_cast<std::uint8_t>((d[8] << 4) | d[9]);
        return true;
    }
    if (Line[4] != ':') return false;
    const unsigned d[6] = {Digit(Line[0]), Digit(Line[1]), Digit(Line[2]),
                           Digit(Line[3]), Digit(Line[5]), Digit(Line[6])};
    if ((d[0] | d[1] | d[2] | d[3] | d[4] | d[5]) >= 16) return false;
    const std::size_t address = (d[0] << 12) | (d[1] << 8) | (d[2] << 4) | d[3];
    if (address >= size) return false;
    Data.HexData[address] = static_cast<std::uint8_t>((d[4] << 4) | d[5]);
    return true;
}

TLineVerdict TAtmelRecords::Check(std::string_view Line, bool) {
    if (FLength == 0) {
        if (Line.size() != 11 && Line.size() != 7) return lv_reject;
        FLength = Line.size();
        FFileType = FLength == 7 ? 10 : 9;
    } else if (Line.size() != FLength) {
        return lv_reject;
    }
    if (Line[FLength == 11 ? 6 : 4] != ':') return lv_reject;
    for (char c : Line)
        if (!kLineCharacter[static_cast<unsigned char>(c)]) return lv_reject;
    return lv_next;
}

bool TAtmelRecords::Load(std::string_view Line, THexList& Data) {
    if (FFileType == 9) {
        const std::uint64_t word = WordAddress(Line);
        if (Line.size() >= 11) {
            StoreByte(Data, 2 * word + 1, PairValue(Line[7], Line[8]));
            StoreByte(Data, 2 * word, PairValue(Line[9], Line[10]));
        } else {
            StoreByte(Data, 2 * word + 1, PairValue(At(Line, 7), At(Line, 8)));
            StoreByte(Data, 2 * word, PairValue(At(Line, 9), At(Line, 10)));
        }
    } else if (Line.size() >= 7) {
        StoreByte(Data, ByteAddress(Line), PairValue(Line[5], Line[6]));
    } else {
        StoreByte(Data, ByteAddress(Line), PairValue(At(Line, 5), At(Line, 6)));
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
        const std::uint8_t* bytes = Data.HexData.data();
        const auto inside = static_cast<std::int64_t>(Data.HexData.size() / 2); // words wholly in the buffer
        for (std::int64_t i = 0; i < words; ++i) {
            const auto w = static_cast<std::uint64_t>(i);
            const std::uint8_t lo = i < inside ? bytes[2 * w] : ByteOrEmpty(Data, 2 * w);
            const std::uint8_t hi = i < inside ? bytes[2 * w + 1] : ByteOrEmpty(Data, 2 * w + 1);
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
        const std::uint8_t* bytes = Data.HexData.data();
        const auto size = static_cast<std::int64_t>(Data.HexData.size());
        for (std::int64_t i = 0; i <= last; ++i) {
            const std::uint8_t b =
                i < size ? bytes[i] : 0xFF; // the row of the last byte may reach past the end
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

template int DetectRecords(TLineReader, TAtmelRecords&);
// Once the first line has fixed the layout, most lines are a plain record
// of hexadecimal digits and the one ":" that fits the buffer: it is checked,
// taken as a line and stored in one look at its characters. Every other line
// goes the ordinary way.
template <>
int DetectAndLoadRecords(TLineReader Lines, TAtmelRecords& Records, THexList& Data, bool& RangeError) {
    RangeError = false;
    bool reading = true;
    std::string_view line;
    for (;;) {
        if (reading && Records.FLength != 0) {
            const std::string_view ahead = Lines.Ahead(Records.FLength);
            if (!ahead.empty() && Records.LoadPlainLine(ahead, Data)) {
                Lines.SkipLine(Records.FLength);
                continue;
            }
        }
        if (!Lines.Next(line)) break;
        if (line.empty()) continue;
        if (Records.Check(line) == lv_reject) return 0;
        if (reading) {
            try {
                Records.Load(line, Data);
            } catch (const EISPException&) {
                reading = false;
                RangeError = true;
            }
        }
    }
    return Records.Result();
}
