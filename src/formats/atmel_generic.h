// Atmel generic: one address and its data per line, separated by ":".
// 16-bit layout (code 9): "WWWWWW:HHLL", a word address, the byte at
// 2 word + 1 then the byte at 2 word. 8-bit layout (code 10): "AAAA:DD".
#pragma once

#include "buffer/hex_list.h"
#include "formats/file_types.h"
#include "formats/record_scan.h"
#include "formats/text_lines.h"

#include <cstdint>

// The highest byte address each layout can name.
inline constexpr std::uint32_t Atmel16MaxAddress = 2u * 0xFFFFFFu + 1u;
inline constexpr std::uint32_t Atmel8MaxAddress = 0xFFFF;

// The detector and reader steps (record_scan.h). The detector fixes the
// layout from the first line; a reader for a layout known beforehand is
// made with that file-type code.
class TAtmelRecords {
  public:
    TAtmelRecords() = default;
    explicit TAtmelRecords(int AFileType) : FFileType(AFileType) {}
    TLineVerdict Check(std::string_view Line, bool Plain = false);
    int Result() const { return FLength == 7 ? 10 : 9; }
    bool Load(std::string_view Line, THexList& Data);

  private:
    // Stores Line when it is a record of the layout fixed by the first line,
    // of digits and the separator only, inside the buffer; false otherwise
    // (then nothing is stored and the line must go through Check and Load).
    bool LoadPlainLine(std::string_view Line, THexList& Data) const;
    friend int DetectAndLoadRecords<>(TLineReader, TAtmelRecords&, THexList&, bool&);

    std::size_t FLength = 0;
    int FFileType = 9;
};

// The walks are made where the steps are defined, so that they inline.
extern template int DetectRecords(TLineReader, TAtmelRecords&);
template <> int DetectAndLoadRecords(TLineReader, TAtmelRecords&, THexList&, bool&);

// 10 when every non-empty line has 7 characters with ":" fifth, 9 when every
// one has 11 with ":" seventh (also when every line is empty); 0 otherwise or
// when a character is not a decimal digit, ":" or A-F.
int CheckAtmelGeneric(const TTextLines& Lines);
// Stores the lines of StrData in Data in the layout of FFileType (9 or 10).
void LoadAtmelGeneric(const TTextLines& StrData, THexList& Data, int FFileType);
// Appends one line per word (9) or byte (10) of Data that is not all 0xFF.
// The caller refuses data above the layout's highest address.
void WriteAtmelText(TTextBuffer& Out, const THexList& Data, int FFileType);
// The same as lines appended to SaveData.
void SaveAtmelGeneric(TTextLines& SaveData, const THexList& Data, int FFileType);
