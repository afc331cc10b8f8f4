// The SPI NOR instructions on the bus: addresses, reads, page programs,
// erases, the status registers, 4-byte addressing and the waits for WIP.
#include "programmer/algorithms/spi_flash_algorithms.h"
#include "programmer/algorithms/spi_flash_operation.h"

#include "buffer/hex_text.h"
#include "errors/errors.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr std::uint8_t kWREN = 0x06;
constexpr std::uint8_t kRDSR = 0x05;
constexpr std::uint8_t kPP = 0x02;
constexpr std::uint8_t kRBPR = 0x72;
constexpr std::uint8_t kWIP = 0x01;
constexpr std::uint8_t kWEL = 0x02;

// Reads and compares run in pieces of this many bytes (one selection each).
constexpr std::uint32_t kReadPiece = 4096;
// A status register write: the parts' tW is at most 40 ms; allowed here.
constexpr std::uint64_t kStatusWriteTypicalUs = 10'000;
constexpr std::uint64_t kStatusWriteMaxUs = 200'000;
// Verify mismatches logged one by one; the rest are counted.
constexpr std::int64_t kLoggedMismatches = 64;

} // namespace

TSpiFlashAlgorithms::TSpiFlashAlgorithms(TBusMaster& Bus, TSpiFlashParameters Parameters)
    : FBus(Bus), FParams(std::move(Parameters)) {
    if (!FParams.Part) Fail("No SPI flash part selected");
    if (FParams.TransferSize == 0) FParams.TransferSize = 1;
}

void TSpiFlashAlgorithms::Fail(const std::string& Message) const {
    throw EISPException(Message, false, FParams.HardwareName);
}

std::string TSpiFlashAlgorithms::PartName() const {
    return Part().Name;
}

void TSpiFlashAlgorithms::Progress(std::int64_t Done, std::int64_t Total) {
    if (FParams.Progress) FParams.Progress(Done, Total);
}

void TSpiFlashAlgorithms::Log(const std::string& Line) {
    if (FParams.Log) FParams.Log(Line);
}

void TSpiFlashAlgorithms::CheckRange(const THexList& Afile, std::uint32_t From, std::uint32_t To) const {
    if (From >= To || To > Part().Size)
        Fail("The range " + IntToHex(From, 6) + "-" + IntToHex(To, 6) + " is not within the " + PartName());
    if (Afile.Size() < To) Fail("The buffer is smaller than the " + PartName());
}

// ------------------------------------------------------------- instructions

void TSpiFlashAlgorithms::Simple(std::uint8_t Opcode) {
    FBus.Start();
    FBus.WriteByte(Opcode);
    FBus.Stop();
}

void TSpiFlashAlgorithms::Command(std::uint8_t Opcode3, std::uint8_t Opcode4, std::uint32_t Address) {
    const bool fourOpcode = Part().Addressing == TSpiAddressing::FourByteOpcodes && Opcode4 != 0;
    const bool four = fourOpcode || FInFourByteMode;
    FBus.Start();
    FBus.WriteByte(fourOpcode ? Opcode4 : Opcode3);
    if (four) FBus.WriteByte(static_cast<std::uint8_t>(Address >> 24));
    FBus.WriteByte(static_cast<std::uint8_t>(Address >> 16));
    FBus.WriteByte(static_cast<std::uint8_t>(Address >> 8));
    FBus.WriteByte(static_cast<std::uint8_t>(Address));
}

std::uint8_t TSpiFlashAlgorithms::ReadRegister(std::uint8_t Opcode) {
    std::uint8_t value = 0;
    FBus.Start();
    FBus.WriteByte(Opcode);
    FBus.ReadByte(value);
    FBus.Stop();
    FBus.Sync();
    return value;
}

void TSpiFlashAlgorithms::WriteEnable() {
    Simple(kWREN);
}

void TSpiFlashAlgorithms::WriteEnable(std::uint8_t& Wel) {
    // The look at WEL goes out with the write and its first poll: one
    // exchange on a programmer that batches.
    Simple(kWREN);
    FBus.Start();
    FBus.WriteByte(kRDSR);
    FBus.ReadByte(Wel);
    FBus.Stop();
}

