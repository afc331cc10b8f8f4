// Writing a buffer to a data file for the subcommands that save one (read,
// convert), with the reason on failure. The name "-" stands for standard
// output: the data go to Data and nothing else does.
#pragma once

#include "buffer/hex_list.h"

#include <iosfwd>
#include <string>

// Saves Buffer in format Code (1-10, 11 binary) to FileName, or to Data for
// "-". The "File Saved" line goes to Status unless it is null; false after
// reporting on Err why nothing was written.
bool WriteDataFile(const std::string& FileName, THexList& Buffer, int Code, std::ostream& Data,
                   std::ostream* Status, std::ostream& Err);
