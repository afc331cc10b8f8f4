// Registry files of any bytes: loading never fails, every value can be asked
// for as text, merging either works or raises ESettingsError, and writing
// what was read is stable (read + write of the written text gives it back).
#include "settings/registry_hive.h"
#include "settings/settings_error.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void ReadAll(const TRegistryHive& hive, const std::string& key, int depth) {
    for (const std::string& name : hive.GetValueNames(key)) {
        try {
            (void)hive.ReadString(key, name);
        } catch (const ESettingsError&) {
        }
    }
    if (depth > 600) std::abort(); // deeper than the key depth limit allows
    for (const std::string& sub : hive.GetKeyNames(key))
        ReadAll(hive, key + "\\" + sub, depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);

    TRegistryHive hive;
    hive.LoadFromBytes(bytes);
    ReadAll(hive, "", 0);

    const std::string text = hive.SaveToText();
    TRegistryHive again;
    again.LoadFromBytes(text);
    if (again.SaveToText() != text) std::abort();

    try {
        again.MergeBytes(bytes, "fuzz.reg");
    } catch (const ESettingsError&) {
    }
    return 0;
}
