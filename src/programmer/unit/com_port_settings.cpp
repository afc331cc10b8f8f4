#include "programmer/unit/com_port_settings.h"

#include "catalogue/device_list.h"
#include "settings/settings_store.h"

TComPortTable LoadComPortTable(const TISPSettings* Settings) {
    TComPortTable table;
    if (!Settings) return table;
    const std::string section = AsciiUpper(ComPortsSection);
    for (const auto& s : Settings->Settings()) {
        if (AsciiUpper(s.Module) != section) continue;
        if (const int n = TComPortTable::ComNumber(s.Name)) table.Assign(n, ValueToText(s.Value));
    }
    return table;
}

void SaveComPortTable(TISPSettings* Settings, const TComPortTable& Table) {
    if (!Settings) return;
    for (const auto& [n, path] : Table.Entries())
        Settings->SetSetting(ComPortsSection, "COM" + std::to_string(n), ss_global, path);
}
