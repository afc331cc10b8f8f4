#include "catalogue/spi_flash_database.h"

#include "catalogue/device_list.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <unistd.h>

#ifndef NORVOISP_PARTS_FROM_BIN
#define NORVOISP_PARTS_FROM_BIN "../share/norvoisp/parts"
#endif
#ifndef NORVOISP_SOURCE_PARTS
#define NORVOISP_SOURCE_PARTS ""
#endif

using json = nlohmann::json;

namespace {

constexpr std::uint32_t kMiB = 1024 * 1024;
// The largest part the buffer and the catalogue's sizes take (2 Gbit).
constexpr std::uint32_t kMaxSize = 256 * kMiB;

std::string Hex2(std::uint8_t b) {
    static const char d[] = "0123456789ABCDEF";
    return {d[b >> 4], d[b & 15]};
}

// The checks of one entry: each failure names the entry and the field.
class TEntry {
  public:
    TEntry(const std::string& File, int Index, const json& Value)
        : FFile(File), FIndex(Index), FValue(Value) {
        if (Value.is_object() && Value.contains("name") && Value["name"].is_string())
            FName = Value["name"].get<std::string>();
    }

    [[noreturn]] void Fail(const std::string& Field, const std::string& Problem) const {
        throw ESpiFlashDatabaseError(FFile, FIndex, FName, Field, Problem);
    }

    const json& Root() const { return FValue; }

    // The member Key of Object (at path Path); fails when it is missing.
    const json& Member(const json& Object, const std::string& Path, const char* Key) const {
        const auto it = Object.find(Key);
        if (it == Object.end()) Fail(Join(Path, Key), "missing");
        return *it;
    }
    const json* Optional(const json& Object, const char* Key) const {
        const auto it = Object.find(Key);
        return it == Object.end() || it->is_null() ? nullptr : &*it;
    }
    void OnlyKeys(const json& Object, const std::string& Path,
                  std::initializer_list<const char*> Keys) const {
        if (!Object.is_object()) Fail(Path, "must be an object");
        for (const auto& item : Object.items()) {
            const std::string& key = item.key();
            if (std::none_of(Keys.begin(), Keys.end(), [&](const char* k) { return key == k; }))
                Fail(Join(Path, key.c_str()), "unknown field");
        }
    }

    std::string String(const json& Object, const std::string& Path, const char* Key) const {
        const json& v = Member(Object, Path, Key);
        if (!v.is_string() || v.get<std::string>().empty())
            Fail(Join(Path, Key), "must be a non-empty string");
        return v.get<std::string>();
    }
    bool Bool(const json& Object, const std::string& Path, const char* Key) const {
        const json& v = Member(Object, Path, Key);
        if (!v.is_boolean()) Fail(Join(Path, Key), "must be true or false");
        return v.get<bool>();
    }
    // A whole number from Lo to Hi.
    std::uint64_t Number(const json& v, const std::string& Field, std::uint64_t Lo, std::uint64_t Hi) const {
        if (!v.is_number_unsigned() && !(v.is_number_integer() && v.get<std::int64_t>() >= 0))
            Fail(Field, "must be a whole number from " + std::to_string(Lo) + " to " + std::to_string(Hi));
        const auto n = v.get<std::uint64_t>();
        if (n < Lo || n > Hi)
            Fail(Field,
                 std::to_string(n) + " is outside " + std::to_string(Lo) + " to " + std::to_string(Hi));
        return n;
    }
    std::uint64_t Number(const json& Object, const std::string& Path, const char* Key, std::uint64_t Lo,
                         std::uint64_t Hi) const {
        return Number(Member(Object, Path, Key), Join(Path, Key), Lo, Hi);
    }
    double Real(const json& Object, const std::string& Path, const char* Key) const {
        const json& v = Member(Object, Path, Key);
        if (!v.is_number() || !std::isfinite(v.get<double>())) Fail(Join(Path, Key), "must be a number");
        return v.get<double>();
    }
    // Hexadecimal digits, exactly Bytes bytes of them ("EF4018", "20").
    std::vector<std::uint8_t> HexBytes(const json& v, const std::string& Field, std::size_t Bytes) const {
        const std::string what = std::to_string(Bytes * 2) + " hexadecimal digits";
        if (!v.is_string()) Fail(Field, "must be a string of " + what);
        const std::string s = v.get<std::string>();
        if (s.size() != Bytes * 2) Fail(Field, "\"" + s + "\" is not " + what);
        std::vector<std::uint8_t> out;
        for (std::size_t i = 0; i < s.size(); i += 2) {
            const auto digit = [&](char c) -> int {
                if (c >= '0' && c <= '9') return c - '0';
                if (c >= 'A' && c <= 'F') return c - 'A' + 10;
                if (c >= 'a' && c <= 'f') return c - 'a' + 10;
                Fail(Field, "\"" + s + "\" is not " + what);
            };
            out.push_back(static_cast<std::uint8_t>(digit(s[i]) * 16 + digit(s[i + 1])));
        }
        return out;
    }
    std::uint8_t Opcode(const json& Object, const std::string& Path, const char* Key) const {
        return HexBytes(Member(Object, Path, Key), Join(Path, Key), 1)[0];
    }
    std::uint8_t OpcodeOr(const json& Object, const std::string& Path, const char* Key,
                          std::uint8_t Default) const {
        const json* v = Optional(Object, Key);
        return v ? HexBytes(*v, Join(Path, Key), 1)[0] : Default;
    }

