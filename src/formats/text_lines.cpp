#include "formats/text_lines.h"

#include "buffer/hex_text.h"

#include <algorithm>

TTextLines SplitLines(std::string_view Text) {
    const auto nul = Text.find('\0');
    if (nul != std::string_view::npos) Text = Text.substr(0, nul);
    TTextLines lines;
    lines.reserve(static_cast<std::size_t>(std::count(Text.begin(), Text.end(), '\n')) + 1);
    std::size_t p = 0;
    const std::size_t n = Text.size();
    while (p < n) {
        const std::size_t start = p;
        while (p < n && Text[p] != '\r' && Text[p] != '\n')
            ++p;
        lines.emplace_back(Text.substr(start, p - start));
        if (p < n && Text[p] == '\r') ++p;
        if (p < n && Text[p] == '\n') ++p;
    }
    return lines;
}

std::string JoinLines(const TTextLines& Lines) {
    std::size_t total = 0;
    for (const auto& l : Lines)
        total += l.size() + 2;
    std::string text;
    text.reserve(total);
    for (const auto& l : Lines) {
        text += l;
        text += "\r\n";
    }
    return text;
}

std::string UpperCase(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

std::string_view UpperCaseView(std::string& Scratch, std::string_view s) {
    if (std::none_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; })) return s;
    Scratch.assign(s);
    for (char& c : Scratch)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return Scratch;
}

bool AllHexDigits(std::string_view s) {
    for (char c : s)
        if (!IsHexDigit(c)) return false;
    return true;
}

unsigned DigitSum(std::string_view s) {
    unsigned sum = 0;
    for (char c : s)
        sum += static_cast<unsigned>(DigitValue(c));
    return sum;
}

std::uint8_t ByteAt(std::string_view s, std::size_t Index) {
    const std::size_t p = 2 * Index;
    const char hi = p < s.size() ? s[p] : '0';
    const char lo = p + 1 < s.size() ? s[p + 1] : '0';
    return convertHex(hi, lo);
}

std::uint64_t BytesValue(std::string_view s, std::size_t First, std::size_t Count) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < Count; ++i)
        v = (v << 8) | ByteAt(s, First + i);
    return v;
}

void AppendHex(std::string& Out, std::uint64_t Value, int Digits) {
    static constexpr char digits[] = "0123456789ABCDEF";
    int n = 1;
    while (n < 16 && (Value >> (4 * n)) != 0)
        ++n;
    if (n < Digits) n = Digits < 64 ? Digits : 64;
    char buf[64];
    for (int i = n - 1; i >= 0; --i, Value >>= 4)
        buf[i] = i >= n - 16 ? digits[Value & 15] : '0';
    Out.append(buf, static_cast<std::size_t>(n));
}
