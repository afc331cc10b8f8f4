#include "settings/reg_file.h"

#include "settings/name_compare.h"

#include <array>
#include <optional>

namespace {

constexpr char HexDigits[] = "0123456789abcdef";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Up to MaxDigits hexadecimal digits, the whole of s.
std::optional<std::uint32_t> ParseHexNumber(std::string_view s, std::size_t MaxDigits) {
    if (s.empty() || s.size() > MaxDigits) return std::nullopt;
    std::uint32_t v = 0;
    for (const char c : s) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}

// Walks the lines of a text, split at CR LF, LF or a lone CR, without
// copying them.
class TLineReader {
  public:
    explicit TLineReader(std::string_view Text) : FText(Text) {}
    bool AtEnd() const { return FPos >= FText.size(); }
    // The next line without moving on; empty at the end.
    std::string_view Peek() const {
        std::size_t next = FPos;
        return Scan(next);
    }
    std::string_view Next() { return Scan(FPos); }

  private:
    std::string_view Scan(std::size_t& pos) const {
        if (pos >= FText.size()) return {};
        std::size_t end = FText.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = FText.size();
        const std::string_view line = FText.substr(pos, end - pos);
        pos = end;
        if (pos < FText.size())
            pos += (FText[pos] == '\r' && pos + 1 < FText.size() && FText[pos + 1] == '\n') ? 2 : 1;
        return line;
    }

    std::string_view FText;
    std::size_t FPos = 0;
};

// A quoted string starting at s[0] == '"', with \\ and \" escapes; any other
// backslash stands for itself. Returns the text and sets rest to what follows
// the closing quote; nothing when the quote is not closed.
std::optional<std::string> ParseQuoted(std::string_view s, std::string_view& rest) {
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            rest = s.substr(i + 1);
            return out;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
            continue;
        }
        out += c;
    }
    return std::nullopt;
}

// Comma-separated two-digit hex bytes; a trailing comma is allowed.
std::optional<std::string> ParseHexBytes(std::string_view s) {
    std::string out;
    s = Trim(s);
    if (s.empty()) return out;
    while (true) {
        const auto comma = s.find(',');
        const std::string_view token = Trim(s.substr(0, comma));
        const auto value = ParseHexNumber(token, 2);
        if (!value) return std::nullopt;
        out += static_cast<char>(*value);
        if (comma == std::string_view::npos) return out;
        s = s.substr(comma + 1);
        if (Trim(s).empty()) return out;
    }
}

// The data part of a value line (after "="): a quoted text, dword:, hex:,
// hex(n):, or "-" for a deletion (Deleted set).
std::optional<TRegData> ParseData(std::string_view s, bool Regedit4, bool& Deleted) {
    Deleted = false;
    s = Trim(s);
    if (s == "-") {
        Deleted = true;
        return TRegData{};
    }
    if (!s.empty() && s.front() == '"') {
        std::string_view rest;
        auto text = ParseQuoted(s, rest);
        if (!text || !Trim(rest).empty()) return std::nullopt;
        return TRegData::FromText(*text);
    }
    const auto colon = s.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view kind = s.substr(0, colon);
    const std::string_view body = s.substr(colon + 1);
    if (SameText(kind, "dword")) {
        const auto value = ParseHexNumber(Trim(body), 8);
        if (!value) return std::nullopt;
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>((*value >> (8 * i)) & 0xFF);
        return TRegData{rt_dword, bytes};
    }
    std::uint32_t type = rt_binary;
    if (SameText(kind.substr(0, 4), "hex(") && kind.size() > 5 && kind.back() == ')') {
        const auto number = ParseHexNumber(kind.substr(4, kind.size() - 5), 8);
        if (!number) return std::nullopt;
        type = *number;
    } else if (!SameText(kind, "hex")) {
        return std::nullopt;
    }
    auto bytes = ParseHexBytes(body);
    if (!bytes) return std::nullopt;
    // The ANSI form stores texts as single bytes; keep them as UTF-16LE like
    // every other text in the registry.
    if (Regedit4 && (type == rt_sz || type == rt_expand_sz || type == rt_multi_sz))
        bytes = Utf8ToUtf16Le(Cp1252ToUtf8(*bytes));
    return TRegData{type, std::move(*bytes)};
}

