// Text of a data file as a list of lines, and the character rules every
// record reader and writer shares.
#pragma once

#include <cstdint>
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

// ASCII upper-casing.
std::string UpperCase(std::string_view s);
// s itself when it holds no lower-case letter, otherwise its upper-cased
// copy in Scratch (whose storage is reused from line to line).
std::string_view UpperCaseView(std::string& Scratch, std::string_view s);

// 0-9, A-F (upper case only: callers upper-case first).
constexpr bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}
// Value 0-15 of an upper-case hexadecimal digit.
constexpr int DigitValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}
// True when every character of s is an upper-case hexadecimal digit.
bool AllHexDigits(std::string_view s);
// Sum of the digit values of every character of s.
unsigned DigitSum(std::string_view s);

// The byte at byte position Index of upper-case hexadecimal text (characters
// 2 Index and 2 Index + 1); 0 for the part of a pair past the end of s.
std::uint8_t ByteAt(std::string_view s, std::size_t Index);
// Count bytes from byte position First, high byte first.
std::uint64_t BytesValue(std::string_view s, std::size_t First, std::size_t Count);

// Appends Value as Digits upper-case hexadecimal digits (more when needed).
void AppendHex(std::string& Out, std::uint64_t Value, int Digits);
// Appends a byte as two upper-case hexadecimal digits.
inline void AppendHexByte(std::string& Out, std::uint8_t Value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    const char pair[2] = {digits[Value >> 4], digits[Value & 15]};
    Out.append(pair, 2);
}
