#include "settings/registry_hive.h"

#include "settings/name_compare.h"
#include "settings/settings_error.h"
#include "settings/settings_file_io.h"

#include <cstdlib>
#include <filesystem>
#include <list>
#include <map>
#include <pwd.h>
#include <unistd.h>

namespace {

constexpr std::string_view CurrentUser = "HKEY_CURRENT_USER";

// CR, LF and NUL cannot stand in a name in the file; they become blanks.
std::string CleanName(std::string_view Name) {
    std::string out(Name);
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    return out;
}

std::string JoinPath(const std::vector<std::string>& Path) {
    std::string out;
    for (const auto& part : Path) {
        if (!out.empty()) out += '\\';
        out += part;
    }
    return out;
}

} // namespace

// A key. Lookups go through maps keyed by the upper-cased names, so a file
// with very many keys or values loads in n log n time; the subkey map's
// order is the registry's listing order.
struct TRegistryHive::TNode {
    using TValues = std::list<std::pair<std::string, TRegData>>;

    std::string Name;
    TValues Values; // creation order
    std::map<std::string, TValues::iterator> ValueIndex;
    std::map<std::string, std::unique_ptr<TNode>> SubKeys;

    TNode* Child(std::string_view name) const {
        const auto it = SubKeys.find(UpperText(name));
        return it == SubKeys.end() ? nullptr : it->second.get();
    }
    TNode* AddChild(std::string_view name) {
        auto& slot = SubKeys[UpperText(name)];
        if (!slot) {
            slot = std::make_unique<TNode>();
            slot->Name = std::string(name);
        }
        return slot.get();
    }
    bool RemoveChild(std::string_view name) { return SubKeys.erase(UpperText(name)) != 0; }

    const TRegData* Value(std::string_view name) const {
        const auto it = ValueIndex.find(UpperText(name));
        return it == ValueIndex.end() ? nullptr : &it->second->second;
    }
    // Replaces the value's data, keeping its spelling, or appends it.
    void SetValue(const std::string& name, const TRegData& data) {
        auto [it, added] = ValueIndex.try_emplace(UpperText(name));
        if (added)
            it->second = Values.emplace(Values.end(), name, data);
        else
            it->second->second = data;
    }
    bool EraseValue(std::string_view name) {
        const auto it = ValueIndex.find(UpperText(name));
        if (it == ValueIndex.end()) return false;
        Values.erase(it->second);
        ValueIndex.erase(it);
        return true;
    }
};

TRegistryHive::TRegistryHive() : FRoot(std::make_unique<TNode>()) {}
TRegistryHive::TRegistryHive(std::string FileName)
    : FFileName(std::move(FileName)), FRoot(std::make_unique<TNode>()) {}
TRegistryHive::~TRegistryHive() = default;
TRegistryHive::TRegistryHive(TRegistryHive&&) noexcept = default;
TRegistryHive& TRegistryHive::operator=(TRegistryHive&&) noexcept = default;

std::string TRegistryHive::DefaultFileName() {
    if (const char* file = std::getenv(FileVariable); file && *file) return file;
    // The XDG rules ignore a relative configuration folder.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return std::string(config) + "/lumora/registry.reg";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir) {
        home = pw->pw_dir;
    }
    if (home.empty())
        throw ESettingsError("Cannot place the registry file: neither NORVOISP_REGISTRY, XDG_CONFIG_HOME "
                             "nor a home folder is known",
                             "");
    return home + "/.config/lumora/registry.reg";
}

void TRegistryHive::Load() {
    if (FFileName.empty()) throw ESettingsError("The registry has no file to load from", "");
    const auto bytes = ReadSettingsFile(FFileName);
    LoadFromBytes(bytes ? *bytes : std::string());
}

void TRegistryHive::LoadFromBytes(std::string_view Bytes) {
    FRoot = std::make_unique<TNode>();
    FCachedSection = 0;
    ParseRegScript(
        Bytes, [this](const TRegOp& op) { Apply(op); }, false);
    FCachedSection = 0;
    FModified = false;
}

std::size_t TRegistryHive::MergeFile(const std::string& RegFileName) {
    const auto bytes = ReadSettingsFile(RegFileName);
    if (!bytes)
        throw ESettingsError("Cannot read registry file \"" + RegFileName + "\": No such file or directory",
                             RegFileName);
    return MergeBytes(*bytes, RegFileName);
}

std::size_t TRegistryHive::MergeBytes(std::string_view Bytes, const std::string& SourceName) {
    std::size_t foreign = 0;
    FCachedSection = 0;
    const TRegScript script = ParseRegScript(
        Bytes,
        [&](const TRegOp& op) {
            if (op.Key.front() == CurrentUser)
                Apply(op);
            else
                ++foreign;
        },
        true);
    FCachedSection = 0;
    if (!script.HasHeader) throw ESettingsError("\"" + SourceName + "\" is not a registry file", SourceName);
    return foreign;
}

void TRegistryHive::Apply(const TRegOp& Op) {
    if (Op.Kind != TRegOpKind::SetValue) FCachedSection = 0;
    switch (Op.Kind) {
    case TRegOpKind::CreateKey:
        Create(Op.Key);
        break;
    case TRegOpKind::DeleteKey:
        if (Op.Key.size() > 1) Remove(Op.Key); // a root is never removed
        break;
    case TRegOpKind::SetValue: {
        // Values of one file section share its key; find it once.
        TNode* node = (Op.Section != 0 && Op.Section == FCachedSection) ? FCachedNode : Create(Op.Key);
        FCachedSection = Op.Section;
        FCachedNode = node;
        node->SetValue(Op.Name, Op.Data);
        FModified = true;
        break;
    }
    case TRegOpKind::DeleteValue:
        if (TNode* node = Find(Op.Key); node && node->EraseValue(Op.Name)) FModified = true;
        break;
    }
}

