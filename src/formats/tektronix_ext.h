// Extended Tektronix: "%", block length (characters after the "%"), type
// ("6" data, "3" symbol, "8" termination), checksum (sum of the digit values
// of every character after the "%" except the checksum), address length
// digit, address, data.
#pragma once

#include "buffer/hex_list.h"
#include "formats/file_types.h"
#include "formats/record_scan.h"
#include "formats/text_lines.h"

// The detector and reader steps (record_scan.h).
class TTekExtRecords {
  public:
    explicit TTekExtRecords(bool IgnoreChecksum = IGNORECHECKSUM) : FIgnoreChecksum(IgnoreChecksum) {}
    // Plain: the characters after the record mark are known to be
    // hexadecimal digits.
    TLineVerdict Check(std::string_view Line, bool Plain = false);
    int Result() const { return FResult; }
    // The length of the record line its first characters name.
    static constexpr std::size_t HeadLength = 3, MarkLength = 1;
    static std::size_t LengthFromHead(std::string_view Head) {
        if (Head.size() < 3 || Head[0] != '%' || !IsHexDigit(Head[1]) || !IsHexDigit(Head[2])) return 0;
        return 1 + std::size_t{PairValue(Head[1], Head[2])};
    }
    bool Load(std::string_view Line, THexList& Data);

  private:
    bool FIgnoreChecksum;
    int FResult = 0;
};

// The walks are made where the steps are defined, so that they inline.
extern template int DetectRecords(TLineReader, TTekExtRecords&);
extern template int DetectAndLoadRecords(TLineReader, TTekExtRecords&, THexList&, bool&);

// 0 when some line is neither a data, symbol nor termination record or has
// a wrong block length; otherwise 7 (symbol records alone give 0). Stops at
// the first termination record.
int CheckExtTek(const TTextLines& Lines, bool IgnoreChecksum = IGNORECHECKSUM);
// Stores the data records of StrData in Data up to the first termination
// record; every other record type is passed over.
void LoadTekExtFile(const TTextLines& StrData, THexList& Data);
// Appends one data record per row of Data, then "%0E81E800000000".
void WriteTekExtText(TTextBuffer& Out, const THexList& Data);
// The same as lines appended to SaveData.
void SaveTekExtFile(TTextLines& SaveData, const THexList& Data);