constexpr std::array<std::pair<std::string_view, std::string_view>, 6> RootNames{{
    {"HKCU", "HKEY_CURRENT_USER"},
    {"HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKCR", "HKEY_CLASSES_ROOT"},
    {"HKU", "HKEY_USERS"},
    {"HKCC", "HKEY_CURRENT_CONFIG"},
    {"HKDD", "HKEY_DYN_DATA"},
}};

void AppendEscaped(std::string& out, std::string_view s) {
    out += '"';
    for (const char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

// A text value that a quoted string in the file gives back unchanged.
bool QuotableText(const TRegData& Data, std::string& text) {
    const std::string& b = Data.Bytes;
    if (Data.Type != rt_sz || b.size() < 2 || b.size() % 2 != 0) return false;
    if (b[b.size() - 1] != '\0' || b[b.size() - 2] != '\0') return false;
    const std::string_view units(b.data(), b.size() - 2);
    text = Utf16ToUtf8(units);
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) return false;
    return Utf8ToUtf16Le(text) == units;
}

} // namespace

TRegData TRegData::FromText(std::string_view Utf8Text, std::uint32_t Type) {
    std::string bytes = Utf8ToUtf16Le(Utf8Text);
    bytes.append(2, '\0');
    return TRegData{Type, std::move(bytes)};
}

std::string TRegData::Text() const {
    std::size_t end = 0;
    while (end + 1 < Bytes.size() && (Bytes[end] != '\0' || Bytes[end + 1] != '\0'))
        end += 2;
    return Utf16ToUtf8(std::string_view(Bytes).substr(0, end));
}

std::string RegRootName(std::string_view Name) {
    for (const auto& [shortName, longName] : RootNames)
        if (SameText(Name, shortName) || SameText(Name, longName)) return std::string(longName);
    return {};
}

std::vector<std::string> SplitRegKeyPath(std::string_view Path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= Path.size()) {
        auto end = Path.find('\\', start);
        if (end == std::string_view::npos) end = Path.size();
        if (end > start) parts.emplace_back(Path.substr(start, end - start));
        start = end + 1;
    }
    if (!parts.empty()) {
        const std::string root = RegRootName(parts.front());
        if (!root.empty()) parts.front() = root;
    }
    return parts;
}

