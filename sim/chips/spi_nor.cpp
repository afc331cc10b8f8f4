#include "chips/spi_nor.h"

#include "catalogue/device.h"
#include "chips/spi_nor_sfdp.h"
#include "errors/errors.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr std::uint8_t kWREN = 0x06;
constexpr std::uint8_t kWRDI = 0x04;
constexpr std::uint8_t kEWSR = 0x50;
constexpr std::uint8_t kRDID = 0x9F;
constexpr std::uint8_t kRES = 0xAB;
constexpr std::uint8_t kREMS = 0x90;
constexpr std::uint8_t kRDSFDP = 0x5A;
constexpr std::uint8_t kPP = 0x02;
constexpr std::uint8_t kRBPR = 0x72;
constexpr std::uint8_t kWBPR = 0x42;
constexpr std::uint8_t kULBPR = 0x98;

// A status register write takes this long (the parts' tW is 10 to 15 ms
// typical; 40 ms at most).
constexpr std::uint32_t kStatusWriteUs = 10'000;
constexpr std::uint32_t kStatusWriteMaxUs = 40'000;

constexpr std::uint32_t k64K = 0x10000;

std::uint8_t BitMask(int Bit, std::size_t Register) {
    return Bit >= 0 && static_cast<std::size_t>(Bit / 8) == Register
               ? static_cast<std::uint8_t>(1u << (Bit % 8))
               : 0;
}

} // namespace

TSpiNorChip::TSpiNorChip(TSpiFlashPart Part, bool SlowestTimes)
    : TSimChip(Part.Name, FAMILY_SPI_FLASH, Part.Size, Part.PageSize, std::chrono::microseconds(0)),
      FPart(std::move(Part)), FSlowest(SlowestTimes) {
    if (FPart.Size == 0 || FPart.PageSize == 0 || FPart.Size % FPart.PageSize != 0 ||
        FPart.StatusRegisters.empty())
        throw Exception("The SPI flash entry of \"" + FPart.Name + "\" cannot make a chip");
    FSfdp = BuildSfdpTable(FPart);
    FStatus.assign(FPart.StatusRegisters.size(), 0);
    FPage.assign(FPart.PageSize, 0xFF);
    FLoaded.assign(FPart.PageSize, false);
    if (FPart.Protection == TSpiProtection::Sst26) {
        const std::size_t bits = FPart.Size / k64K - 2 + 2 + 16;
        FBpr.assign((bits + 7) / 8, 0);
    }
    PowerOn();
}

