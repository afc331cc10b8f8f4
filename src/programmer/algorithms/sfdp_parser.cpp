#include "programmer/algorithms/sfdp_parser.h"

#include "buffer/hex_text.h"

#include <algorithm>
#include <bit>

namespace {

constexpr std::uint32_t kSignature = 0x50444653; // "SFDP"
constexpr std::uint16_t kBasicTableId = 0xFF00;
constexpr std::uint16_t kFourByteTableId = 0xFF84;

std::uint32_t Dword(const std::vector<std::uint8_t>& T, std::size_t Index) {
    const std::size_t at = 4 * Index;
    if (at + 4 > T.size()) return 0;
    return T[at] | T[at + 1] << 8 | T[at + 2] << 16 | static_cast<std::uint32_t>(T[at + 3]) << 24;
}

struct THeader {
    std::uint16_t Id;
    std::uint8_t Major;
    std::uint8_t Dwords;
    std::uint32_t Pointer;
};

// A 7-bit erase time field: (count + 1) * unit, units 1 ms, 16 ms, 128 ms, 1 s.
std::uint64_t EraseTimeMs(std::uint32_t Field) {
    static const std::uint64_t units[4] = {1, 16, 128, 1000};
    return ((Field & 0x1F) + 1) * units[(Field >> 5) & 3];
}

} // namespace

