#include "buffer/hex_text.h"

namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Digit rule of HexToWord: anything that is not 0-9 or A-F counts as 0.
int WordDigit(char c) {
    int v = static_cast<unsigned char>(Upper(c)) - '0';
    if (v > 9) {
        v -= 7;
        if (v < 10 || v > 15) v = 0;
    } else if (v < 0) {
        v = 0;
    }
    return v;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

int DigitValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

} // namespace

std::string bytetobin(std::uint8_t bt) {
    std::string s(8, '0');
    for (int i = 0; i < 8; ++i)
        if (bt & (0x80 >> i)) s[static_cast<size_t>(i)] = '1';
    return s;
}

std::string Packstr(std::string topack, char packwith, std::size_t lengthof) {
    if (topack.size() < lengthof) topack.insert(0, lengthof - topack.size(), packwith);
    return topack;
}

std::uint16_t HexToWord(std::string_view s) {
    unsigned v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = (v << 4) | static_cast<unsigned>(i < s.size() ? WordDigit(s[i]) : 0);
    return static_cast<std::uint16_t>(v);
}

std::uint32_t hextolongint(std::string_view s) {
    const std::string padded = Packstr(std::string(s), '0', 8);
    return (static_cast<std::uint32_t>(HexToWord(std::string_view(padded).substr(0, 4))) << 16) |
           HexToWord(std::string_view(padded).substr(4, 4));
}

std::uint8_t HexToByte(std::string_view s) {
    if (s.size() < 2) return 0;
    const char a = Upper(s[0]), b = Upper(s[1]);
    if (!IsHexDigit(a) || !IsHexDigit(b)) return 0;
    return static_cast<std::uint8_t>((DigitValue(a) << 4) | DigitValue(b));
}

std::string IntToHex(std::uint64_t Value, int Digits) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), digits[Value & 15]);
        Value >>= 4;
    } while (Value != 0);
    return Packstr(s, '0', static_cast<std::size_t>(Digits));
}
