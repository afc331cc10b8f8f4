// The programmer unit's firmware, simulated. Bytes from the PC go in one at a
// time (Receive); the reply bytes come out of an output queue, each stamped
// with the unit time at which it was ready to go. The unit carries out the
// bus commands on the chip in its socket and keeps a transcript of every
// exchange. Links (byte_link.h, pin_link.h, the pty tool) move the bytes.
//
// The command set and the unit's choices where the PC leaves them open are
// those of the command interpreter (core/command_interpreter.h), which the
// firmware runs too; this class adds the simulation around it: the socket,
// the clock, the transcript, the command time-out and the injected faults
// (which can also produce the codes "%" and "V" the interpreter never sends).
#pragma once

#include "chips/chip.h"
#include "core/command_interpreter.h"
#include "transcript.h"
#include "unit_config.h"
#include "virtual_clock.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct TUnitOutput {
    std::uint8_t Byte = 0;
    TSimTime Time{0}; // unit time at which the byte was ready to send
};

class TProgrammerUnit final : private TInterpreterHost {
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
    TUnitBus Bus() const { return FCore.Bus(); }
    std::uint8_t WriteDelayMs() const { return FCore.WriteDelayMs(); }
    std::uint8_t ResetPolarity() const { return FCore.ResetPolarity(); }
    std::uint8_t ClockSpeed() const { return FCore.ClockSpeed(); }
    bool OperationActive() const { return FCore.OperationActive(); }
    TTargetReset TargetReset() const { return FCore.TargetReset(); }
    // A command has started and still waits for argument bytes.
    bool CommandPending() const { return FCore.CommandPending(); }
    std::uint64_t CommandCount() const { return FCommandCount; }
    // How long stalls (faults, noise) have held the unit's replies up so far.
    TSimDuration StallTime() const { return FStallTime; }
    std::uint64_t BytesReceived() const { return FBytesReceived; }
    const TUnitConfig& Config() const { return FConfig; }

    TVirtualClock& Clock() { return FClock; }
    const TVirtualClock& Clock() const { return FClock; }
    TTranscript& Transcript() { return FTranscript; }
    const TTranscript& Transcript() const { return FTranscript; }

  private:
    void AbandonCommand(const std::string& Why);
    std::optional<TCommandFault> MatchFault(std::uint8_t Letter);
    bool CheckCut(std::uint16_t Done, std::uint16_t Left);
    static TUnitText Text(const std::string& s);

    // TInterpreterHost: the chip in the socket on the selected bus, the
    // clock for the waits, the output queue and the transcript.
    void Send(std::uint8_t Byte) override;
    bool I2CStart() override;
    void I2CStop() override;
    bool I2CWrite(std::uint8_t Byte) override;
    std::uint8_t I2CRead(bool Ack) override;
    void SpiSelect(bool Active) override;
    std::uint8_t SpiTransfer(std::uint8_t Mosi) override;
    void MwSelect(bool Active) override;
    bool MwClock(bool DI) override;
    bool MwWaitReady() override;
    void WaitMs(std::uint8_t Ms) override;
    TCommandOverride CommandStarted(std::uint8_t Letter) override;
    bool PageContinues(std::uint16_t Done, std::uint16_t Left) override;
    void CommandEnded() override;

    TI2CTarget* I2C() const { return FChip ? FChip->AsI2C() : nullptr; }
    TSpiTarget* Spi() const { return FChip ? FChip->AsSpi() : nullptr; }
    TMicrowireTarget* Microwire() const { return FChip ? FChip->AsMicrowire() : nullptr; }

    TUnitConfig FConfig;
    TUnitIdentity FIdentity;
    TCommandInterpreter FCore;
    TVirtualClock FClock;
    TTranscript FTranscript;
    std::unique_ptr<TSimChip> FChip;
    std::deque<TUnitOutput> FOutput;
    TSimTime FLastByteTime{0};

    // counters and faults
    std::uint64_t FCommandCount = 0;
    std::uint64_t FBytesReceived = 0;
    std::uint64_t FPageCommands = 0;
    std::vector<std::uint64_t> FFaultCounts;
    bool FCut = false;
    std::uint64_t FReadBytesSent = 0; // data bytes of "R" replies, for the noisy line
    std::uint8_t FLetter = 0;         // the command being received
    bool FFailing = false;            // it is answered with an injected error
    std::uint32_t FReadLeft = 0;      // data bytes of the running "R" reply still to send
    bool FHung = false;
    TSimTime FHoldUntil{0};     // no reply leaves before (a stall)
    TSimDuration FStallTime{0}; // what stalls have held the replies up, in all
    std::uint8_t FGarble = 0;   // bits flipped in the next reply byte
    std::uint64_t FNoise = 0;   // state of the reply noise's generator
    bool FNoiseSeeded = false;
    std::uint64_t NextNoise();     // the next number of the reply noise
    void Queue(std::uint8_t Byte); // onto the line, after any stall
};
