// The text format of registry export files (".reg"), as regedit writes and
// imports them: a header line ("Windows Registry Editor Version 5.00", or
// "REGEDIT4" for the older ANSI form), then one section per key,
// "[HKEY_CURRENT_USER\Software\...]", each followed by its values:
//   "Name"="text"   @="default value"   "Count"=dword:00000003
//   "Blob"=hex:01,02,\      (continued on the next line)
//     03                    "Path"=hex(2):25,00,...
//   "Gone"=-                [-HKEY_CURRENT_USER\Software\Old]
// A minus sign deletes a value or (before the key name) a whole key when the
// file is merged into a registry.
#pragma once

#include "settings/text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Registry data types (the numbers of "hex(n):").
inline constexpr std::uint32_t rt_none = 0;
inline constexpr std::uint32_t rt_sz = 1;
inline constexpr std::uint32_t rt_expand_sz = 2;
inline constexpr std::uint32_t rt_binary = 3;
inline constexpr std::uint32_t rt_dword = 4;
inline constexpr std::uint32_t rt_multi_sz = 7;
inline constexpr std::uint32_t rt_qword = 11;

// A value as the registry keeps it: its type and raw bytes. Texts (rt_sz,
// rt_expand_sz) are UTF-16LE with a terminating zero unit.
struct TRegData {
    std::uint32_t Type = rt_sz;
    std::string Bytes;

    static TRegData FromText(std::string_view Utf8Text, std::uint32_t Type = rt_sz);
    bool IsText() const { return Type == rt_sz || Type == rt_expand_sz; }
    // UTF-8 text up to the first zero unit; meaningful for IsText() values.
    std::string Text() const;
    bool operator==(const TRegData&) const = default;
};

// Deepest key path accepted (registry keys nest at most this deep).
inline constexpr std::size_t MaxRegKeyDepth = 512;

inline constexpr std::string_view RegHeader5 = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view RegHeader4 = "REGEDIT4";

enum class TRegOpKind { CreateKey, DeleteKey, SetValue, DeleteValue };

// One instruction of a registry file, in file order.
struct TRegOp {
    TRegOpKind Kind = TRegOpKind::CreateKey;
    // Full key path, root first with its long name ("HKEY_CURRENT_USER").
    std::vector<std::string> Key;
    std::string Name; // value name; empty for the default value "@"
    TRegData Data;
    // Number of the key section the instruction belongs to, counting from 1:
    // values of one section share it (and their key).
    std::size_t Section = 0;
};

using TRegOpSink = std::function<void(const TRegOp&)>;

struct TRegScript {
    bool HasHeader = false; // the first line is one of the two headers
    bool Regedit4 = false;  // the ANSI "REGEDIT4" form
    TTextEncoding Encoding = TTextEncoding::Utf8;
    std::size_t SkippedLines = 0; // lines that could not be understood
    std::vector<TRegOp> Ops;      // filled by the collecting form only
};

// Parses the bytes of a registry file in any of the encodings regedit
// produces or reads, handing each instruction to Sink in file order as it is
// read (memory stays bounded by the file's size). Never fails: lines it
// cannot understand are counted in SkippedLines and ignored, and so are the
// values of a section it skipped. With RequireHeader, a file without header
// line yields no instruction at all.
TRegScript ParseRegScript(std::string_view Bytes, const TRegOpSink& Sink, bool RequireHeader);
// The same, collecting the instructions in Ops.
TRegScript ParseRegScript(std::string_view Bytes);

// Splits a key path at backslashes, dropping empty parts; the first part,
// when it names a registry root, short ("HKCU") or long, in any letter case,
// becomes the root's long upper-case name.
std::vector<std::string> SplitRegKeyPath(std::string_view Path);
// The long name of a registry root, or empty when Name is none.
std::string RegRootName(std::string_view Name);

// Writer helpers; lines end with CR LF.
std::string FormatRegKeyLine(const std::vector<std::string>& Key);
// One value, hex data wrapped over continuation lines as regedit does.
std::string FormatRegValueLine(std::string_view Name, const TRegData& Data);