void TSpiFlashAlgorithms::CheckWriteEnabled(std::uint8_t Wel, const std::string& Undone) const {
    if ((Wel & kWEL) == 0 || Wel == 0xFF)
        Fail("The " + PartName() + " did not set its write enable latch (status " + IntToHex(Wel, 2) +
             "h): " + Undone);
}

void TSpiFlashAlgorithms::WaitReady(std::uint64_t TypicalUs, std::uint64_t MaxUs, const std::string& What) {
    using std::chrono::microseconds;
    TLinkClock& clock = FBus.Clock();
    // The datasheet's maximum, a tenth more for the part's own clock, and
    // the time of a poll or two.
    const TLinkTime deadline = clock.Now() + microseconds(MaxUs + MaxUs / 10 + 20'000);
    const TLinkDuration pause =
        std::min<TLinkDuration>(microseconds(TypicalUs / 4), std::chrono::milliseconds(50));
    // The first look when the part is typically done.
    FBus.Pause(microseconds(TypicalUs));
    std::uint8_t status = 0;
    for (int polls = 0; polls < 1'000'000; ++polls) {
        FBus.Start();
        FBus.WriteByte(kRDSR);
        FBus.ReadByte(status);
        FBus.Stop();
        FBus.Sync();
        if ((status & kWIP) == 0) return;
        if (clock.Now() >= deadline) break;
        Progress(-1, -1);
        clock.Sleep(pause);
    }
    const std::string limit = std::to_string((MaxUs + 999) / 1000) + " ms";
    if (status == 0xFF)
        Fail("The " + PartName() + " stopped answering during the " + What +
             " (its status register reads FFh): the clip came off or the part lost its power");
    Fail("The " + PartName() + " is still busy after the " + What + " (WIP set; its datasheet allows " +
         limit + ")");
}

void TSpiFlashAlgorithms::EnterFourByteMode() {
    if (Part().Enter4NeedsWriteEnable) WriteEnable();
    Simple(Part().Enter4Opcode);
    FBus.Sync();
    FInFourByteMode = true;
}

void TSpiFlashAlgorithms::LeaveFourByteMode() {
    if (Part().Enter4NeedsWriteEnable) WriteEnable();
    Simple(Part().Exit4Opcode);
    FBus.Sync();
    FInFourByteMode = false;
}

// ------------------------------------------------------------- reading

void TSpiFlashAlgorithms::Read(std::uint32_t Address, std::span<std::uint8_t> Into) {
    const TSpiFlashPart& p = Part();
    const bool fast = FParams.BusClockHz > p.ReadMaxHz;
    Command(fast ? p.FastReadOpcode : p.ReadOpcode, fast ? p.FastRead4Opcode : p.Read4Opcode, Address);
    if (fast) FBus.WriteByte(0x00); // the dummy byte
    for (std::size_t at = 0; at < Into.size(); at += FParams.TransferSize)
        FBus.ReadPage(Into.subspan(at, std::min(FParams.TransferSize, Into.size() - at)));
    FBus.Stop();
    FBus.Sync();
}

void TSpiFlashAlgorithms::ReadRange(THexList& Afile, std::uint32_t From, std::uint32_t To) {
    CheckRange(Afile, From, To);
    TOperation op(*this, false);
    Progress(0, Part().Size);
    for (std::uint32_t a = From; a < To; a += kReadPiece) {
        Progress(a, Part().Size);
        const std::uint32_t n = std::min(kReadPiece, To - a);
        Read(a, std::span<std::uint8_t>(Afile.HexData).subspan(a, n));
    }
    op.End();
}

std::int64_t TSpiFlashAlgorithms::Compare(THexList& Afile, std::uint32_t From, std::uint32_t To,
                                          std::int64_t& Logged) {
    std::vector<std::uint8_t> piece(kReadPiece);
    auto& status = Afile.StatusArray();
    std::int64_t errors = 0;
    for (std::uint32_t a = From; a < To; a += kReadPiece) {
        Progress(a, Part().Size);
        const std::uint32_t n = std::min(kReadPiece, To - a);
        Read(a, std::span<std::uint8_t>(piece).first(n));
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint8_t want = Afile.HexData[a + i];
            if (piece[i] == want) {
                status[a + i] = ps_verified;
                continue;
            }
            status[a + i] = ps_failed;
            if (++errors, Logged++ < kLoggedMismatches)
                Log("Verify Failed at " + IntToHex(a + i, 6) + "h: Read " + IntToHex(piece[i], 2) +
                    "h - Should have been " + IntToHex(want, 2) + "h");
        }
    }
    return errors;
}

