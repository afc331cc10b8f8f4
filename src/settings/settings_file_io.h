// Reading and atomically replacing settings files (registry file, INI files).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Settings files larger than this are refused rather than read into memory.
inline constexpr std::size_t MaxSettingsFileSize = 64u * 1024u * 1024u;

// The whole content of FileName; nothing when the file does not exist.
// Raises ESettingsError naming the file when it exists but cannot be read
// (no permission, a folder, an I/O error, larger than MaxSettingsFileSize)
// and when FileName is empty.
std::optional<std::string> ReadSettingsFile(const std::string& FileName);

// Replaces FileName by Data so that the file is either the old one or the new
// one, whole, after any crash: the data go to a temporary file in the same
// folder, are flushed to the disk and renamed over the target. A symbolic
// link is followed and its target replaced. The new file keeps the old one's
// permissions (a new file gets the default ones). On failure the old file is
// untouched, the temporary file removed and ESettingsError names the file.
void WriteSettingsFileAtomic(const std::string& FileName, std::string_view Data);