TRegScript ParseRegScript(std::string_view Bytes, const TRegOpSink& Sink, bool RequireHeader) {
    TRegScript script;
    TDecodedText decoded = DecodeText(Bytes);
    script.Encoding = decoded.Encoding;

    TLineReader header(decoded.Text);
    std::string_view first;
    while (!header.AtEnd() && (first = Trim(header.Next())).empty()) {
    }
    if (SameText(first, RegHeader5)) {
        script.HasHeader = true;
    } else if (SameText(first, RegHeader4)) {
        script.HasHeader = script.Regedit4 = true;
        // Without a byte order mark, the old form is in the ANSI code page.
        if (decoded.Encoding == TTextEncoding::Utf8) {
            decoded.Text = Cp1252ToUtf8(Bytes);
            script.Encoding = TTextEncoding::Ansi;
        }
    }
    if (RequireHeader && !script.HasHeader) return script;

    TLineReader lines(decoded.Text);
    if (script.HasHeader)
        while (Trim(lines.Next()).empty() && !lines.AtEnd()) {
        }

    // One instruction object, its key set once per section line.
    TRegOp op;
    bool inKey = false; // values apply: a key section is open
    while (!lines.AtEnd()) {
        const std::string_view line = Trim(lines.Next());
        if (line.empty() || line.front() == ';') continue;

        if (line.front() == '[') {
            inKey = false;
            if (line.back() != ']' || line.size() < 3) {
                ++script.SkippedLines;
                continue;
            }
            std::string_view path = line.substr(1, line.size() - 2);
            const bool deletion = !path.empty() && path.front() == '-';
            if (deletion) path.remove_prefix(1);
            std::vector<std::string> parts = SplitRegKeyPath(path);
            if (parts.empty() || RegRootName(parts.front()).empty() || parts.size() > MaxRegKeyDepth + 1) {
                ++script.SkippedLines;
                continue;
            }
            op.Kind = deletion ? TRegOpKind::DeleteKey : TRegOpKind::CreateKey;
            op.Key = std::move(parts);
            op.Name.clear();
            op.Data = {};
            ++op.Section;
            Sink(op);
            inKey = !deletion;
            continue;
        }

        if (line.front() != '"' && line.front() != '@') {
            ++script.SkippedLines;
            continue;
        }
        // Value name.
        std::string name;
        std::string_view rest;
        if (line.front() == '@') {
            rest = line.substr(1);
        } else {
            auto quoted = ParseQuoted(line, rest);
            if (!quoted) {
                ++script.SkippedLines;
                continue;
            }
            name = std::move(*quoted);
        }
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=') {
            ++script.SkippedLines;
            continue;
        }
        std::string data(TrimLeft(rest.substr(1)));
        // Hex data continue over the following lines while a line ends in a
        // backslash.
        if (data.size() >= 3 && SameText(std::string_view(data).substr(0, 3), "hex")) {
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                if (lines.AtEnd()) break;
                // A truncated value does not swallow the next key or value.
                const std::string_view next = Trim(lines.Peek());
                if (!next.empty() && (next.front() == '[' || next.front() == '"' || next.front() == '@'))
                    break;
                data += next;
                lines.Next();
            }
        }
        if (!inKey) continue; // no section, or one that was skipped or deleted
        bool deleted = false;
        auto value = ParseData(data, script.Regedit4, deleted);
        if (!value) {
            ++script.SkippedLines;
            continue;
        }
        op.Kind = deleted ? TRegOpKind::DeleteValue : TRegOpKind::SetValue;
        op.Name = std::move(name);
        op.Data = std::move(*value);
        Sink(op);
    }
    return script;
}

TRegScript ParseRegScript(std::string_view Bytes) {
    std::vector<TRegOp> ops;
    TRegScript script = ParseRegScript(
        Bytes, [&ops](const TRegOp& op) { ops.push_back(op); }, false);
    script.Ops = std::move(ops);
    return script;
}

std::string FormatRegKeyLine(const std::vector<std::string>& Key) {
    std::string line = "[";
    for (std::size_t i = 0; i < Key.size(); ++i) {
        if (i) line += '\\';
        line += Key[i];
    }
    return line + "]\r\n";
}

std::string FormatRegValueLine(std::string_view Name, const TRegData& Data) {
    std::string line;
    if (Name.empty())
        line = "@";
    else
        AppendEscaped(line, Name);
    line += '=';

    std::string text;
    if (QuotableText(Data, text)) {
        AppendEscaped(line, text);
        return line + "\r\n";
    }
    if (Data.Type == rt_dword && Data.Bytes.size() == 4) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(Data.Bytes[i]);
        line += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4)
            line += HexDigits[(v >> shift) & 0xF];
        return line + "\r\n";
    }
    if (Data.Type == rt_binary) {
        line += "hex:";
    } else {
        std::string number;
        std::uint32_t t = Data.Type;
        do {
            number.insert(number.begin(), HexDigits[t & 0xF]);
            t >>= 4;
        } while (t);
        line += "hex(" + number + "):";
    }
    // Regedit's layout: lines of at most 80 columns, continued with a
    // backslash and indented by two blanks.
    std::size_t column = line.size();
    std::string out = std::move(line);
    for (std::size_t i = 0; i < Data.Bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(Data.Bytes[i]);
        out += HexDigits[b >> 4];
        out += HexDigits[b & 0xF];
        column += 2;
        if (i + 1 < Data.Bytes.size()) {
            out += ',';
            ++column;
            if (column > 76) {
                out += "\\\r\n  ";
                column = 2;
            }
        }
    }
    return out + "\r\n";
}
