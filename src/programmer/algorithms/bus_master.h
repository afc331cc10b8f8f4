// What the family algorithms need from a programmer: the bus primitives of
// an I2C, SPI or Microwire master (start, stop, write a byte, read a byte,
// write a page, read a page, wait for a write cycle) and the frame a
// programmer puts around a memory operation. Each hardware kind implements
// it once; the algorithms never know which kind they drive.
//
// Reads may be deferred: a master that batches its traffic (a USB board)
// stores the bytes it reads only when Sync() returns, so a block of reads
// costs one round trip. A master that talks byte by byte (the programmer
// unit) stores them at once. Either way, a read value is valid after Sync().
#pragma once

#include "ports/link_clock.h"

#include <cstdint>
#include <span>

struct TOperationParameters;

// What started the write cycle a master waits for.
enum class TWriteCycle : std::uint8_t {
    Page,     // I2C or SPI page (or single byte) write
    Status,   // SPI status register write
    Word,     // Microwire word (x16) or byte (x8) write
    EraseAll, // Microwire erase-all
};

class TBusMaster {
  public:
    virtual ~TBusMaster() = default;

    // --- the frame of a memory operation ---
    // Both take the operation's parameters (operation_parameters.h), as
    // they were when it started.
    // Before every operation: selects the device's bus on the programmer
    // (re-opening it when it does not answer) and, when asked, sends the
    // operator's reset polarity for the target board.
    virtual void SelectBus(const TOperationParameters& Parameters, bool ResetPolarity) = 0;
    // Begins an operation on the target; PagedWrites when it writes I2C or
    // SPI pages (a programmer that times their write cycles itself is told
    // the write delay then).
    virtual void BeginOperation(const TOperationParameters& Parameters, bool PagedWrites) = 0;
    virtual void EndOperation() = 0;

    // --- the bus ---
    // I2C: START, or a repeated START inside a transfer. SPI, Microwire:
    // selects the chip.
    virtual void Start() = 0;
    // I2C: STOP. SPI, Microwire: deselects the chip.
    virtual void Stop() = 0;
    // One byte onto the bus, most significant bit first (Microwire: eight bits).
    virtual void WriteByte(std::uint8_t Byte) = 0;
    // One byte from the bus into Into (I2C: not acknowledged).
    virtual void ReadByte(std::uint8_t& Into) = 0;
    // I2C: the bytes, then the end of the transfer; SPI: the bytes.
    virtual void WritePage(std::span<const std::uint8_t> Bytes) = 0;
    // Microwire: the first Count bits (1 to 16) of Word, from bit 15 down.
    virtual void WriteBits(std::uint8_t Count, std::uint16_t Word) = 0;
    // Into.size() bytes from the bus (I2C: all but the last acknowledged).
    virtual void ReadPage(std::span<std::uint8_t> Into) = 0;
    // Until the write cycle the last transfer started has ended (or the
    // programmer's own delay after it has passed).
    virtual void WaitWriteCycle(TWriteCycle Cycle) = 0;
    // Every primitive issued so far is done and every read stored.
    virtual void Sync() = 0;

    // Nothing happens on the bus for Time before the next primitive (the
    // chip finishes a write meanwhile). A master that batches its traffic
    // may put the pause into the batch; by default what is queued goes out
    // and the caller sleeps.
    virtual void Pause(TLinkDuration Time) {
        Sync();
        Clock().Sleep(Time);
    }

    // The time base the programmer's traffic runs on: what a wait for the
    // chip is bounded by and paused with (a simulated programmer's virtual
    // clock). Valid while an operation runs.
    virtual TLinkClock& Clock() { return SystemLinkClock(); }

    // The bytes a whole-device read or verify of an I2C or SPI device of
    // DeviceSize bytes takes per ReadPage: PageSize unless the master reads
    // longer blocks in one go.
    virtual int ReadBlockSize(int PageSize, int DeviceSize) const {
        (void)DeviceSize;
        return PageSize;
    }
};
