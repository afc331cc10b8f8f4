// What an SPI NOR part's protection bits protect, the check before a write
// and clearing the protection when asked to.
#include "buffer/hex_text.h"
#include "errors/errors.h"
#include "programmer/algorithms/spi_flash_algorithms.h"
#include "programmer/algorithms/spi_flash_operation.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kULBPR = 0x98;
constexpr std::uint8_t kWRDI = 0x04;
constexpr std::uint32_t k64K = 0x10000;

bool Bit(std::span<const std::uint8_t> Status, int Number) {
    if (Number < 0 || static_cast<std::size_t>(Number / 8) >= Status.size()) return false;
    return (Status[static_cast<std::size_t>(Number / 8)] >> (Number % 8)) & 1;
}

std::string Range(const TSpiProtectedRange& r) {
    return IntToHex(r.From, 6) + "-" + IntToHex(r.To - 1, 6);
}

// SST26: the block a bit of the protection register guards, [From, To).
// Bits 0 up: the 64 KiB blocks from 10000h, then the 32 KiB blocks at the
// bottom and the top, then the 8 KiB blocks from the bottom, two bits each
// (write-lock, read-lock).
TSpiProtectedRange Sst26Block(std::uint32_t Size, std::size_t Bit) {
    const std::size_t n64 = Size / k64K - 2;
    if (Bit < n64)
        return {static_cast<std::uint32_t>((Bit + 1) * k64K), static_cast<std::uint32_t>((Bit + 2) * k64K)};
    if (Bit == n64) return {0x8000, k64K};
    if (Bit == n64 + 1) return {Size - k64K, Size - 0x8000};
    const std::size_t k = (Bit - n64 - 2) / 2;
    const std::uint32_t from = k < 4 ? static_cast<std::uint32_t>(k * 0x2000)
                                     : Size - 0x8000 + static_cast<std::uint32_t>((k - 4) * 0x2000);
    return {from, from + 0x2000};
}

std::vector<TSpiProtectedRange> Merge(std::vector<TSpiProtectedRange> Ranges) {
    std::sort(Ranges.begin(), Ranges.end(), [](const auto& a, const auto& b) { return a.From < b.From; });
    std::vector<TSpiProtectedRange> out;
    for (const auto& r : Ranges) {
        if (!out.empty() && r.From <= out.back().To)
            out.back().To = std::max(out.back().To, r.To);
        else
            out.push_back(r);
    }
    return out;
}

} // namespace

bool TSpiProtectionState::Protects(std::uint32_t From, std::uint32_t To) const {
    return std::any_of(Ranges.begin(), Ranges.end(),
                       [&](const auto& r) { return r.From < To && From < r.To; });
}

std::vector<TSpiProtectedRange> SpiProtectedRanges(const TSpiFlashPart& Part,
                                                   std::span<const std::uint8_t> Status,
                                                   std::span<const std::uint8_t> Bpr) {
    const std::uint32_t size = Part.Size;
    if (Part.Protection == TSpiProtection::Sst26) {
        std::vector<TSpiProtectedRange> ranges;
        const std::size_t bits = size / k64K - 2 + 2 + 16;
        for (std::size_t bit = 0; bit < bits && bit / 8 < Bpr.size(); ++bit) {
            const bool readLock = bit >= size / k64K && (bit - (size / k64K)) % 2 == 1;
            if (readLock) continue; // a read lock does not stop writes
            if ((Bpr[Bpr.size() - 1 - bit / 8] >> (bit % 8)) & 1) ranges.push_back(Sst26Block(size, bit));
        }
        return Merge(ranges);
    }
    const auto& b = Part.Bits;
    std::uint32_t level = 0;
    for (std::size_t i = 0; i < b.BP.size(); ++i)
        if (Bit(Status, b.BP[i])) level |= 1u << i;
    std::uint64_t length = 0;
    if (level != 0) {
        const std::uint32_t all = (1u << b.BP.size()) - 1;
        if (Bit(Status, b.SEC))
            length = level == all ? size : std::min<std::uint64_t>(32 * 1024, 4096ull << (level - 1));
        else
            length = std::min<std::uint64_t>(size, std::uint64_t{Part.BpUnit} << (level - 1));
    }
    const auto len = static_cast<std::uint32_t>(length);
    TSpiProtectedRange range =
        Bit(Status, b.TB) ? TSpiProtectedRange{0, len} : TSpiProtectedRange{size - len, size};
    std::vector<TSpiProtectedRange> ranges;
    if (!Bit(Status, b.CMP)) {
        if (len) ranges.push_back(range);
    } else if (len == 0) {
        ranges.push_back({0, size});
    } else if (len < size) {
        ranges.push_back(range.From == 0 ? TSpiProtectedRange{len, size} : TSpiProtectedRange{0, size - len});
    }
    return ranges;
}

