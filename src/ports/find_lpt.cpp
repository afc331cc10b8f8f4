#include "ports/find_lpt.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <optional>
#include <string_view>

namespace {

// The whole file when it holds at most Max bytes; nullopt when it is missing,
// unreadable or longer.
std::optional<std::string> ReadSmallFile(const std::string& Path, std::size_t Max) {
    std::ifstream in(Path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string data(Max + 1, '\0');
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > Max || in.bad()) return std::nullopt;
    data.resize(got);
    return data;
}

void SkipSpace(std::string_view& s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
}

// A decimal number at the start of s (after white space), moved past.
std::optional<long> TakeNumber(std::string_view& s) {
    SkipSpace(s);
    long value = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc()) return std::nullopt;
    s.remove_prefix(static_cast<std::size_t>(ptr - s.data()));
    return value;
}

// A file holding one number and nothing else but white space.
std::optional<long> ReadNumber(const std::string& Path) {
    const auto text = ReadSmallFile(Path, TFindLpt::kMaxValue);
    if (!text) return std::nullopt;
    std::string_view s(*text);
    const auto value = TakeNumber(s);
    SkipSpace(s);
    if (!value || !s.empty()) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> TakeHex(std::string_view& s) {
    std::uint32_t value = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 16);
    if (ec != std::errc() || ptr == s.data()) return std::nullopt;
    s.remove_prefix(static_cast<std::size_t>(ptr - s.data()));
    return value;
}

} // namespace

TFindLpt::TFindLpt(std::string RootFolder) : fRoot(std::move(RootFolder)) {}

std::uint16_t TFindLpt::GetPortBase(int i) const {
    return i >= 1 && i <= fPortCounter ? fPortBase[i] : 0xFFFF;
}

std::uint16_t TFindLpt::PortEnd(int i) const {
    return i >= 1 && i <= fPortCounter ? fPortEnd[i] : 0xFFFF;
}

void TFindLpt::AddRange(std::uint32_t Base, std::uint32_t End) {
    if (fPortCounter >= 2) return; // two ranges are kept
    ++fPortCounter;
    fPortBase[fPortCounter] = static_cast<std::uint16_t>(Base);
    fPortEnd[fPortCounter] = static_cast<std::uint16_t>(End > 0xFFFF ? 0xFFFF : End);
}

bool TFindLpt::SearchLpt(std::uint8_t n) {
    fDevices = 0;
    fIRQCounter = 0;
    fDMACounter = 0;
    fPortCounter = 0;
    fClassN = "LPT" + std::to_string(n);
    if (fRoot.empty() || n == 0) return false;
    const std::string name = "parport" + std::to_string(n - 1);
    return SearchParport(name) || SearchIoports(name);
}

bool TFindLpt::SearchParport(const std::string& Name) {
    const std::string folder = fRoot + "/proc/sys/dev/parport/" + Name + "/";
    const auto text = ReadSmallFile(folder + "base-addr", kMaxValue);
    if (!text) return false;
    std::string_view s(*text);
    const auto base = TakeNumber(s);
    const auto high = TakeNumber(s);
    SkipSpace(s);
    if (!base || *base <= 0 || *base > 0xFFFF || !s.empty() || (high && (*high < 0 || *high > 0xFFFF)))
        return false;
    fDevices = 1;
    // The three-register port at 0x3BC has no EPP registers.
    AddRange(static_cast<std::uint32_t>(*base), static_cast<std::uint32_t>(*base) + (*base == 0x3BC ? 2 : 7));
    if (high && *high > 0) AddRange(static_cast<std::uint32_t>(*high), static_cast<std::uint32_t>(*high) + 2);
    if (const auto irq = ReadNumber(folder + "irq"); irq && *irq >= 0 && *irq <= 255) {
        fIRQCounter = 1;
        fIRQNumber = static_cast<std::uint8_t>(*irq);
    }
    if (const auto dma = ReadNumber(folder + "dma"); dma && *dma >= 0 && *dma <= 255) {
        fDMACounter = 1;
        fDMAChannel = static_cast<std::uint8_t>(*dma);
    }
    return true;
}

bool TFindLpt::SearchIoports(const std::string& Name) {
    const auto text = [&]() -> std::optional<std::string> {
        std::ifstream in(fRoot + "/proc/ioports", std::ios::binary);
        if (!in) return std::nullopt;
        std::string data(kMaxIoports, '\0');
        in.read(data.data(), static_cast<std::streamsize>(data.size()));
        data.resize(static_cast<std::size_t>(in.gcount()));
        return data;
    }();
    if (!text) return false;
    std::string_view rest(*text);
    while (!rest.empty()) {
        const std::size_t eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
        if (eol == std::string_view::npos && text->size() == kMaxIoports)
            break; // a line cut off by the read limit
        // "  0378-037a : parport0"
        SkipSpace(line);
        const auto first = TakeHex(line);
        if (!first || line.empty() || line.front() != '-') continue;
        line.remove_prefix(1);
        const auto last = TakeHex(line);
        const std::size_t colon = line.find(':');
        if (!last || colon == std::string_view::npos) continue;
        std::string_view owner = line.substr(colon + 1);
        SkipSpace(owner);
        while (!owner.empty() && std::isspace(static_cast<unsigned char>(owner.back())))
            owner.remove_suffix(1);
        if (owner != Name) continue;
        // Addresses are shown as 0 to readers without the rights to see them.
        if (*first == 0 || *first > 0xFFFF || *last < *first) continue;
        AddRange(*first, *last);
    }
    if (fPortCounter == 0) return false;
    fDevices = 1;
    return true;
}
