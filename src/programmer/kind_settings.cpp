#include "programmer/kind_settings.h"

#include "settings/name_compare.h"

void TKindSettings::Set(const std::string& Name, TSettingValue Value) {
    for (const auto& s : FStore.Settings())
        if (SameText(s.Module, FSection) && SameText(s.Name, Name)) {
            FStore.SetSetting(s.Module, s.Name, s.Scope, std::move(Value));
            return;
        }
    FStore.SetSetting(FSection, Name, ss_global, std::move(Value));
}

std::uint8_t ChosenWriteTime(const TISPSettings* Store, const std::string& Section) {
    if (!Store || Store->GetInteger(Section, kEEPROMTimeChosenKey, 0) == 0) return 0;
    return static_cast<std::uint8_t>(Store->GetInteger(Section, kEEPROMTimeKey, 0));
}

void StoreWriteTime(TISPSettings& Store, const std::string& Section, std::uint8_t Milliseconds) {
    // 0 stands for the device's default, also to older versions reading this.
    Store.SetSetting(Section, kEEPROMTimeKey, ss_global, static_cast<std::int32_t>(Milliseconds));
    Store.SetSetting(Section, kEEPROMTimeChosenKey, ss_global, std::int32_t{Milliseconds != 0 ? 1 : 0});
}

void ChooseWriteTime(TKindSettings& Settings, int Milliseconds) {
    Settings.Set(kEEPROMTimeKey, Milliseconds);
    Settings.Set(kEEPROMTimeChosenKey, Milliseconds > 0 ? 1 : 0);
}
