#include "settings/settings_store.h"

#include "settings/ini_file.h"
#include "settings/name_compare.h"
#include "settings/registry_hive.h"

#include <algorithm>

const TSetting* TISPSettings::Find(std::string_view AModule, std::string_view AName) const {
    for (const TSetting& s : FSettings)
        if (SameText(s.Module, AModule) && SameText(s.Name, AName)) return &s;
    return nullptr;
}

TSettingValue TISPSettings::GetSetting(std::string_view AModule, std::string_view AName,
                                       const TSettingValue& ADefault) const {
    const TSetting* s = Find(AModule, AName);
    return s ? s->Value : ADefault;
}

std::string TISPSettings::GetString(std::string_view AModule, std::string_view AName,
                                    std::string_view ADefault) const {
    const TSetting* s = Find(AModule, AName);
    return s ? ValueToText(s->Value) : std::string(ADefault);
}

std::int32_t TISPSettings::GetInteger(std::string_view AModule, std::string_view AName,
                                      std::int32_t ADefault) const {
    const TSetting* s = Find(AModule, AName);
    if (!s) return ADefault;
    if (const auto* number = std::get_if<std::int32_t>(&s->Value)) return *number;
    return TextToInteger(ValueToText(s->Value)).value_or(ADefault);
}

bool TISPSettings::GetBoolean(std::string_view AModule, std::string_view AName, bool ADefault) const {
    const TSetting* s = Find(AModule, AName);
    if (!s) return ADefault;
    if (const auto* flag = std::get_if<bool>(&s->Value)) return *flag;
    return TextToBoolean(ValueToText(s->Value)).value_or(ADefault);
}

void TISPSettings::SetSetting(std::string_view AModule, std::string_view AName, TSetScope AScope,
                              TSettingValue AValue) {
    for (auto it = FSettings.rbegin(); it != FSettings.rend(); ++it)
        if (it->Module == AModule && it->Name == AName) {
            it->Value = std::move(AValue);
            return;
        }
    FSettings.push_back(TSetting{std::string(AModule), std::string(AName), AScope, std::move(AValue)});
}

void TISPSettings::ClearSettings(TSetScope SettingType, std::string_view Section) {
    std::erase_if(FSettings,
                  [&](const TSetting& s) { return s.Scope == SettingType && s.Module == Section; });
}

void TISPSettings::ClearSettings(TSetScope SettingType) {
    std::erase_if(FSettings, [&](const TSetting& s) { return s.Scope == SettingType; });
}

void TISPSettings::ChangeScope(std::string_view Section, TSetScope NewScope) {
    for (TSetting& s : FSettings)
        if (s.Module == Section) s.Scope = NewScope;
}

std::string TISPSettings::HiveFileName() const {
    return FRegistryFile.empty() ? TRegistryHive::DefaultFileName() : FRegistryFile;
}

std::vector<TSetting> TISPSettings::ReadRegistry(const std::string& Path, TSetScope SettingType) const {
    TRegistryHive hive(HiveFileName());
    hive.Load();
    if (!hive.KeyExists(Path)) {
        hive.CreateKey(Path);
        hive.Save();
    }
    std::vector<TSetting> read;
    for (const std::string& section : hive.GetKeyNames(Path)) {
        const std::string key = Path + '\\' + section;
        for (const std::string& name : hive.GetValueNames(key))
            read.push_back(TSetting{section, name, SettingType, hive.ReadString(key, name)});
    }
    return read;
}

std::vector<TSetting> TISPSettings::ReadFile(const std::string& Path, TSetScope SettingType) const {
    TIniFile ini(Path);
    ini.Load();
    std::vector<TSetting> read;
    for (const std::string& section : ini.ReadSections())
        for (auto& [name, value] : ini.ReadSectionValues(section))
            read.push_back(TSetting{section, name, SettingType, value});
    return read;
}

void TISPSettings::LoadSettings(const std::string& Path, TSaveLocation Location, TSetScope SettingType) {
    std::vector<TSetting> read =
        Location == sl_registry ? ReadRegistry(Path, SettingType) : ReadFile(Path, SettingType);
    ClearSettings(SettingType);
    for (TSetting& s : read)
        SetSetting(s.Module, s.Name, SettingType, std::move(s.Value));
}

void TISPSettings::SaveSettings(const std::string& Path, TSaveLocation Location, TSetScope SettingType) {
    if (Location == sl_registry) {
        TRegistryHive hive(HiveFileName());
        hive.Load();
        hive.CreateKey(Path);
        for (const std::string& section : hive.GetKeyNames(Path))
            hive.DeleteKey(Path + '\\' + section);
        for (const TSetting& s : FSettings)
            if (s.Scope == SettingType)
                hive.WriteString(Path + '\\' + s.Module, s.Name, ValueToText(s.Value));
        hive.Save();
    } else {
        // Every section of the file is erased, so the new file holds exactly
        // the settings written.
        TIniFile ini(Path);
        for (const TSetting& s : FSettings)
            if (s.Scope == SettingType) ini.WriteString(s.Module, s.Name, ValueToText(s.Value));
        ini.Save();
    }
}
