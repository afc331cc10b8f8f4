// One hardware kind's section of the settings store (the section is the
// kind's registry name, as the drivers keep it), and the write delay every
// kind keeps there: "EEPROMtime", the operator's choice in milliseconds,
// valid when "EEPROMtimeChosen" is 1. A stored "EEPROMtime" without the
// mark (older versions wrote every device's default) stands for the
// device's own delay.
#pragma once

#include "settings/settings_store.h"

#include <cstdint>
#include <string>

inline constexpr char kEEPROMTimeKey[] = "EEPROMtime";
inline constexpr char kEEPROMTimeChosenKey[] = "EEPROMtimeChosen";

class TKindSettings {
  public:
    // Section: the kind's registry name (upper-cased).
    TKindSettings(TISPSettings& Store, std::string Section) : FStore(Store), FSection(std::move(Section)) {}

    TISPSettings& Store() const { return FStore; }
    const std::string& Section() const { return FSection; }

    std::int32_t GetInteger(const std::string& Name, std::int32_t Default) const {
        return FStore.GetInteger(FSection, Name, Default);
    }
    std::string GetString(const std::string& Name, const std::string& Default) const {
        return FStore.GetString(FSection, Name, Default);
    }
    // Lookups ignore letter case and take the first match: a value stored
    // before is replaced under its own spelling of the section and key;
    // otherwise the setting is added with the global scope.
    void Set(const std::string& Name, TSettingValue Value);

  private:
    TISPSettings& FStore;
    std::string FSection;
};

// The write delay the operator chose, as a driver loads it from Store's
// Section; 0 when none is chosen (each device's own). Store may be null.
std::uint8_t ChosenWriteTime(const TISPSettings* Store, const std::string& Section);
// Stores the choice as a driver saves it: Milliseconds, or 0 for none
// (the device's own).
void StoreWriteTime(TISPSettings& Store, const std::string& Section, std::uint8_t Milliseconds);
// The operator's choice given on the command line (0 gives it back to the
// device), into the kind's section.
void ChooseWriteTime(TKindSettings& Settings, int Milliseconds);