    static std::string Join(const std::string& Path, const char* Key) {
        return Path.empty() ? std::string(Key) : Path + "." + Key;
    }

  private:
    const std::string& FFile;
    int FIndex;
    const json& FValue;
    std::string FName;
};

bool PowerOfTwo(std::uint64_t n) {
    return n != 0 && std::has_single_bit(n);
}

void ReadTimes(const TEntry& e, const json& Object, const std::string& Path, const char* TypicalKey,
               const char* MaxKey, std::uint32_t& Typical, std::uint32_t& Max) {
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
    Typical = static_cast<std::uint32_t>(e.Number(Object, Path, TypicalKey, 1, kLimit));
    Max = static_cast<std::uint32_t>(e.Number(Object, Path, MaxKey, 1, kLimit));
    if (Max < Typical)
        e.Fail(TEntry::Join(Path, MaxKey),
               std::to_string(Max) + " is below the typical time " + std::to_string(Typical));
}

TSpiFlashPart ReadPart(const TEntry& e) {
    const json& v = e.Root();
    if (!v.is_object()) e.Fail("", "must be an object");
    e.OnlyKeys(v, "",
               {"name", "aliases", "maker", "jedec_id", "res_id", "rems_id", "size", "page_size", "erase",
                "chip_erase", "page_program", "read", "addressing", "status", "protection", "voltage",
                "tested_on_hardware", "notes"});
    TSpiFlashPart p;
    p.Name = e.String(v, "", "name");
    if (const json* a = e.Optional(v, "aliases")) {
        if (!a->is_array()) e.Fail("aliases", "must be a list of names");
        for (std::size_t i = 0; i < a->size(); ++i) {
            const json& n = (*a)[i];
            if (!n.is_string() || n.get<std::string>().empty())
                e.Fail("aliases[" + std::to_string(i) + "]", "must be a non-empty string");
            p.Aliases.push_back(n.get<std::string>());
        }
    }
    p.Maker = e.String(v, "", "maker");
    if (const json* id = e.Optional(v, "jedec_id")) {
        const auto b = e.HexBytes(*id, "jedec_id", 3);
        p.JedecId = std::array<std::uint8_t, 3>{b[0], b[1], b[2]};
    }
    if (const json* id = e.Optional(v, "res_id")) p.ResId = e.HexBytes(*id, "res_id", 1)[0];
    if (const json* id = e.Optional(v, "rems_id")) {
        const auto b = e.HexBytes(*id, "rems_id", 2);
        p.RemsId = std::array<std::uint8_t, 2>{b[0], b[1]};
    }
    if (!p.JedecId && !p.ResId && !p.RemsId)
        e.Fail("jedec_id", "missing (and neither res_id nor rems_id given)");

    p.Size = static_cast<std::uint32_t>(e.Number(v, "", "size", 4096, kMaxSize));
    if (!PowerOfTwo(p.Size)) e.Fail("size", std::to_string(p.Size) + " is not a power of two");
    p.PageSize = static_cast<std::uint32_t>(e.Number(v, "", "page_size", 1, 4096));
    if (!PowerOfTwo(p.PageSize) || p.PageSize > p.Size)
        e.Fail("page_size", std::to_string(p.PageSize) + " is not a power of two up to the size");

    // Addressing first: whether the erase types need their 4-byte opcodes.
    const json& ad = e.Member(v, "", "addressing");
    e.OnlyKeys(ad, "addressing",
               {"bytes", "method", "read", "fast_read", "program", "enter", "exit", "write_enable_first"});
    const auto bytes = e.Number(ad, "addressing", "bytes", 3, 4);
    if (bytes == 3) {
        if (p.Size > 16 * kMiB)
            e.Fail("addressing.bytes", "3-byte addresses reach 16 MiB, the part is larger");
        if (ad.size() != 1) e.Fail("addressing", "a 3-byte part takes no other addressing field");
    } else {
        if (p.Size <= 16 * kMiB) e.Fail("addressing.bytes", "4-byte addresses on a part of 16 MiB or less");
        const std::string method = e.String(ad, "addressing", "method");
        if (method == "opcodes") {
            p.Addressing = TSpiAddressing::FourByteOpcodes;
            p.Read4Opcode = e.Opcode(ad, "addressing", "read");
            p.FastRead4Opcode = e.Opcode(ad, "addressing", "fast_read");
            p.Program4Opcode = e.Opcode(ad, "addressing", "program");
            for (const char* k : {"enter", "exit", "write_enable_first"})
                if (ad.contains(k)) e.Fail(TEntry::Join("addressing", k), "only with method \"mode\"");
        } else if (method == "mode") {
            p.Addressing = TSpiAddressing::EnterExit;
            p.Enter4Opcode = e.Opcode(ad, "addressing", "enter");
            p.Exit4Opcode = e.Opcode(ad, "addressing", "exit");
            p.Enter4NeedsWriteEnable = e.Bool(ad, "addressing", "write_enable_first");
            for (const char* k : {"read", "fast_read", "program"})
                if (ad.contains(k)) e.Fail(TEntry::Join("addressing", k), "only with method \"opcodes\"");
        } else {
            e.Fail("addressing.method", "\"" + method + "\" is neither \"opcodes\" nor \"mode\"");
        }
    }

    const json& erase = e.Member(v, "", "erase");
    if (!erase.is_array() || erase.empty()) e.Fail("erase", "must be a non-empty list");
    for (std::size_t i = 0; i < erase.size(); ++i) {
        const std::string path = "erase[" + std::to_string(i) + "]";
        const json& t = erase[i];
        e.OnlyKeys(t, path, {"opcode", "opcode4", "size", "typical_ms", "max_ms"});
        TSpiFlashErase x;
        x.Opcode = e.Opcode(t, path, "opcode");
        x.Opcode4 = e.OpcodeOr(t, path, "opcode4", 0);
        if (p.Addressing == TSpiAddressing::FourByteOpcodes && !x.Opcode4)
            e.Fail(path + ".opcode4", "missing (the part takes 4-byte opcodes)");
        if (p.Addressing != TSpiAddressing::FourByteOpcodes && t.contains("opcode4"))
            e.Fail(path + ".opcode4", "only with 4-byte opcodes");
        x.Size = static_cast<std::uint32_t>(e.Number(t, path, "size", 1, p.Size));
        if (!PowerOfTwo(x.Size) || p.Size % x.Size != 0)
            e.Fail(path + ".size",
                   std::to_string(x.Size) + " does not divide the size " + std::to_string(p.Size));
        if (x.Size < p.PageSize) e.Fail(path + ".size", std::to_string(x.Size) + " is smaller than a page");
        if (!p.Erases.empty() && x.Size <= p.Erases.back().Size) e.Fail(path + ".size", "sizes must ascend");
        ReadTimes(e, t, path, "typical_ms", "max_ms", x.TypicalMs, x.MaxMs);
        p.Erases.push_back(x);
    }

    const json& chip = e.Member(v, "", "chip_erase");
    e.OnlyKeys(chip, "chip_erase", {"opcodes", "typical_ms", "max_ms"});
    const json& ops = e.Member(chip, "chip_erase", "opcodes");
    if (!ops.is_array() || ops.empty()) e.Fail("chip_erase.opcodes", "must be a non-empty list");
    for (std::size_t i = 0; i < ops.size(); ++i)
        p.ChipEraseOpcodes.push_back(
            e.HexBytes(ops[i], "chip_erase.opcodes[" + std::to_string(i) + "]", 1)[0]);
    ReadTimes(e, chip, "chip_erase", "typical_ms", "max_ms", p.ChipEraseTypicalMs, p.ChipEraseMaxMs);

    const json& pp = e.Member(v, "", "page_program");
    e.OnlyKeys(pp, "page_program", {"typical_us", "max_us"});
    ReadTimes(e, pp, "page_program", "typical_us", "max_us", p.PageProgramTypicalUs, p.PageProgramMaxUs);

    const json& rd = e.Member(v, "", "read");
    e.OnlyKeys(rd, "read", {"read", "fast_read", "read_max_mhz"});
    p.ReadOpcode = e.Opcode(rd, "read", "read");
    p.FastReadOpcode = e.Opcode(rd, "read", "fast_read");
    p.ReadMaxHz = static_cast<std::uint32_t>(e.Number(rd, "read", "read_max_mhz", 1, 1000) * 1'000'000);

    const json& st = e.Member(v, "", "status");
    e.OnlyKeys(st, "status", {"registers", "bits"});
    const json& regs = e.Member(st, "status", "registers");
    if (!regs.is_array() || regs.empty() || regs.size() > 3)
        e.Fail("status.registers", "must list one to three registers");
    for (std::size_t i = 0; i < regs.size(); ++i) {
        const std::string path = "status.registers[" + std::to_string(i) + "]";
        e.OnlyKeys(regs[i], path, {"read", "write"});
        p.StatusRegisters.push_back({e.Opcode(regs[i], path, "read"), e.Opcode(regs[i], path, "write")});
    }
    const json& bits = e.Member(st, "status", "bits");
    e.OnlyKeys(bits, "status.bits", {"bp", "tb", "sec", "cmp", "srp", "srp1", "qe"});
    const int maxBit = static_cast<int>(8 * regs.size()) - 1;
    std::set<int> used{0, 1}; // WIP and WEL
    const auto bit = [&](const json& b, const std::string& field) {
        const int n = static_cast<int>(e.Number(b, field, 2, static_cast<std::uint64_t>(maxBit)));
        if (!used.insert(n).second)
            e.Fail(field, "bit " + std::to_string(n) + " is used twice (or is WIP/WEL)");
        return n;
    };
    if (const json* bp = e.Optional(bits, "bp")) {
        if (!bp->is_array()) e.Fail("status.bits.bp", "must be a list of bit numbers");
        for (std::size_t i = 0; i < bp->size(); ++i)
            p.Bits.BP.push_back(bit((*bp)[i], "status.bits.bp[" + std::to_string(i) + "]"));
    }
    const std::pair<const char*, int*> single[] = {{"tb", &p.Bits.TB},     {"sec", &p.Bits.SEC},
                                                   {"cmp", &p.Bits.CMP},   {"srp", &p.Bits.SRP},
                                                   {"srp1", &p.Bits.SRP1}, {"qe", &p.Bits.QE}};
    for (const auto& [key, into] : single)
        if (const json* b = e.Optional(bits, key)) *into = bit(*b, std::string("status.bits.") + key);

    const json& pr = e.Member(v, "", "protection");
    const std::string scheme = e.String(pr, "protection", "scheme");
    if (scheme == "bp") {
        e.OnlyKeys(pr, "protection", {"scheme", "bp_unit"});
        if (p.Bits.BP.empty()) e.Fail("status.bits.bp", "missing (the \"bp\" scheme needs BP bits)");
        p.BpUnit = static_cast<std::uint32_t>(e.Number(pr, "protection", "bp_unit", 1, p.Size));
        if (!PowerOfTwo(p.BpUnit) || p.Size % p.BpUnit != 0)
            e.Fail("protection.bp_unit", std::to_string(p.BpUnit) + " does not divide the size");
    } else if (scheme == "sst26") {
        e.OnlyKeys(pr, "protection", {"scheme"});
        p.Protection = TSpiProtection::Sst26;
        if (!p.Bits.BP.empty()) e.Fail("status.bits.bp", "the \"sst26\" scheme has no BP bits");
        if (p.Size < 128 * 1024) e.Fail("protection.scheme", "an \"sst26\" part holds at least 128 KiB");
    } else {
        e.Fail("protection.scheme", "\"" + scheme + "\" is neither \"bp\" nor \"sst26\"");
    }

    const json& vo = e.Member(v, "", "voltage");
    e.OnlyKeys(vo, "voltage", {"min", "max"});
    p.VoltageMin = e.Real(vo, "voltage", "min");
    p.VoltageMax = e.Real(vo, "voltage", "max");
    if (p.VoltageMin < 1.0 || p.VoltageMax > 5.5 || p.VoltageMin >= p.VoltageMax)
        e.Fail("voltage", "must be a range within 1.0 to 5.5 V");

    p.TestedOnHardware = e.Bool(v, "", "tested_on_hardware");
    if (const json* n = e.Optional(v, "notes"); n && !n->is_string()) e.Fail("notes", "must be a string");
    return p;
}

std::vector<std::string> NamesOf(const TSpiFlashPart& p) {
    std::vector<std::string> names{AsciiUpper(p.Name)};
    for (const auto& a : p.Aliases)
        names.push_back(AsciiUpper(a));
    return names;
}

bool SameIdentity(const TSpiFlashPart& a, const TSpiFlashPart& b) {
    if (a.JedecId && b.JedecId) return *a.JedecId == *b.JedecId;
    if (a.JedecId || b.JedecId) return false;
    return (a.ResId && b.ResId && *a.ResId == *b.ResId) || (a.RemsId && b.RemsId && *a.RemsId == *b.RemsId);
}

bool SharesName(const TSpiFlashPart& a, const TSpiFlashPart& b) {
    const auto na = NamesOf(a), nb = NamesOf(b);
    return std::any_of(na.begin(), na.end(),
                       [&](const std::string& n) { return std::find(nb.begin(), nb.end(), n) != nb.end(); });
}

std::string ExecutableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

} // namespace

