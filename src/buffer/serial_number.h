// The serial number's place in a memory buffer: two, three or four bytes at a
// location, most significant byte first.
#pragma once

#include "buffer/hex_list.h"

#include <cstdint>
#include <string>

// Upper-case hexadecimal text of Value with at least 4 + 2 * SizeIndex digits
// (SizeIndex 0, 1, 2 for 2, 3, 4 bytes); a negative value reads as its
// eight-digit two's complement, a wider value keeps all its digits.
std::string SerialNumberText(std::int32_t Value, int SizeIndex);

// Writes the serial number into Buffer at Location, Location + 1, ...: the
// text of SerialNumberText taken two digits at a time from its left end, one
// byte per pair, as many bytes as the size (2 + SizeIndex). A value wider
// than the size thus stores its most significant digits (0x12345 in two
// bytes is 0x12, 0x34). Bytes go through SetValue: statuses stay, and an
// address past the end raises the buffer's range error after the bytes
// before it were written.
void StoreSerialNumber(THexList& Buffer, std::uint32_t Location, std::int32_t Value, int SizeIndex);
