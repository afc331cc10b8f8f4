// Loading a data file into a buffer as the main window's load command does,
// for the subcommands that read one (program, verify, convert).
#pragma once

#include "buffer/hex_list.h"

#include <iosfwd>
#include <string>

// Loads FileName into Buffer (already sized): a recognised text format,
// otherwise binary. The "File loaded" line goes to Out unless it is null;
// false after reporting on Err why the file was not loaded.
bool LoadDataFile(const std::string& FileName, THexList& Buffer, std::ostream* Out, std::ostream& Err);
