// Tektronix hex: "/", address (4 digits), count (2), header checksum (sum of
// the six address and count digit values), data, data checksum (sum of the
// data digit values). A record with count 0 ends the file.
#pragma once

#include "buffer/hex_list.h"
#include "formats/file_types.h"
#include "formats/record_scan.h"
#include "formats/text_lines.h"

#include <cstdint>

// The highest byte address a Tektronix record can name.
inline constexpr std::uint32_t TekMaxAddress = 0xFFFF;

// The detector and reader steps (record_scan.h).
class TTekRecords {
  public:
    explicit TTekRecords(bool IgnoreChecksum = IGNORECHECKSUM) : FIgnoreChecksum(IgnoreChecksum) {}
    // Plain: the characters after the record mark are known to be
    // hexadecimal digits.
    TLineVerdict Check(std::string_view Line, bool Plain = false);
    int Result() const { return FResult; }
    // The length of the record line its first characters name.
    static constexpr std::size_t HeadLength = 7, MarkLength = 1;
    static std::size_t LengthFromHead(std::string_view Head) {
        if (Head.size() < 7 || Head[0] != '/' || !IsHexDigit(Head[5]) || !IsHexDigit(Head[6])) return 0;
        const std::size_t count = PairValue(Head[5], Head[6]);
        return count == 0 ? 9 : 11 + 2 * count;
    }
    bool Load(std::string_view Line, THexList& Data);

  private:
    bool FIgnoreChecksum;
    int FResult = 0;
};

// The walks are made where the steps are defined, so that they inline.
extern template int DetectRecords(TLineReader, TTekRecords&);
extern template int DetectAndLoadRecords(TLineReader, TTekRecords&, THexList&, bool&);

// 0 when some line is not a Tektronix record (a wrong header checksum always
// rejects); otherwise 8. Stops at the end record "/AAAA00CC".
int CheckTek(const TTextLines& Lines, bool IgnoreChecksum = IGNORECHECKSUM);
// Stores the records of StrData in Data up to the first record with count 0.
void LoadTekFile(const TTextLines& StrData, THexList& Data);
// Appends one record per row of Data, then the end record "/00000000".
// The caller refuses data above TekMaxAddress.
void WriteTekText(TTextBuffer& Out, const THexList& Data);
// The same as lines appended to SaveData.
void SaveTekFile(TTextLines& SaveData, const THexList& Data);
