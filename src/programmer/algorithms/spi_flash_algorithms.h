// The SPI NOR flash family over a bus master: reading (fast read when the
// bus is faster than the part's plain read allows), erasing (block and
// chip), page programming on page boundaries with WEL checked and WIP
// polled within the part's maximum times, verify, blank check, the status
// registers, the protection check before anything is written, and smart
// programming (compare each erase block, erase only what needs a bit
// raised, program only the pages that differ and are not blank, verify it
// all). 4-byte addresses go through the part's 4-byte instructions, or its
// 4-byte mode, which is always left again before an operation ends.
//
// Everything comes in TSpiFlashParameters; nothing is read from a global.
// Failures are EISPException carrying the hardware name; a cancel from the
// progress callback (EAbortOp) passes through. Whatever stops a program or
// erase, the blocks' states are logged and kept (LastReport()).
#pragma once

#include "buffer/hex_list.h"
#include "catalogue/spi_flash_part.h"
#include "programmer/algorithms/bus_master.h"
#include "programmer/operation_parameters.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct TSpiFlashParameters {
    const TSpiFlashPart* Part = nullptr;
    // The longest run of bytes one WritePage or ReadPage takes (the
    // programmer unit's "W" and "R" carry a one-byte count).
    std::size_t TransferSize = 128;
    // The SPI clock of the programmer; 0 = slower than any part's plain read.
    std::uint32_t BusClockHz = 0;
    // (done, total) in bytes; may raise EAbortOp to cancel.
    std::function<void(std::int64_t Done, std::int64_t Total)> Progress;
    // A status line (the per-block report, verify mismatches).
    std::function<void(const std::string& Line)> Log;
    // Clear the protection (BP, TB, SEC, CMP, and SRP where /WP allows;
    // SST26: global unlock) instead of refusing to write a protected part.
    bool Unprotect = false;
    // Carried by every EISPException.
    std::string HardwareName;
    // What the operation runs with on the programmer (the frame of the bus
    // master: reset polarity, write time), taken when it starts.
    TOperationParameters Operation;
};

// What happened to one erase block of a program run.
enum class TSpiBlockState : std::uint8_t {
    Untouched,  // not reached
    Unchanged,  // already held the data: neither erased nor programmed
    Erased,     // erased, its programming not finished: its old data is gone
    Programmed, // programmed (after an erase where one was needed)
    Verified,
    Failed, // differs from the buffer after programming
};

const char* SpiBlockStateName(TSpiBlockState State);

struct TSpiFlashReport {
    std::uint32_t BlockSize = 0;
    std::vector<TSpiBlockState> Blocks;
    int Erased = 0;
    int Programmed = 0;
    int Skipped = 0;

    // "erased 3, programmed 5, skipped 250 of 256 blocks of 64 KiB"
    std::string Summary() const;
    // Runs of blocks by state: "blocks 0-2 (000000-02FFFF) verified;
    // block 3 (030000-03FFFF) erased, programming not finished; ..."
    std::string States() const;
};

// A protected range [From, To) and the bits that make it so.
struct TSpiProtectedRange {
    std::uint32_t From = 0;
    std::uint32_t To = 0;
};

struct TSpiProtectionState {
    std::vector<std::uint8_t> Status; // the status registers, SR1 first
    std::vector<std::uint8_t> Bpr;    // SST26: the block protection register
    std::vector<TSpiProtectedRange> Ranges;
    bool StatusLocked = false; // SRP set: /WP low would lock the registers
    // "SR1 = 1Ch: BP2 BP1 BP0 set, TB 0: 000000-FFFFFF (all) protected"
    std::string Description;
    bool Protects(std::uint32_t From, std::uint32_t To) const;
};

// The range the BP bits of Status protect on Part (empty when none);
// SST26 parts: the blocks whose write-lock bit is set in Bpr.
std::vector<TSpiProtectedRange> SpiProtectedRanges(const TSpiFlashPart& Part,
                                                   std::span<const std::uint8_t> Status,
                                                   std::span<const std::uint8_t> Bpr = {});
// Which bits are set and what they protect, for a message.
std::string SpiProtectionText(const TSpiFlashPart& Part, const TSpiProtectionState& State);

