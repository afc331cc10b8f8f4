// A number given on a pty tool's command line.
#pragma once

#include "errors/errors.h"

#include <charconv>
#include <string>

// Text as a number in Base, at most Max; raises Exception naming Option.
inline unsigned long long OptionNumber(const std::string& Option, const std::string& Text,
                                       unsigned long long Max, int Base = 10) {
    unsigned long long value = 0;
    const char* end = Text.data() + Text.size();
    const auto [ptr, ec] = std::from_chars(Text.data(), end, value, Base);
    if (Text.empty() || ec != std::errc() || ptr != end || value > Max)
        throw Exception("Invalid value \"" + Text + "\" for " + Option);
    return value;
}
