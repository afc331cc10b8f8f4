#include "settings/text_encoding.h"

namespace {

constexpr char32_t Replacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at Text[pos]; advances pos. Returns false (and
// skips one byte) for a malformed, overlong or surrogate sequence.
bool NextUtf8(std::string_view Text, std::size_t& pos, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(Text[pos]);
    if (b0 < 0x80) {
        cp = b0;
        ++pos;
        return true;
    }
    int extra;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, min = 0x80, cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, min = 0x800, cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, min = 0x10000, cp = b0 & 0x07;
    } else {
        ++pos;
        return false;
    }
    if (Text.size() - pos <= static_cast<std::size_t>(extra)) {
        ++pos;
        return false;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(Text[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return false;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return false;
    }
    pos += extra + 1;
    return true;
}

// Windows-1252 characters 0x80 to 0x9F; the five unassigned bytes map to the
// C1 control of the same number, as Windows converts them.
constexpr char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

bool IsValidUtf8(std::string_view Text) {
    std::size_t pos = 0;
    char32_t cp;
    while (pos < Text.size())
        if (!NextUtf8(Text, pos, cp)) return false;
    return true;
}

std::string SanitizeUtf8(std::string_view Text) {
    std::string out;
    out.reserve(Text.size());
    std::size_t pos = 0;
    char32_t cp;
    while (pos < Text.size())
        AppendUtf8(out, NextUtf8(Text, pos, cp) ? cp : Replacement);
    return out;
}

std::string Cp1252ToUtf8(std::string_view Bytes) {
    std::string out;
    out.reserve(Bytes.size());
    for (const char c : Bytes) {
        const auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, (b >= 0x80 && b < 0xA0) ? Cp1252High[b - 0x80] : b);
    }
    return out;
}

std::string Utf16ToUtf8(std::string_view Bytes, bool BigEndian) {
    std::string out;
    out.reserve(Bytes.size() / 2);
    const std::size_t units = Bytes.size() / 2;
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto lo = static_cast<unsigned char>(Bytes[2 * i + (BigEndian ? 1 : 0)]);
        const auto hi = static_cast<unsigned char>(Bytes[2 * i + (BigEndian ? 0 : 1)]);
        return static_cast<char32_t>(lo | (hi << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char32_t v = unit(i + 1);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? Replacement : u);
    }
    return out;
}

std::string Utf8ToUtf16Le(std::string_view Text) {
    std::string out;
    out.reserve(Text.size() * 2);
    const auto put = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    };
    std::size_t pos = 0;
    char32_t cp;
    while (pos < Text.size()) {
        if (!NextUtf8(Text, pos, cp)) cp = Replacement;
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

TDecodedText DecodeText(std::string_view Bytes) {
    const auto starts = [&Bytes](std::string_view mark) { return Bytes.substr(0, mark.size()) == mark; };
    if (starts("\xEF\xBB\xBF")) return {SanitizeUtf8(Bytes.substr(3)), TTextEncoding::Utf8Bom};
    if (starts("\xFF\xFE")) return {Utf16ToUtf8(Bytes.substr(2), false), TTextEncoding::Utf16Le};
    if (starts("\xFE\xFF")) return {Utf16ToUtf8(Bytes.substr(2), true), TTextEncoding::Utf16Be};
    if (IsValidUtf8(Bytes)) return {std::string(Bytes), TTextEncoding::Utf8};
    return {Cp1252ToUtf8(Bytes), TTextEncoding::Ansi};
}
