// The keyed settings store of the process. Each setting is addressed by a
// module (section) and a name and carries a scope that decides where it is
// written: global settings go to the registry, project settings to project
// files. Lookups scan the list in order; the store holds a few dozen entries.
#pragma once

#include "settings/setting.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TISPSettings {
  public:
    TISPSettings() = default;

    // The value of the first setting, in list order, whose module and name
    // match regardless of letter case; ADefault when none does. Scope plays
    // no part.
    TSettingValue GetSetting(std::string_view AModule, std::string_view AName,
                             const TSettingValue& ADefault) const;
    // The same, converted: the value's text; its integer (ADefault when the
    // text is not a number); its boolean ("True"/"False" or a number,
    // ADefault otherwise).
    std::string GetString(std::string_view AModule, std::string_view AName, std::string_view ADefault) const;
    std::int32_t GetInteger(std::string_view AModule, std::string_view AName, std::int32_t ADefault) const;
    bool GetBoolean(std::string_view AModule, std::string_view AName, bool ADefault) const;

    // Replaces the value of the last setting whose module and name match
    // exactly (letter case counts), leaving its scope as it is; otherwise
    // appends a new setting with AScope.
    void SetSetting(std::string_view AModule, std::string_view AName, TSetScope AScope, TSettingValue AValue);

    // Removes the settings of scope SettingType whose module is exactly Section.
    void ClearSettings(TSetScope SettingType, std::string_view Section);
    // Removes every setting of scope SettingType.
    void ClearSettings(TSetScope SettingType);
    // Gives every setting whose module is exactly Section the scope NewScope.
    void ChangeScope(std::string_view Section, TSetScope NewScope);

    // Replaces every setting of scope SettingType by the back-end's contents
    // at Path: a registry key (created when missing) or an INI file (a
    // missing one reads as empty). Each section's values become settings of
    // that module, in the back-end's order. The back-end is read completely
    // before the store changes: when it raises ESettingsError (unreadable
    // file, a registry value that is not text) the store is left as it was.
    void LoadSettings(const std::string& Path, TSaveLocation Location, TSetScope SettingType);
    // Replaces the back-end's contents at Path by the settings of scope
    // SettingType: every section the back-end holds there is erased, then
    // each setting's text is written under its module and name. The file is
    // replaced atomically; failures raise ESettingsError.
    void SaveSettings(const std::string& Path, TSaveLocation Location, TSetScope SettingType);

    const std::vector<TSetting>& Settings() const { return FSettings; }

    // The registry file behind sl_registry; when empty (the default),
    // TRegistryHive::DefaultFileName() at each load and save.
    const std::string& RegistryFile() const { return FRegistryFile; }
    void SetRegistryFile(std::string FileName) { FRegistryFile = std::move(FileName); }

  private:
    const TSetting* Find(std::string_view AModule, std::string_view AName) const;
    std::vector<TSetting> ReadRegistry(const std::string& Path, TSetScope SettingType) const;
    std::vector<TSetting> ReadFile(const std::string& Path, TSetScope SettingType) const;
    std::string HiveFileName() const;

    std::vector<TSetting> FSettings;
    std::string FRegistryFile;
};
