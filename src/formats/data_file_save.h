// Saving a buffer to a data file with the reason when it cannot be done, for
// the front ends' status lines: the format's address limit ("Tektronix cannot
// hold addresses above 0xFFFF, the data reach 0x1FFFF") or the file
// system's error. The file is written as TFileLoader::SaveFile and
// SaveBinary write it, replaced only once the new one is complete.
#pragma once

#include "buffer/hex_list.h"

#include <string>

// Why format Code (1-10) cannot hold Data's highest data address; "" when it
// can (and for the binary code 11).
std::string SaveLimitReason(const THexList& Data, int Code);

// Saves Data to FileName in format Code (1-10, or 11 binary, which also sets
// Data's file name). "" when saved, otherwise why not; the old file then
// stays as it was.
std::string SaveDataFile(const std::string& FileName, THexList& Data, int Code);
