#include "settings/setting.h"

#include <gtest/gtest.h>

#include <climits>

TEST(SettingValue, TextFormOfEachKind) {
    EXPECT_EQ(ValueToText(TSettingValue(std::string("24C64"))), "24C64");
    EXPECT_EQ(ValueToText(TSettingValue(3)), "3");
    EXPECT_EQ(ValueToText(TSettingValue(-12)), "-12");
    EXPECT_EQ(ValueToText(TSettingValue(INT32_MIN)), "-2147483648");
    EXPECT_EQ(ValueToText(TSettingValue(true)), "True");
    EXPECT_EQ(ValueToText(TSettingValue(false)), "False");
    // A string literal must become text, not a boolean.
    const TSettingValue literal = "abc";
    EXPECT_TRUE(std::holds_alternative<std::string>(literal));
}

TEST(SettingValue, TextToInteger) {
    const struct {
        const char* text;
        std::optional<std::int32_t> expected;
    } cases[] = {
        {"3", 3},
        {" 42 ", 42},
        {"-7", -7},
        {"+5", 5},
        {"0", 0},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"3x", std::nullopt},
        {"0x10", std::nullopt},
        {"+-1", std::nullopt},
        {"True", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToInteger(c.text), c.expected) << '"' << c.text << '"';
}

TEST(SettingValue, TextToBoolean) {
    const struct {
        const char* text;
        std::optional<bool> expected;
    } cases[] = {
        {"True", true},        {"False", false},   {"TRUE", true},        {"false", false},
        {" True ", true},      {"1", true},        {"0", false},          {"-1", true},
        {"yes", std::nullopt}, {"", std::nullopt}, {"Tru", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToBoolean(c.text), c.expected) << '"' << c.text << '"';
}
