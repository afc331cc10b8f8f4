// One entry of the settings store and the value it carries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

enum TSetScope { ss_project = 0, ss_global = 1 };

enum TSaveLocation { sl_registry = 0, sl_file = 1 };

// Text, a 32-bit integer or a boolean. Values read from a back-end are text;
// values set by the program keep their kind until written and read back.
using TSettingValue = std::variant<std::string, std::int32_t, bool>;

struct TSetting {
    std::string Module;
    std::string Name;
    TSetScope Scope = ss_project;
    TSettingValue Value;
};

// The text a value is written as: text unchanged, an integer in decimal,
// a boolean as "True" or "False".
std::string ValueToText(const TSettingValue& Value);

// Decimal conversion of a text, optionally signed, blanks around it allowed;
// nothing when the text is not a number or does not fit 32 bits.
std::optional<std::int32_t> TextToInteger(std::string_view Text);

// "True" / "False" in any letter case, or a decimal number (0 is false, any
// other number true); nothing for any other text.
std::optional<bool> TextToBoolean(std::string_view Text);