void TSpiFlashAlgorithms::VerifyRange(THexList& Afile, std::uint32_t From, std::uint32_t To) {
    CheckRange(Afile, From, To);
    TOperation op(*this, false);
    Progress(0, Part().Size);
    std::int64_t logged = 0;
    const std::int64_t errors = Compare(Afile, From, To, logged);
    op.End();
    if (errors > kLoggedMismatches)
        Log("... " + std::to_string(errors - kLoggedMismatches) + " more bytes differ");
    if (errors)
        throw EVerifyError("EEPROM: Verification Failed - " + std::to_string(errors) + " bytes had errors");
}

std::int64_t TSpiFlashAlgorithms::BlankCheck() {
    TOperation op(*this, false);
    std::vector<std::uint8_t> piece(kReadPiece);
    const std::uint32_t size = Part().Size;
    Progress(0, size);
    for (std::uint32_t a = 0; a < size; a += kReadPiece) {
        Progress(a, size);
        const std::uint32_t n = std::min(kReadPiece, size - a);
        Read(a, std::span<std::uint8_t>(piece).first(n));
        const auto it =
            std::find_if(piece.begin(), piece.begin() + n, [](std::uint8_t b) { return b != 0xFF; });
        if (it != piece.begin() + n) {
            op.End();
            return a + static_cast<std::int64_t>(it - piece.begin());
        }
    }
    op.End();
    return -1;
}

// ------------------------------------------------------------- writing

void TSpiFlashAlgorithms::ProgramPage(std::uint32_t Address, std::span<const std::uint8_t> Bytes) {
    const TSpiFlashPart& p = Part();
    if (Bytes.empty()) return;
    if (Address % p.PageSize + Bytes.size() > p.PageSize)
        Fail("Internal error: a page program across a page boundary at " + IntToHex(Address, 6) + "h");
    std::uint8_t wel = 0;
    WriteEnable(wel);
    Command(kPP, p.Program4Opcode, Address);
    for (std::size_t at = 0; at < Bytes.size(); at += FParams.TransferSize)
        FBus.WritePage(Bytes.subspan(at, std::min(FParams.TransferSize, Bytes.size() - at)));
    FBus.Stop();
    WaitReady(p.PageProgramTypicalUs, p.PageProgramMaxUs, "page program at " + IntToHex(Address, 6) + "h");
    CheckWriteEnabled(wel, "the page at " + IntToHex(Address, 6) + "h was not programmed");
}

void TSpiFlashAlgorithms::EraseBlock(const TSpiFlashErase& Erase, std::uint32_t Address) {
    if (Address % Erase.Size != 0)
        Fail("Internal error: an erase block not aligned at " + IntToHex(Address, 6) + "h");
    std::uint8_t wel = 0;
    WriteEnable(wel);
    Command(Erase.Opcode, Erase.Opcode4, Address);
    FBus.Stop();
    const std::string what =
        std::to_string(Erase.Size / 1024) + " KiB erase at " + IntToHex(Address, 6) + "h";
    WaitReady(std::uint64_t{Erase.TypicalMs} * 1000, std::uint64_t{Erase.MaxMs} * 1000, what);
    CheckWriteEnabled(wel, "the block at " + IntToHex(Address, 6) + "h was not erased");
}

