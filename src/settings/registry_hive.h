// The current user's registry hive, kept as one registry export file. Keys
// are addressed by paths relative to HKEY_CURRENT_USER
// ("Software\lumora\NorvoISP0001\GLOBAL"); key and value names keep the case
// they were created with and are found regardless of it. Subkeys are listed
// in the registry's order (by upper-cased name), values in the order they
// were created. Values of any type are kept; texts are read and written.
//
// The file is written as UTF-8 with CR LF line ends under the header
// "Windows Registry Editor Version 5.00"; it is read in that form, as
// regedit's UTF-16LE export and as the ANSI "REGEDIT4" form. Keys of roots
// other than HKEY_CURRENT_USER found in the file are kept as they are.
//
// Changes stay in memory until Save(), which replaces the file atomically.
#pragma once

#include "settings/reg_file.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TRegistryHive {
  public:
    // A hive bound to no file: Load and Save raise, the rest works.
    TRegistryHive();
    explicit TRegistryHive(std::string FileName);
    ~TRegistryHive();
    TRegistryHive(const TRegistryHive&) = delete;
    TRegistryHive& operator=(const TRegistryHive&) = delete;
    TRegistryHive(TRegistryHive&&) noexcept;
    TRegistryHive& operator=(TRegistryHive&&) noexcept;

    // The environment variable that names the hive file, for tests and
    // portable set-ups.
    static constexpr const char* FileVariable = "NORVOISP_REGISTRY";
    // $NORVOISP_REGISTRY, else $XDG_CONFIG_HOME/lumora/registry.reg, else
    // ~/.config/lumora/registry.reg. Raises ESettingsError when no home
    // folder is known.
    static std::string DefaultFileName();

    const std::string& FileName() const { return FFileName; }

    // Replaces the contents by the file's; a missing file gives an empty hive.
    // Unreadable lines are skipped. Raises ESettingsError when the file exists
    // but cannot be read.
    void Load();
    // Writes the whole hive to the file atomically, creating its folder when
    // missing. Raises ESettingsError naming the file on failure.
    void Save() const;
    // Contents from / to the bytes of a registry file.
    void LoadFromBytes(std::string_view Bytes);
    std::string SaveToText() const;

    // Applies a registry export file to the hive as an import does: keys are
    // created, values set, "[-key]" removes a key with everything below it
    // and "name"=- a value. Only keys of HKEY_CURRENT_USER are taken; the
    // number of instructions left out for belonging to other roots is
    // returned. Raises ESettingsError when the file cannot be read or is not
    // a registry file (no header line).
    std::size_t MergeFile(const std::string& RegFileName);
    std::size_t MergeBytes(std::string_view Bytes, const std::string& SourceName);

    bool KeyExists(std::string_view Key) const;
    // Creates the key and the missing keys above it.
    void CreateKey(std::string_view Key);
    // Removes the key with its values and everything below it; false when it
    // does not exist. The current user's root itself cannot be removed.
    bool DeleteKey(std::string_view Key);
    // Subkey names in registry order; empty when the key does not exist.
    std::vector<std::string> GetKeyNames(std::string_view Key) const;
    // Value names in creation order ("" is the default value).
    std::vector<std::string> GetValueNames(std::string_view Key) const;

    bool ValueExists(std::string_view Key, std::string_view Name) const;
    std::optional<TRegData> ReadValue(std::string_view Key, std::string_view Name) const;
    // A text value (plain or expandable, returned unexpanded); "" when the
    // value does not exist. Raises ESettingsError naming the value, the key
    // and the file when the value holds another type of data.
    std::string ReadString(std::string_view Key, std::string_view Name) const;
    // Creates the key when missing and sets a text value.
    void WriteString(std::string_view Key, std::string_view Name, std::string_view Value);
    void WriteValue(std::string_view Key, std::string_view Name, TRegData Data);
    bool DeleteValue(std::string_view Key, std::string_view Name);

    // True after a change not yet saved.
    bool Modified() const { return FModified; }

  private:
    struct TNode;

    std::vector<std::string> UserPath(std::string_view Key) const;
    TNode* Find(const std::vector<std::string>& Path) const;
    TNode* Create(const std::vector<std::string>& Path);
    bool Remove(const std::vector<std::string>& Path);
    void Apply(const TRegOp& Op);

    std::string FFileName;
    std::unique_ptr<TNode> FRoot; // its subkeys are the registry roots
    bool FModified = false;
    // Key of the file section being loaded or merged (section 0: none).
    std::size_t FCachedSection = 0;
    TNode* FCachedNode = nullptr;
};