std::string SpiIdText(const std::uint8_t* Bytes, std::size_t Count) {
    std::string s;
    for (std::size_t i = 0; i < Count; ++i)
        s += (i ? " " : "") + Hex2(Bytes[i]);
    return s;
}

std::string SpiSizeText(std::uint64_t Bytes) {
    if (Bytes >= kMiB && Bytes % kMiB == 0) return std::to_string(Bytes / kMiB) + " MiB";
    return std::to_string(Bytes / 1024) + " KiB";
}

std::string TSpiFlashPart::IdText() const {
    if (JedecId) return SpiIdText(JedecId->data(), 3);
    if (RemsId) return "REMS " + SpiIdText(RemsId->data(), 2);
    if (ResId) return "RES " + SpiIdText(&*ResId, 1);
    return "no id";
}

ESpiFlashDatabaseError::ESpiFlashDatabaseError(std::string AFile, int AEntry, std::string AName,
                                               std::string AField, const std::string& Problem)
    : Exception(AFile + ": " +
                (AEntry > 0
                     ? "entry " + std::to_string(AEntry) + (AName.empty() ? "" : " (" + AName + ")") + ": "
                     : std::string()) +
                (AField.empty() ? "" : AField + ": ") + Problem),
      File(std::move(AFile)), Entry(AEntry), Name(std::move(AName)), Field(std::move(AField)) {}

