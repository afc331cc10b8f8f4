// Text of a data file line by line, and the character rules every record
// reader and writer shares. The readers take their lines through
// TLineReader, straight from the file's text or from a list of lines; the
// writers build the whole file in one TTextBuffer.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using TTextLines = std::vector<std::string>;

// Splits Text into lines: a line ends at CR, at LF or at CR LF; the text ends
// at its first zero byte. A last line without an end counts when it is not
// empty, so "" gives no lines and "\r\n" one empty line.
TTextLines SplitLines(std::string_view Text);
// Each line followed by CR LF, the last one included.
std::string JoinLines(const TTextLines& Lines);

// The lines of a text as SplitLines cuts them, or of a list of lines, one at
// a time and without copying. A copy starts again where the original stood.
class TLineReader {
  public:
    explicit TLineReader(std::string_view Text);
    explicit TLineReader(const TTextLines& Lines) : FLine(Lines.data()), FLast(Lines.data() + Lines.size()) {}

    // The next line; false after the last one.
    bool Next(std::string_view& Line) {
        if (FLine) {
            if (FLine == FLast) return false;
            Line = *FLine++;
            return true;
        }
        return NextInText(Line);
    }
    // True when there is no line at all ahead.
    bool AtEnd() const { return FLine ? FLine == FLast : FPos == FEnd; }

    // Up to Length characters of the text ahead, line ends included; empty
    // for a list of lines.
    std::string_view Peek(std::size_t Length) const {
        if (FLine) return {};
        const auto left = static_cast<std::size_t>(FEnd - FPos);
        return {FPos, Length < left ? Length : left};
    }
    // For a reader that knows how long its lines are: the next Length
    // characters of the text when there are that many and a line end or the
    // end of the text follows them; empty otherwise, and always for a list of
    // lines. When none of them is a CR or an LF they are the next line, and
    // SkipLine(Length) passes over it.
    std::string_view Ahead(std::size_t Length) const {
        if (FLine || static_cast<std::size_t>(FEnd - FPos) < Length) return {};
        const char* end = FPos + Length;
        if (end != FEnd && *end != '\r' && *end != '\n') return {};
        return {FPos, Length};
    }
    void SkipLine(std::size_t Length) {
        std::string_view line;
        EndLine(FPos + Length, line);
    }

  private:
    bool NextInText(std::string_view& Line) {
        if (FPos == FEnd) return false;
        const char* p = FPos;
        // Eight characters at a time: the lowest byte of the word that is a
        // CR or an LF (the borrows of the test reach only higher bytes).
        constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
        while (std::endian::native == std::endian::little && FEnd - p >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            const std::uint64_t cr = w ^ (ones * '\r'), lf = w ^ (ones * '\n');
            const std::uint64_t ends = (((cr - ones) & ~cr) | ((lf - ones) & ~lf)) & highs;
            if (ends != 0) {
                p += std::countr_zero(ends) / 8;
                return EndLine(p, Line);
            }
            p += 8;
        }
        while (p != FEnd && *p != '\r' && *p != '\n')
            ++p;
        return EndLine(p, Line);
    }
    bool EndLine(const char* p, std::string_view& Line) {
        Line = std::string_view(FPos, static_cast<std::size_t>(p - FPos));
        if (p != FEnd && *p == '\r') ++p;
        if (p != FEnd && *p == '\n') ++p;
        FPos = p;
        return true;
    }
    const char* FPos = nullptr; // text mode
    const char* FEnd = nullptr;
    const std::string* FLine = nullptr; // list mode
    const std::string* FLast = nullptr;
};

namespace text_rules {

constexpr char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// 0-15 for a hexadecimal digit of either case, 16 for any other character.
inline constexpr std::array<std::uint8_t, 256> kDigit = [] {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        const char u = Upper(static_cast<char>(c));
        t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(
            u >= '0' && u <= '9' ? u - '0' : (u >= 'A' && u <= 'F' ? u - 'A' + 10 : 16));
    }
    return t;
}();

// A digit as HexToWord takes it: 0-15 for a hexadecimal digit of either
// case, 0 for any other character.
inline constexpr std::array<std::uint8_t, 256> kWordDigit = [] {
    std::array<std::uint8_t, 256> t{};
    for (std::size_t c = 0; c < 256; ++c)
        t[c] = kDigit[c] < 16 ? kDigit[c] : 0;
    return t;
}();

// The operand convertHex makes of an upper-cased character: its digit value
// for a hexadecimal digit, the same arithmetic on any other character.
inline constexpr std::array<std::int16_t, 256> kPairOperand = [] {
    std::array<std::int16_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        int a = static_cast<unsigned char>(Upper(static_cast<char>(c))) - '0';
        if (a > 9) a -= 7;
        t[static_cast<std::size_t>(c)] = static_cast<std::int16_t>(a);
    }
    return t;
}();

// Two upper-case hexadecimal digits for every byte value.
inline constexpr std::array<std::array<char, 2>, 256> kHexPair = [] {
    std::array<std::array<char, 2>, 256> t{};
    constexpr char digits[] = "0123456789ABCDEF";
    for (int v = 0; v < 256; ++v)
        t[static_cast<std::size_t>(v)] = {digits[v >> 4], digits[v & 15]};
    return t;
}();

} // namespace text_rules

