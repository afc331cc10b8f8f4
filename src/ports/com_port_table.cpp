#include "ports/com_port_table.h"

#include <cctype>
#include <filesystem>
#include <system_error>

namespace {

std::string Canonical(const std::string& Path) {
    std::error_code ec;
    const auto p = std::filesystem::weakly_canonical(Path, ec);
    return ec ? Path : p.string();
}

} // namespace

int TComPortTable::ComNumber(const std::string& Name) {
    std::string s = Name;
    if (s.rfind("\\\\.\\", 0) == 0) s.erase(0, 4);
    if (s.size() < 4 || s.size() > 9) return 0;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) != "COM"[i]) return 0;
    if (s[3] == '0') return 0;
    int n = 0;
    for (std::size_t i = 3; i < s.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return 0;
        n = n * 10 + (s[i] - '0');
    }
    return n;
}

void TComPortTable::Assign(int Number, const std::string& Path) {
    if (Number < 1) return;
    if (Path.empty())
        FEntries.erase(Number);
    else
        FEntries[Number] = Path;
}

std::string TComPortTable::PathOf(int Number) const {
    const auto it = FEntries.find(Number);
    return it == FEntries.end() ? std::string() : it->second;
}

int TComPortTable::NumberOf(const std::string& Path) const {
    for (const auto& [n, p] : FEntries)
        if (p == Path) return n;
    const std::string wanted = Canonical(Path);
    for (const auto& [n, p] : FEntries)
        if (Canonical(p) == wanted) return n;
    return 0;
}

int TComPortTable::Add(const std::string& Path) {
    if (const int n = NumberOf(Path)) return n;
    int n = 1;
    while (FEntries.count(n))
        ++n;
    FEntries[n] = Path;
    return n;
}

void TComPortTable::Merge(const std::vector<std::string>& Devices) {
    for (const auto& d : Devices)
        Add(d);
}

std::string TComPortTable::Resolve(const std::string& DeviceName) const {
    if (const int n = ComNumber(DeviceName)) return PathOf(n);
    return DeviceName;
}
