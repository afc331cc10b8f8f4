// Motorola S-records: "S", type digit, count (bytes that follow it), address
// (2, 3 or 4 bytes for types 1, 2, 3), data, checksum (one's complement of
// the sum of count, address and data). Type 0 is a header, 5 and 6 carry a
// record count, 7, 8 and 9 end a file of types 3, 2 and 1.
#pragma once

#include "buffer/hex_list.h"
#include "formats/file_types.h"
#include "formats/record_scan.h"
#include "formats/text_lines.h"

// The detector and reader steps (record_scan.h).
class TMotorolaRecords {
  public:
    explicit TMotorolaRecords(bool IgnoreChecksum = IGNORECHECKSUM) : FIgnoreChecksum(IgnoreChecksum) {}
    // Plain: the characters after the record mark are known to be
    // hexadecimal digits.
    TLineVerdict Check(std::string_view Line, bool Plain = false);
    int Result() const { return FResult; }
    // The length of the record line its first characters name.
    static constexpr std::size_t HeadLength = 4, MarkLength = 2;
    static std::size_t LengthFromHead(std::string_view Head) {
        if (Head.size() < 4 || Head[0] != 'S' || Head[1] < '0' || Head[1] > '9' || !IsHexDigit(Head[2]) ||
            !IsHexDigit(Head[3]))
            return 0;
        return 4 + 2 * std::size_t{PairValue(Head[2], Head[3])};
    }
    bool Load(std::string_view Line, THexList& Data);

  private:
    bool FIgnoreChecksum;
    int FResult = 0;
};

// The walks are made where the steps are defined, so that they inline.
extern template int DetectRecords(TLineReader, TMotorolaRecords&);
extern template int DetectAndLoadRecords(TLineReader, TMotorolaRecords&, THexList&, bool&);

// 0 when some line is not an S-record or is an S4 record; otherwise 4 (types
// 0, 1, 9 only), 5 (an S2 or S8 record) or 6 (an S3 or S7 record). S5 and S6
// count records are passed over. Stops at the first S9 record.
int CheckMotorola(const TTextLines& Lines, bool IgnoreChecksum = IGNORECHECKSUM);
// Stores the S1, S2 and S3 records of StrData in Data up to the first S9
// record; an address past the end of Data raises the buffer's range error.
void LoadMotFile(const TTextLines& StrData, THexList& Data);
// Appends the records of Data: S1 rows, S2 rows from the first row above
// 0xFFFF on, and the end record S9030000FC.
void WriteMotText(TTextBuffer& Out, const THexList& Data);
// The same as lines appended to SaveData.
void SaveMotFile(TTextLines& SaveData, const THexList& Data);
