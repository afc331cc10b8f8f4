// Loading a data file into a buffer (a recognised text format, otherwise binary),
// for the subcommands that read one (program, verify, convert). The name "-"
// stands for standard input.
#pragma once

#include "buffer/hex_list.h"

#include <iosfwd>
#include <string>

// The name that stands for standard input (and, for a file written, for
// standard output).
inline bool IsStandardStream(const std::string& FileName) {
    return FileName == "-";
}

// Loads FileName into Buffer (already sized): a recognised text format,
// otherwise binary. The "File loaded" line goes to Out unless it is null;
// false after reporting on Err why the file was not loaded. A file that is
// plain text in no known format still loads as binary, with a warning on Err
// that its characters become the data. A file without data (empty, or line
// ends only) is refused. The file is read once (it may be a pipe); Sha256,
// when given, gets the SHA-256 of the bytes that were loaded.
bool LoadDataFile(const std::string& FileName, THexList& Buffer, std::ostream* Out, std::ostream& Err,
                  std::string* Sha256 = nullptr);

// True when FileName names a regular file (not a pipe, device or folder).
bool IsRegularFile(const std::string& FileName);

// The stream "-" reads: standard input, unless a test puts another in.
std::istream& CliInput();
void SetCliInput(std::istream* In);
