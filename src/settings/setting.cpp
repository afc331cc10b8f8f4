#include "settings/setting.h"

#include "settings/name_compare.h"

#include <charconv>

namespace {

std::string_view TrimBlanks(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string ValueToText(const TSettingValue& Value) {
    if (const auto* text = std::get_if<std::string>(&Value)) return *text;
    if (const auto* number = std::get_if<std::int32_t>(&Value)) return std::to_string(*number);
    return std::get<bool>(Value) ? "True" : "False";
}

std::optional<std::int32_t> TextToInteger(std::string_view Text) {
    Text = TrimBlanks(Text);
    if (!Text.empty() && Text.front() == '+') {
        Text.remove_prefix(1);
        if (!Text.empty() && Text.front() == '-') return std::nullopt;
    }
    if (Text.empty()) return std::nullopt;
    std::int32_t result = 0;
    const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), result, 10);
    if (ec != std::errc() || end != Text.data() + Text.size()) return std::nullopt;
    return result;
}

std::optional<bool> TextToBoolean(std::string_view Text) {
    const std::string_view trimmed = TrimBlanks(Text);
    if (SameText(trimmed, "True")) return true;
    if (SameText(trimmed, "False")) return false;
    if (const auto number = TextToInteger(trimmed)) return *number != 0;
    return std::nullopt;
}