class TSpiFlashAlgorithms {
  public:
    // Parameters.Part must be set.
    TSpiFlashAlgorithms(TBusMaster& Bus, TSpiFlashParameters Parameters);

    // --- operations, each a complete operation on the programmer. The
    // ranged ones take [From, To) of the part, the buffer holding the
    // part's image from address 0. ---
    void ReadFlash(THexList& Afile) { ReadRange(Afile, 0, Part().Size); }
    void ReadRange(THexList& Afile, std::uint32_t From, std::uint32_t To);
    // Marks every byte verified or failed; raises EVerifyError with the count.
    void VerifyFlash(THexList& Afile) { VerifyRange(Afile, 0, Part().Size); }
    void VerifyRange(THexList& Afile, std::uint32_t From, std::uint32_t To);
    // The first address that does not hold FFh; -1 when the part is blank.
    std::int64_t BlankCheck();
    // Chip erase (after the protection check).
    void EraseChip();
    // Erases the blocks that cover [From, To) with the largest erase types
    // that fit (after the protection check).
    void EraseRange(std::uint32_t From, std::uint32_t To);
    // Smart programming of the whole part, or of the erase blocks that
    // cover [From, To), from the buffer, then a verify of all of it. The
    // summary goes to the log; raises EVerifyError when the verify fails.
    TSpiFlashReport ProgramFlash(THexList& Afile) { return ProgramRange(Afile, 0, Part().Size); }
    TSpiFlashReport ProgramRange(THexList& Afile, std::uint32_t From, std::uint32_t To);
    std::vector<std::uint8_t> ReadStatus();
    // Writes the status registers (as many as Values holds, SR1 first).
    void WriteStatus(std::span<const std::uint8_t> Values);
    TSpiProtectionState ReadProtection();

    // The states of the blocks of the last program run (also after it failed).
    const TSpiFlashReport& LastReport() const { return FReport; }

    // --- pieces, for callers that frame the operation themselves ---
    void Read(std::uint32_t Address, std::span<std::uint8_t> Into);
    void ProgramPage(std::uint32_t Address, std::span<const std::uint8_t> Bytes);
    void EraseBlock(const TSpiFlashErase& Erase, std::uint32_t Address);
    // Refuses (or, with Unprotect, clears) the protection of [From, To).
    void CheckWritable(std::uint32_t From, std::uint32_t To);

  private:
    class TOperation;
    friend class TOperation;

    [[noreturn]] void Fail(const std::string& Message) const;
    const TSpiFlashPart& Part() const { return *FParams.Part; }
    void Progress(std::int64_t Done, std::int64_t Total);
    void Log(const std::string& Line);
    // Raises unless [From, To) is a range of the part the buffer holds.
    void CheckRange(const THexList& Afile, std::uint32_t From, std::uint32_t To) const;
    // Compares [From, To) with the buffer, marking each byte; the number of
    // bytes that differ.
    std::int64_t Compare(THexList& Afile, std::uint32_t From, std::uint32_t To, std::int64_t& Logged);

    void Simple(std::uint8_t Opcode);
    // The instruction with Address in the bytes the part takes now.
    void Command(std::uint8_t Opcode3, std::uint8_t Opcode4, std::uint32_t Address);
    std::uint8_t ReadRegister(std::uint8_t Opcode);
    void WriteEnable();
    // WREN, and the status register into Wel after it (read with the next Sync).
    void WriteEnable(std::uint8_t& Wel);
    // Raises unless Wel shows the write enable latch set; Undone says what
    // did not happen then.
    void CheckWriteEnabled(std::uint8_t Wel, const std::string& Undone) const;
    // Until WIP clears, within MaxUs (and a margin); raises naming What.
    void WaitReady(std::uint64_t TypicalUs, std::uint64_t MaxUs, const std::string& What);
    void EnterFourByteMode();
    void LeaveFourByteMode();
    void Unprotect(const TSpiProtectionState& Now);
    std::string PartName() const;

    TBusMaster& FBus;
    TSpiFlashParameters FParams;
    TSpiFlashReport FReport;
    bool FInFourByteMode = false;
    int FOperationDepth = 0;
};