std::vector<TSpiFlashPart> TSpiFlashDatabase::Parse(std::string_view Text, const std::string& FileName) {
    json doc;
    try {
        doc = json::parse(Text.begin(), Text.end());
    } catch (const json::parse_error& e) {
        throw ESpiFlashDatabaseError(FileName, 0, "", "", std::string("not valid JSON: ") + e.what());
    }
    if (!doc.is_object() || !doc.contains("parts"))
        throw ESpiFlashDatabaseError(FileName, 0, "", "", "must be an object with a list \"parts\"");
    for (const auto& [key, value] : doc.items()) {
        (void)value;
        if (key != "parts" && key != "notes")
            throw ESpiFlashDatabaseError(FileName, 0, "", key, "unknown field");
    }
    const json& list = doc["parts"];
    if (!list.is_array()) throw ESpiFlashDatabaseError(FileName, 0, "", "parts", "must be a list");

    std::vector<TSpiFlashPart> parts;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        TEntry entry(FileName, index, list[i]);
        TSpiFlashPart part = ReadPart(entry);
        part.Source = FileName + ": entry " + std::to_string(index);
        // Within one file a name and an id stand for one part only.
        for (std::size_t j = 0; j < parts.size(); ++j) {
            if (SharesName(parts[j], part))
                entry.Fail("name", "a name of entry " + std::to_string(j + 1) + " (" + parts[j].Name +
                                       ") again; list variants as aliases of one entry");
            if (SameIdentity(parts[j], part))
                entry.Fail(part.JedecId ? "jedec_id" : "res_id",
                           "the id " + part.IdText() + " of entry " + std::to_string(j + 1) + " (" +
                               parts[j].Name + ") again; list variants as aliases of one entry");
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

std::vector<TSpiFlashPart> TSpiFlashDatabase::ReadFile(const std::string& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    if (!in) throw ESpiFlashDatabaseError(FileName, 0, "", "", "cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw ESpiFlashDatabaseError(FileName, 0, "", "", "cannot be read");
    return Parse(text.str(), FileName);
}

void TSpiFlashDatabase::Add(std::vector<TSpiFlashPart> Parts) {
    for (auto& part : Parts) {
        std::erase_if(FParts, [&](const TPartPtr& held) {
            return SharesName(*held, part) || SameIdentity(*held, part);
        });
        FParts.push_back(std::make_shared<const TSpiFlashPart>(std::move(part)));
    }
}

void TSpiFlashDatabase::AddFile(const std::string& FileName) {
    try {
        Add(ReadFile(FileName));
    } catch (const ESpiFlashDatabaseError& e) {
        FErrors.push_back(e.Message());
    }
}

void TSpiFlashDatabase::AddFolder(const std::string& Folder) {
    std::error_code ec;
    if (Folder.empty() || !std::filesystem::is_directory(Folder, ec)) return;
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(Folder, ec))
        if (entry.path().extension() == ".json") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    for (const auto& f : files)
        AddFile(f);
}

TSpiFlashDatabase::TPartPtr TSpiFlashDatabase::Find(const std::string& Name) const {
    const std::string wanted = AsciiUpper(Name);
    for (const auto& p : FParts) {
        const auto names = NamesOf(*p);
        if (std::find(names.begin(), names.end(), wanted) != names.end()) return p;
    }
    return nullptr;
}

template <class TTest> TSpiFlashDatabase::TPartPtr TSpiFlashDatabase::FindIf(TTest&& Test) const {
    for (const auto& p : FParts)
        if (Test(*p)) return p;
    return nullptr;
}

TSpiFlashDatabase::TPartPtr TSpiFlashDatabase::FindByJedecId(const std::array<std::uint8_t, 3>& Id) const {
    return FindIf([&](const TSpiFlashPart& p) { return p.JedecId && *p.JedecId == Id; });
}

TSpiFlashDatabase::TPartPtr TSpiFlashDatabase::FindByResId(std::uint8_t Id) const {
    return FindIf([&](const TSpiFlashPart& p) { return !p.JedecId && p.ResId && *p.ResId == Id; });
}

TSpiFlashDatabase::TPartPtr TSpiFlashDatabase::FindByRemsId(const std::array<std::uint8_t, 2>& Id) const {
    return FindIf([&](const TSpiFlashPart& p) { return !p.JedecId && p.RemsId && *p.RemsId == Id; });
}

std::string ShippedSpiFlashFile() {
    const std::string exe = ExecutableFolder();
    std::error_code ec;
    if (!exe.empty()) {
        const auto installed = std::filesystem::weakly_canonical(
            std::filesystem::path(exe) / NORVOISP_PARTS_FROM_BIN / "spi_flash.json", ec);
        if (!ec && std::filesystem::is_regular_file(installed, ec)) return installed.string();
    }
    return std::string(NORVOISP_SOURCE_PARTS) + "/spi_flash.json";
}

std::string UserSpiFlashFolder() {
    if (const char* own = std::getenv("NORVOISP_USER_PARTS")) return own;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return std::string(xdg) + "/norvoisp/parts";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/norvoisp/parts";
    return {};
}

const TSpiFlashDatabase& SpiFlashDatabase() {
    static const TSpiFlashDatabase* db = [] {
        auto* d = new TSpiFlashDatabase; // lives until the process ends
        d->AddFile(ShippedSpiFlashFile());
        d->AddFolder(UserSpiFlashFolder());
        return d;
    }();
    return *db;
}
