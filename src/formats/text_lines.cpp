#include "formats/text_lines.h"

#include "buffer/hex_text.h"

TTextLines SplitLines(std::string_view Text) {
    const auto nul = Text.find('\0');
    if (nul != std::string_view::npos) Text = Text.substr(0, nul);
    TTextLines lines;
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
    static const char digits[] = "0123456789ABCDEF";
    char buf[16];
    int n = 0;
    do {
        buf[n++] = digits[Value & 15];
        Value >>= 4;
    } while (Value != 0);
    for (int i = n; i < Digits; ++i)
        Out += '0';
    while (n > 0)
        Out += buf[--n];
}
