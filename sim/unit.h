// The programmer unit's firmware, simulated. Bytes from the PC go in one at a
// time (Receive); the reply bytes come out of an output queue, each stamped
// with the unit time at which it was ready to go. The unit carries out the
// bus commands on the chip in its socket and keeps a transcript of every
// exchange. Links (byte_link.h, pin_link.h, the pty tool) move the bytes.
//
// Command set (letter, arguments, reply before the acknowledgement; "hh" is
// two upper-case hexadecimal digits; every command ends with CR, or "?" and
// an error code):
//   X  -        -        start condition (I2C, a repeated start inside a
//                        transfer); select the chip (SPI, Microwire)
//   x  -        -        stop condition; deselect
//   Z  -        -        I2C: bus recovery (start + stop, abandons a pending
//                        write). Microwire: wait until the chip reports ready.
//                        SPI: deselect
//   w  byte     -        one byte onto the bus (Microwire: eight bits)
//   r  -        byte     one byte from the bus (I2C: not acknowledged)
//   W  n, data  -        I2C/SPI: n data bytes onto the bus; I2C then ends
//                        the transfer with a stop and waits the write delay.
//                        Microwire: n bits (1..16) from ceil(n/8) bytes
//   R  n        n bytes  n bytes from the bus (I2C: all but the last acknowledged)
//   M  hh       -        bus: 00 I2C, 01 SPI, 02 Microwire
//   P  hh       -        target reset polarity: 00 low, 01 high, 02 off
//   E  hh       -        bus clock speed (stored: 01 fast, 10 medium, 20 slow)
//   D  hh       -        write delay in milliseconds
//   %  -        -        begin a memory operation (target held in reset)
//   $  -        -        end a memory operation (target released)
//   S  -        9 chars  identification
//   V  -        4 chars  hardware version
//   v  -        4 chars  firmware version
//   *  -        -        probe of the serial link
// Error codes: "!" unknown command, "#" argument not two upper-case hex
// digits or out of range, "T" the chip did not acknowledge on I2C or stayed
// busy past the ready time-out, "M" Microwire misuse (a bus command without
// "X", a bit count outside 1..16), "m" Microwire out of sync (no dummy 0
// after a read instruction). "%" and "V" are never produced by the unit's
// own commands (it has no blank check or verify); they can be injected.
#pragma once

#include "chips/chip.h"
#include "transcript.h"
#include "unit_config.h"
#include "virtual_clock.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class TUnitBus : std::uint8_t { I2C = 0, SPI = 1, Microwire = 2 };

// The unit's reset output to the target board's microcontroller.
enum class TTargetReset : std::uint8_t { Released, DrivenLow, DrivenHigh };

struct TUnitOutput {
    std::uint8_t Byte = 0;
    TSimTime Time{0}; // unit time at which the byte was ready to send
};

class TProgrammerUnit {
  public:
    explicit TProgrammerUnit(TUnitConfig Config = {});
    ~TProgrammerUnit();
    TProgrammerUnit(const TProgrammerUnit&) = delete;
    TProgrammerUnit& operator=(const TProgrammerUnit&) = delete;

    // --- target socket ---
    // Puts a chip in the socket (nullptr empties it); the unit's clock times
    // its write cycles. Returns the chip that was there.
    std::unique_ptr<TSimChip> InsertChip(std::unique_ptr<TSimChip> Chip);
    TSimChip* Chip() const { return FChip.get(); }

    // --- byte side, called by the links ---
    // One byte from the PC, arriving at Clock().Now().
    void Receive(std::uint8_t Byte);
    bool HasOutput() const { return !FOutput.empty(); }
    std::size_t OutputSize() const { return FOutput.size(); }
    // The oldest queued output byte; only when HasOutput().
    TUnitOutput TakeOutput();
    // Restart of the firmware (reset line, power-up): partial command, output
    // queue, bus selection, write delay, polarity and clock speed back to
    // their defaults, the chip's volatile state too; then the identification
    // is queued unasked when the configuration says so.
    void Reset();

    // --- faults ---
    TUnitFaults& Faults() { return FConfig.Faults; }
    // Pulls / replugs the cable (also done by TPageCut).
    void CutLink();
    void Reconnect();
    bool LinkCut() const { return FCut; }
    bool Hung() const { return FHung; }

