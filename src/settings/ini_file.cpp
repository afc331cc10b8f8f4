#include "settings/ini_file.h"

#include "settings/name_compare.h"
#include "settings/settings_file_io.h"
#include "settings/text_encoding.h"

#include <algorithm>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()) return v.substr(1, v.size() - 2);
    return v;
}

// CR and LF would end the line early and let the rest pass for another key.
std::string OneLine(std::string_view s) {
    std::string out(s);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

std::string ValueText(const std::string& v) {
    const bool quote = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) ||
                                      (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()));
    return quote ? '"' + v + '"' : v;
}

} // namespace

void TIniFile::Load() {
    const auto bytes = ReadSettingsFile(FFileName);
    LoadFromBytes(bytes ? *bytes : std::string());
}

void TIniFile::Save() const {
    WriteSettingsFileAtomic(FFileName, SaveToText());
}

void TIniFile::LoadFromBytes(std::string_view Bytes) {
    Clear();
    const std::string text = DecodeText(Bytes).Text;
    TSection* current = nullptr;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = Trim(std::string_view(text).substr(start, end - start));
        start = end + ((end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ? 2 : 1);

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            const std::string_view name =
                close == std::string_view::npos ? std::string_view() : Trim(line.substr(1, close - 1));
            current = nullptr;
            if (name.empty()) continue;
            current = &AddSection(name);
            continue;
        }
        if (!current) continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view name = Trim(line.substr(0, eq));
        if (name.empty()) continue;
        // The first of equal keys counts.
        const auto [slot, added] = current->KeyIndex.try_emplace(UpperText(name), current->Keys.size());
        if (added)
            current->Keys.emplace_back(std::string(name), std::string(Unquote(Trim(line.substr(eq + 1)))));
    }
}

std::string TIniFile::SaveToText() const {
    std::string out;
    for (const TSection& section : FSections) {
        if (!out.empty()) out += "\r\n";
        out += '[' + section.Name + "]\r\n";
        for (const auto& [name, value] : section.Keys)
            out += name + '=' + ValueText(value) + "\r\n";
    }
    return out;
}

TIniFile::TSection* TIniFile::FindSection(std::string_view Section) {
    const auto it = FSectionIndex.find(UpperText(Section));
    return it == FSectionIndex.end() ? nullptr : &FSections[it->second];
}

TIniFile::TSection& TIniFile::AddSection(std::string_view Section) {
    const auto [it, added] = FSectionIndex.try_emplace(UpperText(Section), FSections.size());
    if (added) FSections.push_back(TSection{std::string(Section), {}, {}});
    return FSections[it->second];
}

void TIniFile::Clear() {
    FSections.clear();
    FSectionIndex.clear();
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view Section) const {
    return const_cast<TIniFile*>(this)->FindSection(Section);
}

std::vector<std::string> TIniFile::ReadSections() const {
    std::vector<std::string> names;
    for (const TSection& s : FSections)
        names.push_back(s.Name);
    return names;
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(std::string_view Section) const {
    const TSection* s = FindSection(Section);
    return s ? s->Keys : std::vector<std::pair<std::string, std::string>>{};
}

bool TIniFile::SectionExists(std::string_view Section) const {
    return FindSection(Section) != nullptr;
}

std::optional<std::string> TIniFile::ReadValue(std::string_view Section, std::string_view Name) const {
    if (const TSection* s = FindSection(Section)) {
        const auto it = s->KeyIndex.find(UpperText(Name));
        if (it != s->KeyIndex.end()) return s->Keys[it->second].second;
    }
    return std::nullopt;
}

std::string TIniFile::ReadString(std::string_view Section, std::string_view Name,
                                 std::string_view Default) const {
    auto value = ReadValue(Section, Name);
    return value ? *value : std::string(Default);
}

void TIniFile::WriteString(std::string_view Section, std::string_view Name, std::string_view Value) {
    TSection& s = AddSection(OneLine(Section));
    const std::string name = OneLine(Name);
    const auto [it, added] = s.KeyIndex.try_emplace(UpperText(name), s.Keys.size());
    if (added)
        s.Keys.emplace_back(name, OneLine(Value));
    else
        s.Keys[it->second].second = OneLine(Value);
}

void TIniFile::EraseSection(std::string_view Section) {
    const auto it = FSectionIndex.find(UpperText(Section));
    if (it == FSectionIndex.end()) return;
    FSections.erase(FSections.begin() + static_cast<std::ptrdiff_t>(it->second));
    FSectionIndex.clear();
    for (std::size_t i = 0; i < FSections.size(); ++i)
        FSectionIndex.emplace(UpperText(FSections[i].Name), i);
}
