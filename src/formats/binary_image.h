// Raw binary images and hexadecimal-text images.
#pragma once

#include "buffer/hex_list.h"

#include <string>
#include <string_view>

// True when every byte of Bytes is 0-9, A-F or a-f (also when it is empty).
bool IsHexText(std::string_view Bytes);

// Stores an image from address 0 directly in HexData: hexadecimal text as one
// byte per pair of characters (an odd last character ignored), anything else
// byte for byte. Bytes beyond the image and every status are left alone.
// Bytes must fit: at most Data.Size() bytes.
void StoreBinaryImage(std::string_view Bytes, THexList& Data);

// LoadBinary of a file whose bytes are Bytes and whose name is Name: -1,
// with Data untouched, when the bytes do not fit; otherwise Data gets the
// name, is cleared and holds the image (StoreBinaryImage), and 0.
int LoadBinaryImage(std::string_view Bytes, const std::string& Name, THexList& Data);
