#include "formats/text_lines.h"

#include <algorithm>

TLineReader::TLineReader(std::string_view Text) {
    const void* nul = std::memchr(Text.data(), 0, Text.size());
    FPos = Text.data();
    FEnd = nul ? static_cast<const char*>(nul) : Text.data() + Text.size();
}

TTextLines SplitLines(std::string_view Text) {
    TTextLines lines;
    lines.reserve(static_cast<std::size_t>(std::count(Text.begin(), Text.end(), '\n')) + 1);
    TLineReader reader(Text);
    std::string_view line;
    while (reader.Next(line))
        lines.emplace_back(line);
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

void AppendLines(TTextLines& Lines, std::string_view Text) {
    while (!Text.empty()) {
        const std::size_t end = Text.find("\r\n");
        Lines.emplace_back(Text.substr(0, end));
        if (end == std::string_view::npos) break;
        Text.remove_prefix(end + 2);
    }
}

unsigned DigitSum(std::string_view s) {
    unsigned sum = 0;
    for (char c : s)
        sum += DigitValue(c);
    return sum;
}

char* PutHexWide(char* Out, std::uint64_t Value, int Digits) {
    int n = 1;
    while (n < 16 && (Value >> (4 * n)) != 0)
        ++n;
    const int width = std::max(n, std::min(Digits, 64));
    for (int i = width - 1; i >= 0; --i, Value >>= 4)
        Out[i] = i >= width - 16 ? "0123456789ABCDEF"[Value & 15] : '0';
    return Out + width;
}

char* TTextBuffer::Room(std::size_t Bytes) {
    if (FCapacity - FSize < Bytes) {
        const std::size_t capacity = std::max(FSize + Bytes, 2 * FCapacity);
        std::unique_ptr<char[]> data(new char[capacity]);
        if (FSize > 0) std::memcpy(data.get(), FData.get(), FSize);
        FData = std::move(data);
        FCapacity = capacity;
    }
    return FData.get() + FSize;
}