    // --- observable state ---
    TUnitBus Bus() const { return FBus; }
    std::uint8_t WriteDelayMs() const { return FWriteDelay; }
    std::uint8_t ResetPolarity() const { return FPolarity; }
    std::uint8_t ClockSpeed() const { return FClockSpeed; }
    bool OperationActive() const { return FOperation; }
    TTargetReset TargetReset() const;
    // A command has started and still waits for argument bytes.
    bool CommandPending() const { return FLetter != 0; }
    std::uint64_t CommandCount() const { return FCommandCount; }
    std::uint64_t BytesReceived() const { return FBytesReceived; }
    const TUnitConfig& Config() const { return FConfig; }

    TVirtualClock& Clock() { return FClock; }
    const TVirtualClock& Clock() const { return FClock; }
    TTranscript& Transcript() { return FTranscript; }
    const TTranscript& Transcript() const { return FTranscript; }

  private:
    // command framing
    void StartCommand(std::uint8_t Letter);
    void ArgumentByte(std::uint8_t Byte);
    void Execute();
    void FinishCommand();
    void AbandonCommand(const std::string& Why);
    std::optional<TCommandFault> MatchFault(std::uint8_t Letter);
    bool CheckCut();
    void Send(std::uint8_t Byte);
    void SendText(const std::string& Text);
    void Reply(std::uint8_t Error); // 0: acknowledgement, else "?" + Error
    void Wait(TSimDuration Time) { FClock.Advance(Time); }
    TSimDuration WriteDelay() const;

    // the bus of the selected family; each returns 0 or an error code
    TI2CTarget* I2C() const { return FChip ? FChip->AsI2C() : nullptr; }
    TSpiTarget* Spi() const { return FChip ? FChip->AsSpi() : nullptr; }
    TMicrowireTarget* Microwire() const { return FChip ? FChip->AsMicrowire() : nullptr; }
    std::uint8_t BusStart();
    void BusStop();
    std::uint8_t BusRecover();
    std::uint8_t BusWrite(std::uint8_t Byte);
    std::uint8_t BusRead(bool Last, std::uint8_t& Error);
    std::uint8_t I2CWrite(std::uint8_t Byte);
    void SpiWrite(std::uint8_t Byte);
    void SpiDeselect();
    bool MicrowireClock(bool Bit);
    bool MicrowireReadyWait();
    void BeginPage(std::uint8_t Count);
    void PageByte(std::uint8_t Byte);
    std::uint8_t PageDone();
    void ReleaseBus();

    TUnitConfig FConfig;
    TVirtualClock FClock;
    TTranscript FTranscript;
    std::unique_ptr<TSimChip> FChip;
    std::deque<TUnitOutput> FOutput;

    // settings from the PC
    TUnitBus FBus = TUnitBus::I2C;
    std::uint8_t FWriteDelay = 10;
    std::uint8_t FPolarity = 2;
    std::uint8_t FClockSpeed = 1;
    bool FOperation = false;

    // command being received
    std::uint8_t FLetter = 0;
    std::vector<std::uint8_t> FArgs;
    std::size_t FArgsNeeded = 0;
    std::optional<TCommandFault> FFault;
    std::uint8_t FPendingError = 0;  // error found while a page streamed to the bus
    std::uint32_t FPageDataLeft = 0; // data bytes of the running "W" still to come
    std::uint32_t FPageBytes = 0;    // data bytes of the running "W" so far
    TSimTime FLastByteTime{0};

    // bus state
    bool FI2CTransfer = false;  // START sent, no STOP yet
    bool FI2CFirst = false;     // next byte is the select byte
    bool FI2CWriting = false;   // the select byte had R/W = 0
    bool FI2CWroteData = false; // bytes followed the select byte of a write transfer
    bool FSpiSelected = false;
    bool FSpiFirst = false;
    bool FSpiWriteInstr = false; // the selection began with WRITE or WRSR
    bool FSpiWroteData = false;  // bytes followed that instruction
    bool FMwSelected = false;
    std::uint32_t FMwBits = 0; // bits of the running Microwire "W"
    int FMwBitCount = 0;
    int FMwBitsLeft = 0;
    bool FMwLastDO = true;

    // counters and faults
    std::uint64_t FCommandCount = 0;
    std::uint64_t FBytesReceived = 0;
    std::uint64_t FPageCommands = 0;
    std::vector<std::uint64_t> FFaultCounts;
    bool FCut = false;
    std::uint64_t FReadBytesSent = 0; // data bytes of "R" replies, for the noisy line
    bool FHung = false;
};
