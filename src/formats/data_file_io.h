// Reading data files and replacing them safely.
#pragma once

#include "errors/errors.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A data file that cannot be opened, read or written.
class EDataFileError : public Exception {
  public:
    EDataFileError(std::string msg, std::string AFileName)
        : Exception(std::move(msg)), FileName(std::move(AFileName)) {}
    std::string FileName;
};

// No text format holds a 128 KiB image in more than a few MiB; text beyond
// this is not read into memory.
inline constexpr std::size_t MaxDataTextSize = 64u * 1024u * 1024u;

// The longest text read into a buffer of BufferSize bytes: room for an image
// of that size in the widest record format (S3 records take three characters
// a byte) with comments, and never less than MaxDataTextSize.
inline constexpr std::size_t DataTextLimit(std::size_t BufferSize) {
    return BufferSize > MaxDataTextSize / 4 ? 4 * BufferSize : MaxDataTextSize;
}

// True when FileName names something that is not a folder.
bool DataFileExists(const std::string& FileName);

// The file's text up to its first zero byte; nothing when that text is longer
// than Limit. Raises EDataFileError when the file cannot be opened or read.
std::optional<std::string> ReadDataText(const std::string& FileName, std::size_t Limit = MaxDataTextSize);

// All bytes of the file; nothing when it holds more than Limit bytes (only
// Limit + 1 bytes are ever read). Raises EDataFileError when the file cannot
// be opened or read.
std::optional<std::string> ReadDataBytes(const std::string& FileName, std::size_t Limit);

// Replaces FileName by Data so that it is either the old file or the new one,
// whole: the data go to a temporary file in the same folder, are flushed and
// renamed over the target (a symbolic link's target is replaced, and the new
// file keeps the old one's permissions). On failure the old file is untouched,
// the temporary file removed and EDataFileError raised.
void WriteDataFileAtomic(const std::string& FileName, std::string_view Data);
