// TSmartSerial: the programmer unit on a serial port (a COM port or a USB
// serial adapter) at 115 200 baud, 8 data bits, no parity. It keeps the
// whole command layer of TSmartParallel and replaces the byte layer, the
// page commands, opening and closing, the options dialog and the status
// report. Every wait for the unit is bounded: 1 s for an acknowledgement to
// begin, 2 s for an expected byte, PageReadTimeout for a page read. A probe
// that gets no reply at all is sent once more after the bootloader time, so
// that a stock Arduino board, which the DTR toggling of the open resets,
// opens too.
#pragma once

#include "ports/com_port.h"
#include "programmer/unit/smart_parallel.h"

#include <chrono>
#include <deque>
#include <memory>

class TSmartSerial : public TSmartParallel {
  public:
    TSmartSerial();
    ~TSmartSerial() override;

    // Creates the port object unless it exists.
    virtual void InitHardwareDriver();
    // Closes and frees the port object.
    virtual void DeInitHardwareDriver();

    bool HardwareOpen() override;
    void HardwareClose() override;
    std::string HardwareStatus() override;
    void Writedata(std::uint8_t Adata) override;
    void Writedata(char Adata) override;
    std::uint8_t ReadData(bool Nice) override;
    bool WaitReady() override;
    void writepage(std::uint8_t Size, const std::string& stream) override;
    std::string readpage(std::uint8_t Size) override;
    void WriteString(char TriggerChar, const std::string& Data) override;
    void DoUpdateProgress(int I, int Size) override;
    void EnableProgramming() override;
    void SyncCommands() override;
    void AskOptions() override;
    void ShowStatus(const std::string& ISPGoldVersion) override;
    void SaveSettings() override;
    TLinkClock& Clock() override;

    // The port object while it exists (from the first open until close).
    TComPort* CommDriver() const { return FCommDriver.get(); }
    // "COM" + (ABasePort + 1), with "\\.\" in front above COM2.
    std::string PortName() const;
    // The serial port table from the settings, with the devices present
    // appended (what the port names resolve through).
    virtual TComPortTable PortTable() const;

    // How the port object opens its device (tests, benchmarks); the
    // operating system's serial devices by default.
    void SetLineFactory(TSerialLineFactory Factory) { FLineFactory = std::move(Factory); }

    // Bounds of the waits for the unit.
    TLinkDuration AckTimeout = std::chrono::seconds(1);
    TLinkDuration ByteTimeout = std::chrono::seconds(2);
    TLinkDuration PageReadTimeout = std::chrono::seconds(2);
    // Pause after each step of the DTR/RTS sequence at open.
    static constexpr auto kLineSettle = std::chrono::milliseconds(250);
    // How long a board's bootloader may listen after the probe that it
    // swallowed (Arduino boards reset on DTR; their bootloader gives up
    // about a second after the last byte it saw).
    static constexpr auto kBootloaderTime = std::chrono::seconds(1);
    // Before the probe, input is drained until the line has been quiet this
    // long, for at most kDrainLimit.
    static constexpr auto kQuietLine = std::chrono::milliseconds(50);
    static constexpr auto kDrainLimit = std::chrono::seconds(1);
    // A unit that buffers commands answers the probe with "?" and this code.
    static constexpr std::uint8_t kBuffersCode = 'B';
    // Unacknowledged command bytes the driver lets a buffering unit hold.
    static constexpr std::size_t kPipelineWindow = 192;
    // Use a buffering unit's capability (on by default).
    bool AllowPipelining = true;
    // The unit said at open that it buffers commands.
    bool UnitBuffers() const { return FUnitBuffers; }