void TSpiNorChip::PowerOn() {
    FWEL = false;
    FStatusWriteEnable = false;
    FFourByteMode = false;
    FSelected = false;
    FState = TState::Idle;
    if (!FBpr.empty()) {
        // Every block write-locked, no 8 KiB block read-locked.
        const std::size_t n64 = FPart.Size / k64K - 2;
        std::fill(FBpr.begin(), FBpr.end(), 0);
        for (std::size_t bit = 0; bit < n64 + 2; ++bit)
            FBpr[FBpr.size() - 1 - bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        for (std::size_t k = 0; k < 8; ++k) {
            const std::size_t bit = n64 + 2 + 2 * k;
            FBpr[FBpr.size() - 1 - bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        }
    }
}

std::uint8_t TSpiNorChip::WritableMask(std::size_t Index) const {
    const auto& b = FPart.Bits;
    std::uint8_t mask = 0;
    for (int bit : b.BP)
        mask |= BitMask(bit, Index);
    for (int bit : {b.TB, b.SEC, b.CMP, b.SRP, b.SRP1, b.QE})
        mask |= BitMask(bit, Index);
    return mask;
}

std::uint8_t TSpiNorChip::StatusRegister(std::size_t Index) const {
    if (Index >= FStatus.size()) return 0xFF;
    std::uint8_t v = FStatus[Index];
    if (Index == 0) {
        if (FWEL) v |= 0x02;
        if (Busy() || FStuck) v |= FPart.Protection == TSpiProtection::Sst26 ? 0x81 : 0x01;
    }
    return v;
}

void TSpiNorChip::SetStatusRegister(std::size_t Index, std::uint8_t Value) {
    if (Index < FStatus.size()) FStatus[Index] = Value & WritableMask(Index);
}

void TSpiNorChip::SetBlockProtection(std::vector<std::uint8_t> Bpr) {
    if (Bpr.size() == FBpr.size()) FBpr = std::move(Bpr);
}

bool TSpiNorChip::StatusLocked() const {
    const int srp = FPart.Bits.SRP;
    return srp >= 0 && FWPAsserted && (FStatus[static_cast<std::size_t>(srp / 8)] >> (srp % 8)) & 1;
}

// ------------------------------------------------------------- protection

bool TSpiNorChip::BpProtected(std::uint32_t Address) const {
    const auto& b = FPart.Bits;
    const auto bitSet = [&](int bit) {
        return bit >= 0 && ((FStatus[static_cast<std::size_t>(bit / 8)] >> (bit % 8)) & 1);
    };
    std::uint32_t level = 0;
    for (std::size_t i = 0; i < b.BP.size(); ++i)
        if (bitSet(b.BP[i])) level |= 1u << i;
    const std::uint32_t allLevels = (1u << b.BP.size()) - 1;
    std::uint64_t length = 0; // protected bytes counted from the top (or the bottom)
    if (level != 0) {
        if (bitSet(b.SEC))
            length =
                level == allLevels ? FPart.Size : std::min<std::uint64_t>(32 * 1024, 4096ull << (level - 1));
        else
            length =
                std::min<std::uint64_t>(FPart.Size, static_cast<std::uint64_t>(FPart.BpUnit) << (level - 1));
    }
    const bool bottom = bitSet(b.TB);
    const bool inRange = bottom ? Address < length : Address >= FPart.Size - length;
    return bitSet(b.CMP) ? !inRange : inRange;
}

int TSpiNorChip::Sst26BitOf(std::uint32_t Address) const {
    const std::uint32_t size = FPart.Size;
    const int n64 = static_cast<int>(size / k64K) - 2;
    if (Address >= k64K && Address < size - k64K) return static_cast<int>(Address / k64K) - 1;
    if (Address >= 0x8000 && Address < k64K) return n64;
    if (Address >= size - k64K && Address < size - 0x8000) return n64 + 1;
    const int k = Address < k64K ? static_cast<int>(Address / 0x2000)
                                 : 4 + static_cast<int>((Address - (size - 0x8000)) / 0x2000);
    return n64 + 2 + 2 * k; // the write-lock bit of the 8 KiB block
}

bool TSpiNorChip::Sst26Protected(std::uint32_t Address) const {
    const int bit = Sst26BitOf(Address);
    return (FBpr[FBpr.size() - 1 - static_cast<std::size_t>(bit / 8)] >> (bit % 8)) & 1;
}

bool TSpiNorChip::Protected(std::uint32_t Address) const {
    return FPart.Protection == TSpiProtection::Sst26 ? Sst26Protected(Address) : BpProtected(Address);
}

bool TSpiNorChip::BlockProtected(std::uint32_t From, std::uint32_t Size) const {
    // Protection changes at 4 KiB boundaries at the finest.
    const std::uint32_t step = std::min<std::uint32_t>(Size, 4096);
    for (std::uint64_t a = From; a < static_cast<std::uint64_t>(From) + Size; a += step)
        if (Protected(static_cast<std::uint32_t>(a))) return true;
    return false;
}

// ------------------------------------------------------------- the bus

void TSpiNorChip::Select(bool Active) {
    if (FRemoved) return;
    if (Active) {
        if (!FSelected) {
            ++FSelections;
            FSelected = true;
            FState = TState::Idle;
            FCommand = TCommand::None;
            FOpcode = 0;
            FIn.clear();
        }
        return;
    }
    if (!FSelected) return;
    FSelected = false;
    Execute();
    FState = TState::Idle;
    FCommand = TCommand::None;
}

bool TSpiNorChip::BeginWrite(std::uint64_t TimeUs) {
    ++FWrites;
    if (FFaults.RemovedAtWrite && FWrites >= *FFaults.RemovedAtWrite) {
        FRemoved = true;
        return false;
    }
    SetWriteTime(std::chrono::microseconds(static_cast<std::int64_t>(TimeUs)));
    StartWriteCycle();
    FWEL = false;
    FStatusWriteEnable = false;
    if (FFaults.NeverReady) FStuck = true;
    return true;
}

void TSpiNorChip::Execute() {
    const bool writable = FWEL;
    switch (FState) {
    case TState::Armed:
        if (FOpcode == kWREN) FWEL = true;
        if (FOpcode == kWRDI) FWEL = FStatusWriteEnable = false;
        if (FOpcode == kEWSR) FStatusWriteEnable = true;
        if (FPart.Addressing == TSpiAddressing::EnterExit &&
            (FOpcode == FPart.Enter4Opcode || FOpcode == FPart.Exit4Opcode)) {
            if (FPart.Enter4NeedsWriteEnable && !writable) break;
            FFourByteMode = FOpcode == FPart.Enter4Opcode;
            if (FPart.Enter4NeedsWriteEnable) FWEL = false;
        }
        if (FOpcode == kULBPR && !FBpr.empty() && writable && !StatusLocked()) {
            std::fill(FBpr.begin(), FBpr.end(), 0);
            FWEL = false;
        }
        if (FCommand == TCommand::Erase && FErase == nullptr && writable) {
            // Chip erase: not done while anything is protected.
            if (BlockProtected(0, FPart.Size)) break;
            if (!BeginWrite(Time(FPart.ChipEraseTypicalMs, FPart.ChipEraseMaxMs) * 1000)) break;
            std::fill(Memory().begin(), Memory().end(), 0xFF);
            ++FChipErases;
        }
        if (FCommand == TCommand::Erase && FErase != nullptr && writable) {
            const std::uint32_t base = FAddress - FAddress % FErase->Size;
            if (BlockProtected(base, FErase->Size)) break;
            if (!BeginWrite(Time(FErase->TypicalMs, FErase->MaxMs) * 1000)) break;
            std::fill_n(Memory().begin() + base, FErase->Size, 0xFF);
            ++FBlockErases;
        }
        break;
    case TState::Program: {
        if (!writable || std::none_of(FLoaded.begin(), FLoaded.end(), [](bool b) { return b; })) break;
        if (BlockProtected(FPageBase, FPart.PageSize)) break;
        if (!BeginWrite(Time(FPart.PageProgramTypicalUs, FPart.PageProgramMaxUs))) break;
        auto& mem = Memory();
        for (std::size_t i = 0; i < FPage.size(); ++i)
            if (FLoaded[i]) mem[FPageBase + i] &= FPage[i]; // bits only go from 1 to 0
        ++FPagePrograms;
        break;
    }
    case TState::StatusIn: {
        if (FIn.empty() || !(writable || FStatusWriteEnable) || StatusLocked()) break;
        // The registers the instruction reaches, in order: one alone, or the
        // first and those written after it.
        std::vector<std::size_t> targets;
        for (std::size_t r = 0; r < FPart.StatusRegisters.size(); ++r) {
            const std::uint8_t op = FPart.StatusRegisters[r].Write;
            if (op != FOpcode) continue;
            if (targets.empty() || r == targets.back() + 1) targets.push_back(r);
        }
        if (!BeginWrite(Time(kStatusWriteUs, kStatusWriteMaxUs))) break;
        for (std::size_t i = 0; i < targets.size() && i < FIn.size(); ++i) {
            const std::size_t r = targets[i];
            const std::uint8_t mask = WritableMask(r);
            FStatus[r] = static_cast<std::uint8_t>((FStatus[r] & ~mask) | (FIn[i] & mask));
        }
        break;
    }
    case TState::BprIn:
        if (!writable || StatusLocked() || FIn.size() < FBpr.size()) break;
        if (!BeginWrite(Time(kStatusWriteUs, kStatusWriteMaxUs))) break;
        std::copy_n(FIn.begin(), FBpr.size(), FBpr.begin());
        break;
    default:
        break;
    }
}

void TSpiNorChip::Opcode(std::uint8_t Op) {
    FOpcode = Op;
    FState = TState::Ignore;
    // While busy only the status registers can be read.
    const bool busy = Busy() || FStuck;
    for (std::size_t r = 0; r < FPart.StatusRegisters.size(); ++r) {
        if (Op == FPart.StatusRegisters[r].Read) {
            FIndex = r;
            FState = TState::StatusOut;
            return;
        }
    }
    if (busy) {
        FOpcode = 0;
        return;
    }
    for (std::size_t r = 0; r < FPart.StatusRegisters.size(); ++r)
        if (Op == FPart.StatusRegisters[r].Write) FState = TState::StatusIn;
    if (FState == TState::StatusIn) return;

    const bool four = FPart.Addressing == TSpiAddressing::FourByteOpcodes;
    const int modeBytes = FFourByteMode ? 4 : 3;
    const auto address = [&](TCommand Command, int Bytes, int Dummy) {
        FCommand = Command;
        FAddressLeft = Bytes;
        FDummyLeft = Dummy;
        FAddress = 0;
        FState = TState::Address;
    };
    FErase = nullptr;
    if (Op == FPart.ReadOpcode) return address(TCommand::Read, modeBytes, 0);
    if (Op == FPart.FastReadOpcode) return address(TCommand::Read, modeBytes, 1);
    if (Op == kPP) return address(TCommand::Program, modeBytes, 0);
    if (four && Op == FPart.Read4Opcode) return address(TCommand::Read, 4, 0);
    if (four && Op == FPart.FastRead4Opcode) return address(TCommand::Read, 4, 1);
    if (four && Op == FPart.Program4Opcode) return address(TCommand::Program, 4, 0);
    for (const auto& e : FPart.Erases) {
        if (Op == e.Opcode || (four && Op == e.Opcode4)) {
            address(TCommand::Erase, Op == e.Opcode ? modeBytes : 4, 0);
            FErase = &e;
            return;
        }
    }
    if (std::find(FPart.ChipEraseOpcodes.begin(), FPart.ChipEraseOpcodes.end(), Op) !=
        FPart.ChipEraseOpcodes.end()) {
        FCommand = TCommand::Erase;
        FState = TState::Armed;
        return;
    }
    switch (Op) {
    case kRDID:
        FIndex = 0;
        FState = FPart.JedecId ? TState::IdOut : TState::Ignore;
        return;
    case kRES:
        address(TCommand::Res, 3, 0);
        return;
    case kREMS:
        address(TCommand::Rems, 3, 0);
        return;
    case kRDSFDP:
        address(TCommand::Sfdp, 3, 1);
        return;
    default:
        break;
    }
    if (!FBpr.empty() && Op == kRBPR) {
        FIndex = 0;
        FState = TState::BprOut;
        return;
    }
    if (!FBpr.empty() && Op == kWBPR) {
        FState = TState::BprIn;
        return;
    }
    // Single-byte instructions that act when /CS rises.
    FState = TState::Armed;
}

void TSpiNorChip::AddressComplete() {
    switch (FCommand) {
    case TCommand::Read:
        FAddress %= FPart.Size;
        FState = FDummyLeft > 0 ? TState::Dummy : TState::Read;
        break;
    case TCommand::Program:
        FAddress %= FPart.Size;
        FPageBase = FAddress - FAddress % FPart.PageSize;
        std::fill(FLoaded.begin(), FLoaded.end(), false);
        FState = TState::Program;
        break;
    case TCommand::Erase:
        FAddress %= FPart.Size;
        FState = TState::Armed;
        break;
    case TCommand::Res:
        FState = TState::ResOut;
        break;
    case TCommand::Rems:
        FIndex = FAddress & 1;
        FState = TState::RemsOut;
        break;
    case TCommand::Sfdp:
        FState = TState::Dummy;
        break;
    case TCommand::None:
        FState = TState::Ignore;
        break;
    }
}

std::uint8_t TSpiNorChip::Output() {
    switch (FState) {
    case TState::Read: {
        const std::uint8_t v = Memory()[FAddress];
        FAddress = (FAddress + 1) % FPart.Size;
        return v;
    }
    case TState::StatusOut:
        return StatusRegister(FIndex);
    case TState::IdOut:
        return (*FPart.JedecId)[FIndex++ % 3];
    case TState::ResOut:
        return FPart.ResId ? *FPart.ResId : 0xFF;
    case TState::RemsOut:
        return FPart.RemsId ? (*FPart.RemsId)[FIndex++ % 2] : 0xFF;
    case TState::SfdpOut:
        if (FFaults.NoSfdp) return 0xFF;
        return FAddress < FSfdp.size() ? FSfdp[FAddress++] : 0xFF;
    case TState::BprOut:
        return FIndex < FBpr.size() ? FBpr[FIndex++] : 0xFF;
    default:
        return 0xFF;
    }
}

std::uint8_t TSpiNorChip::Transfer(std::uint8_t Mosi) {
    if (FRemoved || !FSelected) return 0xFF;
    std::uint8_t out = 0xFF;
    switch (FState) {
    case TState::Idle:
        Opcode(Mosi);
        break;
    case TState::Armed:
        FState = TState::Ignore; // more bytes than the instruction takes: it is not done
        break;
    case TState::Address:
        FAddress = (FAddress << 8) | Mosi;
        if (--FAddressLeft == 0) AddressComplete();
        break;
    case TState::Dummy:
        if (--FDummyLeft <= 0) FState = FCommand == TCommand::Sfdp ? TState::SfdpOut : TState::Read;
        break;
    case TState::Program: {
        const std::uint32_t index = FAddress - FPageBase;
        FPage[index] = Mosi;
        FLoaded[index] = true;
        FAddress = FPageBase + (index + 1) % FPart.PageSize;
        break;
    }
    case TState::StatusIn:
    case TState::BprIn:
        FIn.push_back(Mosi);
        break;
    default:
        out = Output();
        break;
    }
    if (FFaults.MisoLow) return 0x00;
    if (FFaults.BadContact && (FSelections & 1)) out ^= 0x02;
    return out;
}