void TRegistryHive::Save() const {
    if (FFileName.empty()) throw ESettingsError("The registry has no file to save to", "");
    const std::filesystem::path folder = std::filesystem::path(FFileName).parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec)
            throw ESettingsError("Cannot write settings file \"" + FFileName + "\": " + ec.message(),
                                 FFileName);
    }
    WriteSettingsFileAtomic(FFileName, SaveToText());
}

std::string TRegistryHive::SaveToText() const {
    std::string out(RegHeader5);
    out += "\r\n\r\n";
    std::vector<std::string> path;
    // Depth-first, each key before its subkeys, as regedit exports. A root
    // gets a section of its own only when it holds values.
    const auto write = [&](const auto& self, const TNode& node) -> void {
        path.push_back(node.Name);
        if (path.size() > 1 || !node.Values.empty()) {
            out += FormatRegKeyLine(path);
            for (const auto& [name, data] : node.Values)
                out += FormatRegValueLine(name, data);
            out += "\r\n";
        }
        for (const auto& sub : node.SubKeys)
            self(self, *sub.second);
        path.pop_back();
    };
    for (const auto& root : FRoot->SubKeys)
        write(write, *root.second);
    return out;
}

std::vector<std::string> TRegistryHive::UserPath(std::string_view Key) const {
    std::vector<std::string> path{std::string(CurrentUser)};
    std::size_t start = 0;
    while (start <= Key.size()) {
        auto end = Key.find('\\', start);
        if (end == std::string_view::npos) end = Key.size();
        if (end > start) path.push_back(CleanName(Key.substr(start, end - start)));
        start = end + 1;
    }
    if (path.size() > MaxRegKeyDepth + 1)
        throw ESettingsError("Registry key \"" + std::string(Key) + "\" is nested too deeply", FFileName);
    return path;
}

TRegistryHive::TNode* TRegistryHive::Find(const std::vector<std::string>& Path) const {
    TNode* node = FRoot.get();
    for (const auto& part : Path) {
        node = node->Child(part);
        if (!node) return nullptr;
    }
    return node;
}

TRegistryHive::TNode* TRegistryHive::Create(const std::vector<std::string>& Path) {
    TNode* node = FRoot.get();
    for (const auto& part : Path) {
        TNode* next = node->Child(part);
        if (!next) {
            next = node->AddChild(part);
            FModified = true;
        }
        node = next;
    }
    return node;
}

bool TRegistryHive::Remove(const std::vector<std::string>& Path) {
    if (Path.empty()) return false;
    TNode* parent = FRoot.get();
    for (std::size_t i = 0; i + 1 < Path.size(); ++i) {
        parent = parent->Child(Path[i]);
        if (!parent) return false;
    }
    if (!parent->RemoveChild(Path.back())) return false;
    FModified = true;
    return true;
}

bool TRegistryHive::KeyExists(std::string_view Key) const {
    return Find(UserPath(Key)) != nullptr;
}

void TRegistryHive::CreateKey(std::string_view Key) {
    Create(UserPath(Key));
}

bool TRegistryHive::DeleteKey(std::string_view Key) {
    const auto path = UserPath(Key);
    return path.size() > 1 && Remove(path);
}

std::vector<std::string> TRegistryHive::GetKeyNames(std::string_view Key) const {
    std::vector<std::string> names;
    if (const TNode* node = Find(UserPath(Key)))
        for (const auto& sub : node->SubKeys)
            names.push_back(sub.second->Name);
    return names;
}

std::vector<std::string> TRegistryHive::GetValueNames(std::string_view Key) const {
    std::vector<std::string> names;
    if (const TNode* node = Find(UserPath(Key)))
        for (const auto& v : node->Values)
            names.push_back(v.first);
    return names;
}

bool TRegistryHive::ValueExists(std::string_view Key, std::string_view Name) const {
    return ReadValue(Key, Name).has_value();
}

std::optional<TRegData> TRegistryHive::ReadValue(std::string_view Key, std::string_view Name) const {
    const TNode* node = Find(UserPath(Key));
    const TRegData* data = node ? node->Value(Name) : nullptr;
    return data ? std::optional<TRegData>(*data) : std::nullopt;
}

std::string TRegistryHive::ReadString(std::string_view Key, std::string_view Name) const {
    const auto data = ReadValue(Key, Name);
    if (!data) return {};
    if (!data->IsText())
        throw ESettingsError("Invalid data type for \"" + std::string(Name) + "\" in registry key \"" +
                                 JoinPath(UserPath(Key)) + "\" of \"" + FFileName + "\": text expected",
                             FFileName);
    return data->Text();
}

void TRegistryHive::WriteString(std::string_view Key, std::string_view Name, std::string_view Value) {
    WriteValue(Key, Name, TRegData::FromText(Value));
}

void TRegistryHive::WriteValue(std::string_view Key, std::string_view Name, TRegData Data) {
    TRegOp op;
    op.Kind = TRegOpKind::SetValue;
    op.Key = UserPath(Key);
    op.Name = CleanName(Name);
    op.Data = std::move(Data);
    Apply(op);
}

bool TRegistryHive::DeleteValue(std::string_view Key, std::string_view Name) {
    TRegOp op;
    op.Kind = TRegOpKind::DeleteValue;
    op.Key = UserPath(Key);
    op.Name = CleanName(Name);
    const bool existed = ValueExists(Key, op.Name);
    Apply(op);
    return existed;
}
