// Conversions between hexadecimal text and numbers, with the digit rules the
// file readers and the user interface depend on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Eight "0"/"1" characters, most significant bit first.
std::string bytetobin(std::uint8_t bt);
// Prepends packwith until the text is at least lengthof long; never shortens.
std::string Packstr(std::string topack, char packwith, std::size_t lengthof);
// The first four characters: two for the high byte, two for the low byte.
// Each is upper-cased; any character other than 0-9, A-F counts as 0.
std::uint16_t HexToWord(std::string_view s);
// Left-pads to eight characters with "0"; only the first eight count.
std::uint32_t hextolongint(std::string_view s);
// The first two characters as a byte; 0 when either is not a hex digit.
std::uint8_t HexToByte(std::string_view s);
// Unchecked conversion of two upper-case hex digits.
constexpr std::uint8_t convertHex(char ch1, char ch2) {
    int a = static_cast<unsigned char>(ch1) - '0';
    if (a > 9) a -= 7;
    int b = static_cast<unsigned char>(ch2) - '0';
    if (b > 9) b -= 7;
    return static_cast<std::uint8_t>((a << 4) | b);
}
// Value as upper-case hexadecimal, zero-padded to at least Digits digits.
std::string IntToHex(std::uint64_t Value, int Digits);
