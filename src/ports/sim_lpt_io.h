// Simulated I/O ports: printer port models (TSimPrinterPort) on an I/O bus,
// as the platform access of the printer port object. Addresses no port
// decodes read 0xFF and swallow writes. Every access is counted and can be
// logged, so tests and benchmarks see exactly which registers were reached.
// The firmware's table of printer ports, whether the access can be opened
// and whether the printer device is free are set by the test.
#pragma once

#include "ports/lpt_io.h"
#include "ports/sim_printer_port.h"

#include <memory>
#include <utility>
#include <vector>

class TSimLptIo : public TLptIo {
  public:
    struct TAccess {
        std::uint16_t Address = 0;
        std::uint8_t Value = 0;
        bool Write = false;
        bool operator==(const TAccess&) const = default;
    };

    // A port on the bus (owned here); Connector as for TSimPrinterPort.
    TSimPrinterPort& AddPort(std::uint16_t Base, TSimLptKind Kind, TLptConnector* Connector = nullptr);
    // The port with that base address, nullptr when none.
    TSimPrinterPort* PortAt(std::uint16_t Base) const;

    // --- platform behaviour ---
    bool CanOpen = true;
    std::optional<std::array<std::uint16_t, 3>> BiosTable; // nullopt: cannot be read
    bool PrinterBusy = false;

    // --- what happened ---
    bool IsOpen() const { return FOpen; }
    std::uint64_t Reads() const { return FReads; }
    std::uint64_t Writes() const { return FWrites; }
    std::uint64_t Accesses() const { return FReads + FWrites; }
    void SetKeepLog(bool Keep) { FKeepLog = Keep; }
    const std::vector<TAccess>& Log() const { return FLog; }
    void ClearLog() { FLog.clear(); }
    const std::vector<std::pair<std::uint16_t, std::uint16_t>>& RequestedRanges() const { return FRanges; }
    // The printer device held (1..3), 0 when none.
    int AcquiredPrinter() const { return FPrinter; }

    bool Open(std::uint8_t Instance) override;
    void Close() override;
    std::uint8_t GetPort(std::uint16_t Address) override;
    void SetPort(std::uint16_t Address, std::uint8_t Value) override;
    std::optional<std::array<std::uint16_t, 3>> BiosLptTable() override { return BiosTable; }
    void RequestRange(std::uint16_t First, std::uint16_t Last) override;
    bool AcquirePrinter(int Number) override;
    void ReleasePrinter() override;

  private:
    TSimPrinterPort* Decoder(std::uint16_t Address) const;

    std::vector<std::unique_ptr<TSimPrinterPort>> FPorts;
    bool FOpen = false;
    std::uint64_t FReads = 0;
    std::uint64_t FWrites = 0;
    bool FKeepLog = false;
    std::vector<TAccess> FLog;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> FRanges;
    int FPrinter = 0;
};