std::string SpiProtectionText(const TSpiFlashPart& Part, const TSpiProtectionState& State) {
    std::string text;
    if (Part.Protection == TSpiProtection::Sst26) {
        text = "block protection register ";
        for (std::uint8_t b : State.Bpr)
            text += IntToHex(b, 2);
        text += "h";
    } else {
        const auto& b = Part.Bits;
        for (std::size_t r = 0; r < State.Status.size(); ++r) {
            std::string set;
            const auto name = [&](int bit, const std::string& n) {
                if (bit >= 0 && static_cast<std::size_t>(bit / 8) == r && Bit(State.Status, bit))
                    set += " " + n;
            };
            for (std::size_t i = 0; i < b.BP.size(); ++i)
                name(b.BP[i], "BP" + std::to_string(i));
            name(b.TB, "TB");
            name(b.SEC, "SEC");
            name(b.CMP, "CMP");
            name(b.SRP, "SRP");
            name(b.SRP1, "SRP1");
            text += (r ? ", SR" : "SR") + std::to_string(r + 1) + " " + IntToHex(State.Status[r], 2) + "h" +
                    (set.empty() ? "" : " (" + set.substr(1) + ")");
        }
    }
    if (State.Ranges.empty()) return text + ": nothing protected";
    text += ": ";
    for (std::size_t i = 0; i < State.Ranges.size(); ++i) {
        const auto& r = State.Ranges[i];
        text += (i ? ", " : "") + Range(r) +
                (r.To - r.From == Part.Size ? " (all)" : " (" + SpiSizeText(r.To - r.From) + ")");
    }
    return text + " protected";
}

void TSpiFlashAlgorithms::CheckWritable(std::uint32_t From, std::uint32_t To) {
    TOperation op(*this, true);
    const TSpiProtectionState now = ReadProtection();
    if (!now.Protects(From, To)) {
        op.End();
        return;
    }
    const std::string where = IntToHex(From, 6) + "-" + IntToHex(To - 1, 6);
    if (!FParams.Unprotect)
        Fail("The " + PartName() + " is write-protected: " + now.Description + ". Writing " + where +
             " would silently fail there; unprotect the part to clear its protection first");
    Unprotect(now);
    const TSpiProtectionState after = ReadProtection();
    if (after.Protects(From, To)) {
        const auto& b = Part().Bits;
        std::string why;
        if (Part().Protection == TSpiProtection::Sst26 && now.StatusLocked)
            why = "the /WP pin is held low and WPEN is set, which locks the block protection; tie /WP high";
        else if (Bit(after.Status, b.SRP1))
            why = "SRP1 is set: the status register is locked until the next power-up (or for good)";
        else if (now.StatusLocked)
            why = "the /WP pin is held low and SRP is set, which locks the status register; tie /WP high "
                  "(the board may pull it low)";
        else
            why = "the protection bits did not change";
        Fail("The " + PartName() + " stays write-protected (" + after.Description + "): " + why);
    }
    Log("Protection cleared: was " + now.Description);
    op.End();
}

void TSpiFlashAlgorithms::Unprotect(const TSpiProtectionState& Now) {
    if (Part().Protection == TSpiProtection::Sst26) {
        WriteEnable();
        Simple(kULBPR);
        Simple(kWRDI);
        FBus.Sync();
        return;
    }
    // BP, TB, SEC, CMP and SRP cleared; QE, SRP1 and the rest kept.
    const auto& b = Part().Bits;
    std::vector<std::uint8_t> values = Now.Status;
    const auto clear = [&](int bit) {
        if (bit >= 0 && static_cast<std::size_t>(bit / 8) < values.size())
            values[static_cast<std::size_t>(bit / 8)] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
    };
    for (int bit : b.BP)
        clear(bit);
    for (int bit : {b.TB, b.SEC, b.CMP, b.SRP})
        clear(bit);
    // Only the registers that change (and those written with them).
    std::size_t last = 0;
    for (std::size_t r = 0; r < values.size(); ++r)
        if (values[r] != Now.Status[r]) last = r;
    // WIP and WEL are not written.
    values[0] &= 0xFC;
    WriteStatus(std::span<const std::uint8_t>(values).first(last + 1));
    // A write the part refused leaves WEL set: not for a stray instruction.
    Simple(kWRDI);
    FBus.Sync();
}