    // --- the fast link (smart_serial_fast_link.cpp) ---
    // A unit with the fast link answers the probe with "?" and this code,
    // tells its fastest rate and its receive ring ("l"), and changes rate
    // on "L"; the driver then takes the fastest rate that answers (capped
    // by the setting kMaxBaudKey, "--baud"), sends as much ahead as the
    // ring holds and reads blocks of 256 bytes. A unit without it is driven
    // exactly as before.
    static constexpr std::uint8_t kFastLinkCode = 'F';
    static constexpr char kMaxBaudKey[] = "MaxBaud";
    bool UnitFastLink() const { return FUnitFastLink; }
    // The rate the line runs at.
    std::uint32_t LineBaud() const;
    // The unit's receive ring (0 without the fast link).
    std::size_t UnitRing() const { return FUnitRing; }
    // After "L" and the switch, the unit's answer to the probe at the new
    // rate must begin within this; otherwise both go back to 115 200.
    static constexpr auto kRateConfirm = std::chrono::milliseconds(50);
    // The unit goes back by itself when no probe confirms the new rate
    // within its 100 ms: the driver waits this long after the switch
    // before it probes at 115 200 again.
    static constexpr auto kUnitRateFallback = std::chrono::milliseconds(150);
    // Quiet on the line before the probe that resynchronises the unit
    // after it dropped received bytes (its 20 ms, and some).
    static constexpr auto kResyncQuiet = std::chrono::milliseconds(40);

    void ReadBlock(std::span<std::uint8_t> Into) override;
    // A long sequential read from the bus (an SPI chip selected and its
    // read instruction sent): Into.size() bytes. A fast-link unit gets
    // "R" 256 kReadAhead blocks ahead of the replies, so that it reads and
    // sends them back to back and the line, not the round trip, is the
    // bound; any other unit one block (ReadBlock) at a time.
    void ReadSequential(std::span<std::uint8_t> Into);
    static constexpr std::size_t kReadAhead = 4;
    int ReadBlockSize(int PageSize, int DeviceSize) const override;
    // While a byte is awaited with Nice, the user interface is kept alive
    // at least this often.
    static constexpr auto kNiceSlice = std::chrono::milliseconds(50);

    std::string StatusBaudRate;
    std::uint8_t LastAckCount = 0;

  protected:
    // A new port object for InitHardwareDriver.
    virtual std::unique_ptr<TComPort> NewPort();
    // The probe "*" at open, and once more when nothing answers it.
    void Probe();
    // Reads and drops input until the line has been quiet for kQuietLine
    // (at most kDrainLimit): late replies of an earlier run.
    void DrainStaleInput() override;

    // The fast link: the rate at open, back to 115 200 at close, and the
    // resynchronisation after the unit dropped bytes.
    void NegotiateLink();
    bool TryRate(std::uint8_t Code);
    void ReturnToBaseRate();
    void ResyncLink() override;
    // The probe's answer within Timeout: true for "?" and Code.
    bool ProbeAnswers(std::uint8_t Code, TLinkDuration Timeout);
    void DropInput();
    // Drops whatever arrives for Time, on the line's clock.
    void Quiet(TLinkDuration Time);

    // Pipelining (smart_serial_pipeline.cpp): inside a memory operation a
    // unit that buffers commands gets the commands without a data reply back
    // to back; their acknowledgements are collected in order at the end of
    // each block (the bus master's Sync, a progress report), before any data
    // reply and at "$", and the first error among them is raised as
    // lock-step would raise it.
    bool Pipelining() const;
    void Deferred(std::size_t Bytes); // a command of Bytes sent, its acknowledgement due
    void MakeRoom(std::size_t Bytes); // before a command of Bytes goes out
    // Until no more than UntilBytes of commands wait for their
    // acknowledgement (all of them after an error).
    void CollectAcknowledgements(std::size_t UntilBytes = 0);
    void EndPipeline();
    // A fast-link unit's ring: acknowledgements are collected only when it
    // would overflow, before data replies and at "$" (not every page).
    bool DeepPipeline() const { return FUnitFastLink && Pipelining(); }
    std::size_t Window() const;

  private:
    std::unique_ptr<TComPort> FCommDriver;
    TSerialLineFactory FLineFactory;
    TComPortTable FTable; // as resolved at the last open, saved with the settings
    bool FUnitBuffers = false;
    std::uint8_t FProbeCode = 0; // what followed "?" in the probe's answer
    bool FUnitFastLink = false;
    std::size_t FUnitRing = 0;
    std::uint8_t FUnitFastestRate = 0;
    bool FResynced = false;        // the unit dropped bytes: no more acknowledgements will come
    bool FInOperation = false;     // between "%" and "$"
    std::size_t FPendingAcks = 0;  // commands sent whose acknowledgement is still to come
    std::size_t FPendingBytes = 0; // and their bytes
    std::deque<std::size_t> FPendingSizes;
    bool FCollecting = false;
};