std::optional<TSfdpPart> PartFromSfdp(const TSfdpRead& Read, const std::string& Name, std::string& Why) {
    std::vector<std::uint8_t> head(8);
    Read(0, head);
    if (Dword(head, 0) != kSignature) {
        Why = "no SFDP table (5Ah reads " + IntToHex(Dword(head, 0), 8) + "h, not the signature \"SFDP\")";
        return std::nullopt;
    }
    const std::size_t headers = std::size_t{head[6]} + 1;
    std::vector<std::uint8_t> raw(8 * headers);
    Read(8, raw);
    std::optional<THeader> basic, four;
    for (std::size_t i = 0; i < headers; ++i) {
        const std::uint8_t* h = raw.data() + 8 * i;
        const THeader header{static_cast<std::uint16_t>(h[7] << 8 | h[0]), h[2], h[3],
                             static_cast<std::uint32_t>(h[4] | h[5] << 8 | h[6] << 16)};
        if (header.Id == kBasicTableId && header.Major == 1 && !basic) basic = header;
        if (header.Id == kFourByteTableId && header.Major == 1 && !four) four = header;
    }
    if (!basic || basic->Dwords < 9) {
        Why = "the SFDP table has no basic flash parameter table of JESD216 (or one too short)";
        return std::nullopt;
    }
    std::vector<std::uint8_t> t(4 * std::min<std::size_t>(basic->Dwords, 16));
    Read(basic->Pointer, t);

    TSfdpPart out;
    TSpiFlashPart& p = out.Part;
    p.Name = Name;
    p.Maker = "unknown";
    const std::uint32_t d1 = Dword(t, 0), d2 = Dword(t, 1);
    // Density: bits minus one, or 2^N bits with bit 31 set.
    const std::uint64_t bits = (d2 & 0x80000000u)
                                   ? (std::uint64_t{1} << std::min<std::uint32_t>(d2 & 0x7FFFFFFF, 63))
                                   : std::uint64_t{d2} + 1;
    if (bits < 8 * 4096 || bits > 8ull * 256 * 1024 * 1024 || !std::has_single_bit(bits)) {
        Why =
            "the SFDP table gives a density of " + std::to_string(bits) + " bits, which is no part size here";
        return std::nullopt;
    }
    p.Size = static_cast<std::uint32_t>(bits / 8);

    // Erase types: DWORDs 8 and 9, times in DWORD 10.
    const std::uint32_t d10 = basic->Dwords >= 10 ? Dword(t, 9) : 0;
    const std::uint64_t eraseMultiplier = 2 * ((d10 & 0xF) + 1);
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t field =
            (Dword(t, 7 + static_cast<std::size_t>(i / 2)) >> (16 * (i % 2))) & 0xFFFF;
        const std::uint32_t exponent = field & 0xFF;
        if (exponent == 0 || exponent > 31) continue;
        TSpiFlashErase e;
        e.Size = 1u << exponent;
        e.Opcode = static_cast<std::uint8_t>(field >> 8);
        if (e.Size > p.Size || p.Size % e.Size != 0) continue;
        if (d10) {
            e.TypicalMs = static_cast<std::uint32_t>(EraseTimeMs((d10 >> (4 + 7 * i)) & 0x7F));
            e.MaxMs = static_cast<std::uint32_t>(e.TypicalMs * eraseMultiplier);
        } else {
            e.TypicalMs = 100;
            e.MaxMs = 4000;
        }
        p.Erases.push_back(e);
    }
    std::sort(p.Erases.begin(), p.Erases.end(), [](const auto& a, const auto& b) { return a.Size < b.Size; });
    p.Erases.erase(std::unique(p.Erases.begin(), p.Erases.end(),
                               [](const auto& a, const auto& b) { return a.Size == b.Size; }),
                   p.Erases.end());
    if (p.Erases.empty() && (d1 & 3) == 1)
        p.Erases.push_back({static_cast<std::uint8_t>(d1 >> 8), 0, 4096, 100, 4000});
    if (p.Erases.empty()) {
        Why = "the SFDP table lists no erase instruction";
        return std::nullopt;
    }
    if (!d10) out.Assumed.push_back("erase times (4 s at most)");

    // Page size, program and chip erase times: DWORD 11.
    const std::uint32_t d11 = basic->Dwords >= 11 ? Dword(t, 10) : 0;
    if (d11) {
        const std::uint64_t multiplier = 2 * ((d11 & 0xF) + 1);
        p.PageSize = 1u << ((d11 >> 4) & 0xF);
        const std::uint64_t programUnit = (d11 & (1u << 13)) ? 64 : 8;
        p.PageProgramTypicalUs = static_cast<std::uint32_t>((((d11 >> 8) & 0x1F) + 1) * programUnit);
        p.PageProgramMaxUs = static_cast<std::uint32_t>(p.PageProgramTypicalUs * multiplier);
        static const std::uint64_t chipUnits[4] = {16, 256, 4000, 64000};
        p.ChipEraseTypicalMs =
            static_cast<std::uint32_t>((((d11 >> 24) & 0x1F) + 1) * chipUnits[(d11 >> 29) & 3]);
        p.ChipEraseMaxMs = static_cast<std::uint32_t>(p.ChipEraseTypicalMs * multiplier);
    } else {
        p.PageSize = (d1 & 4) ? 256 : 1;
        p.PageProgramTypicalUs = 1000;
        p.PageProgramMaxUs = 10000;
        p.ChipEraseTypicalMs = p.Size / 1024 * 10;
        p.ChipEraseMaxMs = p.ChipEraseTypicalMs * 10;
        out.Assumed.push_back("page size and program and chip erase times");
    }
    if (p.PageSize > p.Size || p.PageSize > p.Erases.front().Size) {
        Why = "the SFDP table gives a page of " + std::to_string(p.PageSize) + " bytes";
        return std::nullopt;
    }
    p.ChipEraseOpcodes = {0xC7, 0x60};
    out.Assumed.push_back("chip erase C7h");

    // Addresses above 16 MiB.
    const std::uint32_t addressBytes = (d1 >> 17) & 3;
    if (p.Size > 16 * 1024 * 1024 || addressBytes == 2) {
        const std::uint32_t d16 = basic->Dwords >= 16 ? Dword(t, 15) : 0;
        std::vector<std::uint8_t> ft;
        if (four && four->Dwords >= 2) {
            ft.resize(8);
            Read(four->Pointer, ft);
        }
        const std::uint32_t support = Dword(ft, 0), opcodes = Dword(ft, 1);
        bool eraseOpcodes = !ft.empty();
        for (std::size_t i = 0; i < p.Erases.size() && eraseOpcodes; ++i) {
            // The 4-byte opcode of the erase type of the same size.
            for (int k = 0; k < 4; ++k) {
                const std::uint32_t field =
                    (Dword(t, 7 + static_cast<std::size_t>(k / 2)) >> (16 * (k % 2))) & 0xFFFF;
                if ((field & 0xFF) != 0 && (1u << (field & 0xFF)) == p.Erases[i].Size &&
                    (support >> (9 + k)) & 1)
                    p.Erases[i].Opcode4 = static_cast<std::uint8_t>(opcodes >> (8 * k));
            }
            eraseOpcodes = p.Erases[i].Opcode4 != 0;
        }
        if (eraseOpcodes && (support & 0x43) == 0x43) { // 13h, 0Ch and 12h
            p.Addressing = TSpiAddressing::FourByteOpcodes;
        } else if (d16 & ((1u << 24) | (1u << 25))) {
            p.Addressing = TSpiAddressing::EnterExit;
            p.Enter4NeedsWriteEnable = (d16 & (1u << 24)) == 0;
            for (auto& e : p.Erases)
                e.Opcode4 = 0;
        } else {
            Why = "the SFDP table gives neither 4-byte instructions nor a 4-byte mode entered with B7h";
            return std::nullopt;
        }
    }

    // What SFDP does not describe, as most parts have it.
    p.StatusRegisters = {{0x05, 0x01}};
    p.Bits.BP = {2, 3, 4};
    p.Bits.SRP = 7;
    p.BpUnit = std::min(p.Size, std::max<std::uint32_t>(64 * 1024, p.Size / 64));
    p.ReadMaxHz = 33'000'000;
    out.Assumed.push_back("one status register with BP0-BP2 in bits 2-4 and SRP in bit 7");
    out.Assumed.push_back("plain read (03h) up to 33 MHz");
    out.Assumed.push_back("the supply voltage");
    p.TestedOnHardware = false;
    p.Source = "SFDP table";
    return out;
}
