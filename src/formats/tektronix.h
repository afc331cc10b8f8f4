// Tektronix hex: "/", address (4 digits), count (2), header checksum (sum of
// the six address and count digit values), data, data checksum (sum of the
// data digit values). A record with count 0 ends the file.
#pragma once

#include "buffer/hex_list.h"
#include "formats/file_types.h"
#include "formats/text_lines.h"

#include <cstdint>

// The highest byte address a Tektronix record can name.
inline constexpr std::uint32_t TekMaxAddress = 0xFFFF;

// 0 when some line is not a Tektronix record (a wrong header checksum always
// rejects); otherwise 8. Stops at the end record "/AAAA00CC".
int CheckTek(const TTextLines& Lines, bool IgnoreChecksum = IGNORECHECKSUM);
// Stores the records of StrData in Data up to the first record with count 0.
void LoadTekFile(const TTextLines& StrData, THexList& Data);
// Appends one record per row of Data, then the end record "/00000000".
// The caller refuses data above TekMaxAddress.
void SaveTekFile(TTextLines& SaveData, const THexList& Data);
