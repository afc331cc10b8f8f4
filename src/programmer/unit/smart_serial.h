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

    // Pipelining (smart_serial_pipeline.cpp): inside a memory operation a
    // unit that buffers commands gets the commands without a data reply back
    // to back; their acknowledgements are collected in order at the end of
    // each block (the bus master's Sync, a progress report), before any data
    // reply and at "$", and the first error among them is raised as
    // lock-step would raise it.
    bool Pipelining() const;
    void Deferred(std::size_t Bytes); // a command of Bytes sent, its acknowledgement due
    void CollectAcknowledgements();
    void EndPipeline();

  private:
    std::unique_ptr<TComPort> FCommDriver;
    TSerialLineFactory FLineFactory;
    TComPortTable FTable; // as resolved at the last open, saved with the settings
    bool FUnitBuffers = false;
    bool FInOperation = false;     // between "%" and "$"
    std::size_t FPendingAcks = 0;  // commands sent whose acknowledgement is still to come
    std::size_t FPendingBytes = 0; // and their bytes
    bool FCollecting = false;
};