void TSpiFlashAlgorithms::EraseChip() {
    TOperation op(*this, true);
    const TSpiFlashPart& p = Part();
    if (p.ChipEraseOpcodes.empty()) Fail("The " + PartName() + " has no chip erase instruction");
    CheckWritable(0, p.Size);
    Progress(0, p.Size);
    std::uint8_t wel = 0;
    WriteEnable(wel);
    Simple(p.ChipEraseOpcodes.front());
    WaitReady(std::uint64_t{p.ChipEraseTypicalMs} * 1000, std::uint64_t{p.ChipEraseMaxMs} * 1000,
              "chip erase");
    CheckWriteEnabled(wel, "the chip was not erased");
    Progress(p.Size, p.Size);
    op.End();
}

void TSpiFlashAlgorithms::EraseRange(std::uint32_t From, std::uint32_t To) {
    const TSpiFlashPart& p = Part();
    const TSpiFlashErase* smallest = p.SmallestErase();
    if (!smallest) Fail("The " + PartName() + " has no erase instruction");
    if (From >= To || To > p.Size)
        Fail("The range " + IntToHex(From, 6) + "-" + IntToHex(To, 6) + " is not within the " + PartName());
    From -= From % smallest->Size;
    To += (smallest->Size - To % smallest->Size) % smallest->Size;
    TOperation op(*this, true);
    CheckWritable(From, To);
    Progress(0, p.Size);
    for (std::uint32_t a = From; a < To;) {
        const TSpiFlashErase* use = smallest;
        for (const auto& e : p.Erases)
            if (a % e.Size == 0 && a + e.Size <= To) use = &e;
        EraseBlock(*use, a);
        a += use->Size;
        Progress(a, p.Size);
    }
    op.End();
}

// ------------------------------------------------------------- status registers

std::vector<std::uint8_t> TSpiFlashAlgorithms::ReadStatus() {
    TOperation op(*this, false);
    std::vector<std::uint8_t> values;
    for (const auto& r : Part().StatusRegisters)
        values.push_back(ReadRegister(r.Read));
    op.End();
    return values;
}

void TSpiFlashAlgorithms::WriteStatus(std::span<const std::uint8_t> Values) {
    const auto& regs = Part().StatusRegisters;
    if (Values.empty() || Values.size() > regs.size())
        Fail("The " + PartName() + " has " + std::to_string(regs.size()) + " status registers");
    TOperation op(*this, true);
    // Registers written together by one instruction (01h SR1 SR2 ...) go
    // in one selection; a register with an instruction of its own alone.
    for (std::size_t r = 0; r < Values.size();) {
        std::size_t n = 1;
        while (r + n < Values.size() && regs[r + n].Write == regs[r].Write)
            ++n;
        std::uint8_t wel = 0;
        WriteEnable(wel);
        FBus.Start();
        FBus.WriteByte(regs[r].Write);
        for (std::size_t k = 0; k < n; ++k)
            FBus.WriteByte(Values[r + k]);
        FBus.Stop();
        WaitReady(kStatusWriteTypicalUs, kStatusWriteMaxUs, "status register write");
        CheckWriteEnabled(wel, "the status register was not written");
        r += n;
    }
    op.End();
}

TSpiProtectionState TSpiFlashAlgorithms::ReadProtection() {
    TOperation op(*this, false);
    TSpiProtectionState state;
    state.Status = ReadStatus();
    if (Part().Protection == TSpiProtection::Sst26) {
        const std::size_t bytes = (Part().Size / 0x10000 - 2 + 2 + 16 + 7) / 8;
        state.Bpr.assign(bytes, 0);
        FBus.Start();
        FBus.WriteByte(kRBPR);
        FBus.ReadPage(state.Bpr);
        FBus.Stop();
        FBus.Sync();
    }
    op.End();
    state.Ranges = SpiProtectedRanges(Part(), state.Status, state.Bpr);
    const int srp = Part().Bits.SRP;
    state.StatusLocked = srp >= 0 && static_cast<std::size_t>(srp / 8) < state.Status.size() &&
                         ((state.Status[static_cast<std::size_t>(srp / 8)] >> (srp % 8)) & 1);
    state.Description = SpiProtectionText(Part(), state);
    return state;
}
