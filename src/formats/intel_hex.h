// Intel hex: ":" length, offset (high byte first), type, data, checksum (two's
// complement of the sum of the preceding bytes). Types 00 data, 01 end of
// file, 02 extended segment address, 04 extended linear address.
#pragma once

#include "buffer/hex_list.h"
#include "formats/file_types.h"
#include "formats/record_scan.h"
#include "formats/text_lines.h"

#include <cstdint>

// The detector and reader steps (record_scan.h).
class TIntelRecords {
  public:
    explicit TIntelRecords(bool IgnoreChecksum = IGNORECHECKSUM) : FIgnoreChecksum(IgnoreChecksum) {}
    // Plain: the characters after the record mark are known to be
    // hexadecimal digits.
    TLineVerdict Check(std::string_view Line, bool Plain = false);
    int Result() const { return FResult; }
    // The length of the record line its first characters name.
    static constexpr std::size_t HeadLength = 3, MarkLength = 1;
    static std::size_t LengthFromHead(std::string_view Head) {
        if (Head.size() < 3 || Head[0] != ':' || !IsHexDigit(Head[1]) || !IsHexDigit(Head[2])) return 0;
        return 11 + 2 * std::size_t{PairValue(Head[1], Head[2])};
    }
    bool Load(std::string_view Line, THexList& Data);

  private:
    bool FIgnoreChecksum;
    int FResult = 0;
    std::uint16_t Linear = 0, Segment = 0;
};

// The walks are made where the steps are defined, so that they inline.
extern template int DetectRecords(TLineReader, TIntelRecords&);
extern template int DetectAndLoadRecords(TLineReader, TIntelRecords&, THexList&, bool&);

// 0 when some line is not an Intel record; otherwise 1 (types 00/01 only),
// 2 (a type 02 record) or 3 (a type 03, 04 or 05 record). Stops at the
// first end-of-file record.
int CheckIntelHex(const TTextLines& Lines, bool IgnoreChecksum = IGNORECHECKSUM);
// Stores the data records of StrData in Data up to the first end-of-file
// record; an address past the end of Data raises the buffer's range error.
void LoadIntelFile(const TTextLines& StrData, THexList& Data);
// Appends the records of Data: 16-byte rows, extended linear address
// records where the upper address word changes, the end record.
void WriteIntelText(TTextBuffer& Out, const THexList& Data);
// The same as lines appended to SaveData.
void SaveIntelFile(TTextLines& SaveData, const THexList& Data);