// A hexadecimal digit of either case (the detectors upper-case first).
inline bool IsHexDigit(char c) {
    return text_rules::kDigit[static_cast<unsigned char>(c)] < 16;
}
// Value 0-15 of a hexadecimal digit of either case.
inline unsigned DigitValue(char c) {
    return text_rules::kDigit[static_cast<unsigned char>(c)];
}
namespace text_rules {

inline constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;

// The high bit of each byte of the sum is set where the byte (below 0x80, so
// that no carry crosses into the next one) is at least Low.
constexpr std::uint64_t AtLeast(std::uint64_t x, std::uint8_t Low) {
    return x + kOnes * (0x80u - Low);
}

// True when the eight characters at p are hexadecimal digits of either case.
inline bool HexWord(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t digit = AtLeast(w, '0') & ~AtLeast(w, '9' + 1);
    const std::uint64_t lower = w | kOnes * 0x20; // A-F as a-f
    const std::uint64_t letter = AtLeast(lower, 'a') & ~AtLeast(lower, 'f' + 1);
    return (w & kHighs) == 0 && ((digit | letter) & kHighs) == kHighs;
}

} // namespace text_rules

// True when every character of s is a hexadecimal digit of either case;
// eight characters at a time where it can.
inline bool AllHexDigits(std::string_view s) {
    const char* p = s.data();
    const std::size_t n = s.size();
    if (n < 8) {
        for (std::size_t i = 0; i < n; ++i)
            if (!IsHexDigit(p[i])) return false;
        return true;
    }
    for (std::size_t i = 0; i + 8 <= n; i += 8)
        if (!text_rules::HexWord(p + i)) return false;
    return n % 8 == 0 || text_rules::HexWord(p + n - 8); // the last eight, overlapping
}
// Sum of the digit values of every character of s (hexadecimal digits only).
unsigned DigitSum(std::string_view s);

// The byte of two characters upper-cased and combined as convertHex does
// (exact for hexadecimal digits, the same arithmetic for anything else).
inline std::uint8_t PairValue(char Hi, char Lo) {
    using text_rules::kPairOperand;
    return static_cast<std::uint8_t>((kPairOperand[static_cast<unsigned char>(Hi)] << 4) |
                                     kPairOperand[static_cast<unsigned char>(Lo)]);
}
// The byte at byte position Index of hexadecimal text (characters 2 Index
// and 2 Index + 1, upper-cased); "0" for the part of a pair past the end.
inline std::uint8_t ByteAt(std::string_view s, std::size_t Index) {
    const std::size_t p = 2 * Index;
    if (p + 1 < s.size()) return PairValue(s[p], s[p + 1]);
    return PairValue(p < s.size() ? s[p] : '0', '0');
}
// Count bytes from byte position First, high byte first.
inline std::uint64_t BytesValue(std::string_view s, std::size_t First, std::size_t Count) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < Count; ++i)
        v = (v << 8) | ByteAt(s, First + i);
    return v;
}

// The sum of the hexadecimal digits of Value (leading zeros add nothing).
constexpr unsigned NibbleSum(std::uint64_t Value) {
    unsigned sum = 0;
    for (; Value != 0; Value >>= 4)
        sum += static_cast<unsigned>(Value & 15);
    return sum;
}
// The number of hexadecimal digits Value needs (1 for 0).
constexpr int HexDigitsOf(std::uint64_t Value) {
    int n = 1;
    while (n < 16 && (Value >> (4 * n)) != 0)
        ++n;
    return n;
}
// Writes a byte as two upper-case hexadecimal digits.
inline char* PutHexByte(char* Out, std::uint8_t Value) {
    std::memcpy(Out, text_rules::kHexPair[Value].data(), 2);
    return Out + 2;
}
// Writes Value as at least Digits upper-case hexadecimal digits (more when
// needed) at Out; returns the end.
char* PutHexWide(char* Out, std::uint64_t Value, int Digits);
inline char* PutHex(char* Out, std::uint64_t Value, int Digits) {
    if (Digits < 1 || Digits > 15 || (Value >> (4 * Digits)) != 0) return PutHexWide(Out, Value, Digits);
    for (int i = Digits - 1; i >= 0; --i, Value >>= 4)
        Out[i] = "0123456789ABCDEF"[Value & 15];
    return Out + Digits;
}
inline char* PutLineEnd(char* Out) {
    Out[0] = '\r';
    Out[1] = '\n';
    return Out + 2;
}

// A whole file's text built in one piece of memory: a writer takes room for
// the longest text it may write, writes its lines through the pointer and
// hands back where it ended.
class TTextBuffer {
  public:
    // A pointer to at least Bytes free characters after the text so far.
    char* Room(std::size_t Bytes);
    // The text now ends at End (inside the room last taken).
    void Commit(const char* End) { FSize = static_cast<std::size_t>(End - FData.get()); }
    std::string_view View() const { return {FData.get(), FSize}; }

  private:
    std::unique_ptr<char[]> FData;
    std::size_t FSize = 0, FCapacity = 0;
};

// The lines of a text that ends every line with CR LF, appended to Lines.
void AppendLines(TTextLines& Lines, std::string_view Text);
