// INI files of any bytes: loading never fails and writing what was read
// gives the same sections, names and values when read again.
#include "settings/ini_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TIniFile ini;
    ini.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(Data), Size));
    const std::string text = ini.SaveToText();

    TIniFile again;
    again.LoadFromBytes(text);
    if (again.ReadSections() != ini.ReadSections()) std::abort();
    for (const std::string& section : ini.ReadSections()) {
        const auto values = ini.ReadSectionValues(section);
        if (again.ReadSectionValues(section) != values) std::abort();
        for (const auto& [name, value] : values)
            if (ini.ReadString(section, name, "") != value) std::abort();
    }
    if (again.SaveToText() != text) std::abort();
    return 0;
}
