#include "chips/spi_nor_sfdp.h"

#include <algorithm>
#include <bit>

namespace {

void Put32(std::vector<std::uint8_t>& T, std::size_t At, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        T[At + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(V >> (8 * i));
}

// A typical time as a 5-bit count and a 2-bit unit: (count + 1) * unit is
// the smallest such time not below Time. Units in the table's order.
std::uint32_t CountAndUnit(std::uint64_t Time, const std::uint64_t (&Units)[4], std::uint64_t* Encoded) {
    for (std::uint32_t u = 0; u < 4; ++u) {
        const std::uint64_t count = (Time + Units[u] - 1) / Units[u];
        if (count <= 32 || u == 3) {
            const std::uint64_t c = std::clamp<std::uint64_t>(count, 1, 32);
            *Encoded = c * Units[u];
            return static_cast<std::uint32_t>((c - 1) | (u << 5));
        }
    }
    return 0;
}

// The multiplier M of "maximum = 2 * (M + 1) * typical" that covers Max.
std::uint32_t Multiplier(std::uint64_t Max, std::uint64_t Typical) {
    if (Typical == 0) return 0;
    const std::uint64_t m = (Max + 2 * Typical - 1) / (2 * Typical);
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(m, 1, 16) - 1);
}

} // namespace

std::vector<std::uint8_t> BuildSfdpTable(const TSpiFlashPart& Part) {
    const bool fourByteTable = Part.Addressing == TSpiAddressing::FourByteOpcodes;
    std::vector<std::uint8_t> t(fourByteTable ? kSfdp4ByteTable + 8 : kSfdpBasicTable + 64, 0xFF);

    // SFDP header: signature, revision 1.6, one parameter header more than
    // the first, legacy access protocol.
    Put32(t, 0, 0x50444653);
    t[4] = 0x06;
    t[5] = 0x01;
    t[6] = fourByteTable ? 1 : 0;
    t[7] = 0xFF;
    // Parameter header 0: the basic flash parameter table, 16 DWORDs.
    const std::uint8_t basic[8] = {0x00, 0x06, 0x01, 16, kSfdpBasicTable, 0, 0, 0xFF};
    std::copy(std::begin(basic), std::end(basic), t.begin() + 8);
    if (fourByteTable) {
        const std::uint8_t four[8] = {0x84, 0x00, 0x01, 2, kSfdp4ByteTable, 0, 0, 0xFF};
        std::copy(std::begin(four), std::end(four), t.begin() + 16);
    }

    const TSpiFlashErase* sector = nullptr;
    for (const auto& e : Part.Erases)
        if (e.Size == 4096) sector = &e;

    // DWORD 1: 4 KiB erase and its opcode, write granularity, address bytes.
    std::uint32_t d1 = 0xFF800000u | (sector ? 0x1u : 0x3u) | (Part.PageSize >= 64 ? 0x4u : 0) | 0xE0u;
    d1 |= static_cast<std::uint32_t>(sector ? sector->Opcode : 0xFF) << 8;
    d1 |= static_cast<std::uint32_t>(Part.FourByteAddresses() ? 0x1 : 0x0) << 17;
    // DWORD 2: density in bits, minus one.
    const std::uint32_t d2 = static_cast<std::uint32_t>(static_cast<std::uint64_t>(Part.Size) * 8 - 1);

    // DWORDs 8 and 9: up to four erase types, size as a power of two and
    // opcode; an unused type has size 0 (and opcode FFh).
    std::uint32_t d89[2] = {0xFF00FF00u, 0xFF00FF00u};
    // DWORD 10: their typical times, one maximum multiplier for all.
    const std::uint64_t eraseUnits[4] = {1, 16, 128, 1000};
    std::uint32_t d10 = 0;
    std::uint32_t maxMultiplier = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(Part.Erases.size(), 4); ++i) {
        const auto& e = Part.Erases[i];
        const std::uint32_t field = static_cast<std::uint32_t>(std::countr_zero(e.Size)) | (e.Opcode << 8);
        d89[i / 2] = (d89[i / 2] & ~(0xFFFFu << (16 * (i % 2)))) | field << (16 * (i % 2));
        std::uint64_t typical = 0;
        d10 |= CountAndUnit(e.TypicalMs, eraseUnits, &typical) << (4 + 7 * i);
        maxMultiplier = std::max(maxMultiplier, Multiplier(e.MaxMs, typical));
    }
    d10 |= maxMultiplier;

    // DWORD 11: page size, page program and chip erase typical times and
    // the multiplier of their maximum.
    const std::uint64_t programUnits[4] = {8, 64, 64, 64};
    std::uint64_t programTypical = 0;
    std::uint32_t program = CountAndUnit(Part.PageProgramTypicalUs, programUnits, &programTypical);
    program = (program & 0x1F) | ((program >> 5) ? 0x20 : 0); // one unit bit
    const std::uint64_t chipUnits[4] = {16, 256, 4000, 64000};
    std::uint64_t chipTypical = 0;
    const std::uint32_t chip = CountAndUnit(Part.ChipEraseTypicalMs, chipUnits, &chipTypical);
    const std::uint32_t programMultiplier = std::max(Multiplier(Part.PageProgramMaxUs, programTypical),
                                                     Multiplier(Part.ChipEraseMaxMs, chipTypical));
    const std::uint32_t d11 = programMultiplier |
                              (static_cast<std::uint32_t>(std::countr_zero(Part.PageSize)) << 4) |
                              (program << 8) | (chip << 24);

    // DWORD 16: how 4-byte addressing is entered and left.
    std::uint32_t d16 = 0;
    switch (Part.Addressing) {
    case TSpiAddressing::FourByteOpcodes:
        d16 = (1u << 29) | (1u << 18); // dedicated 4-byte instructions; no mode to leave
        break;
    case TSpiAddressing::EnterExit:
        d16 = Part.Enter4NeedsWriteEnable ? (1u << 25) | (1u << 15) : (1u << 24) | (1u << 14);
        break;
    case TSpiAddressing::ThreeByte:
        break;
    }

    std::uint32_t dwords[16] = {d1, d2, 0, 0, 0, 0, 0, d89[0], d89[1], d10, d11, 0, 0, 0, 0, d16};
    for (int i = 0; i < 16; ++i)
        Put32(t, kSfdpBasicTable + 4 * static_cast<std::size_t>(i), dwords[i]);

    if (fourByteTable) {
        // Which 4-byte instructions there are (13h, 0Ch, 12h, the erase
        // types') and the erase types' 4-byte opcodes.
        std::uint32_t support = (1u << 0) | (1u << 1) | (1u << 6);
        std::uint32_t opcodes = 0;
        for (std::size_t i = 0; i < std::min<std::size_t>(Part.Erases.size(), 4); ++i) {
            support |= 1u << (9 + i);
            opcodes |= static_cast<std::uint32_t>(Part.Erases[i].Opcode4) << (8 * i);
        }
        Put32(t, kSfdp4ByteTable, support);
        Put32(t, kSfdp4ByteTable + 4, opcodes);
    }
    return t;
}
