// Initialisation files (".ini", ".prj") read and written by the rules the
// Windows profile functions follow, so files move between the systems:
//  - "[Section]" opens a section; "Name=Value" lines follow, split at the
//    first "="; blanks around names and values are dropped, and a value
//    enclosed in a pair of double or single quotes loses them;
//  - section and key names are found regardless of letter case; the first
//    of several equal keys counts; sections of the same name are one;
//  - lines starting with ";", lines without "=", keys before the first
//    section and keys under an unreadable section line are skipped.
// Written with CR LF line ends in UTF-8 (plain ASCII files are the bytes
// Windows writes); read as UTF-8, UTF-16 with a byte order mark, or the ANSI
// code page (Windows-1252). A value that would lose blanks or quotes is
// written in double quotes; CR and LF in names and values become blanks.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TIniFile {
  public:
    TIniFile() = default;
    explicit TIniFile(std::string FileName) : FFileName(std::move(FileName)) {}

    const std::string& FileName() const { return FFileName; }

    // Replaces the contents by the file's; a missing file reads as empty.
    // Raises ESettingsError naming the file when it exists but cannot be read.
    void Load();
    // Replaces the file atomically; raises ESettingsError naming it on failure.
    void Save() const;
    void LoadFromBytes(std::string_view Bytes);
    std::string SaveToText() const;

    // Section names in file order, each once.
    std::vector<std::string> ReadSections() const;
    // The section's names and values in file order; empty when it is absent.
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view Section) const;
    bool SectionExists(std::string_view Section) const;
    std::optional<std::string> ReadValue(std::string_view Section, std::string_view Name) const;
    std::string ReadString(std::string_view Section, std::string_view Name, std::string_view Default) const;
    // Replaces the value of an existing key (keeping the key's spelling) or
    // adds the key, and the section when missing, at the end.
    void WriteString(std::string_view Section, std::string_view Name, std::string_view Value);
    void EraseSection(std::string_view Section);
    void Clear();

  private:
    // Names are looked up through maps keyed by their upper-cased form, so a
    // file of very many sections or keys loads in n log n time.
    struct TSection {
        std::string Name;
        std::vector<std::pair<std::string, std::string>> Keys;
        std::map<std::string, std::size_t> KeyIndex;
    };
    TSection* FindSection(std::string_view Section);
    const TSection* FindSection(std::string_view Section) const;
    TSection& AddSection(std::string_view Section);

    std::string FFileName;
    std::vector<TSection> FSections;
    std::map<std::string, std::size_t> FSectionIndex;
};
