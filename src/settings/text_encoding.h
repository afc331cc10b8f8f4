// Character encodings of settings files. Files exported on Windows come as
// UTF-16LE with a byte order mark, as UTF-8, or in the ANSI code page
// (Windows-1252); inside the program every text is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class TTextEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Ansi };

struct TDecodedText {
    std::string Text; // always valid UTF-8
    TTextEncoding Encoding = TTextEncoding::Utf8;
};

// Decodes a whole file: a byte order mark picks UTF-16LE, UTF-16BE or UTF-8
// (the mark is dropped); without one, valid UTF-8 stays UTF-8 and anything
// else is taken as Windows-1252. Malformed sequences become U+FFFD; a
// truncated last UTF-16 unit is dropped.
TDecodedText DecodeText(std::string_view Bytes);

bool IsValidUtf8(std::string_view Text);
// Invalid sequences replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view Text);
std::string Cp1252ToUtf8(std::string_view Bytes);
// Unpaired surrogates become U+FFFD; an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view Bytes, bool BigEndian = false);
// Invalid UTF-8 sequences are encoded as U+FFFD.
std::string Utf8ToUtf16Le(std::string_view Text);
