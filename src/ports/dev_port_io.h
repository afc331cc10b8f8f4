// I/O port access on Linux through the port device /dev/port: the byte at
// file offset A is I/O port A. Opening it needs CAP_SYS_RAWIO (root); without
// it the access stays closed and the printer port reads as not available.
// The firmware's printer port table is read from the BIOS data area through
// /dev/mem where the platform allows it; the printer device is /dev/lp<n-1>.
// The paths can be replaced (tests point them at ordinary files).
#pragma once

#include "ports/lpt_io.h"

#include <string>

struct TDevPortPaths {
    std::string Port = "/dev/port";
    std::string Memory = "/dev/mem";
    std::string PrinterPrefix = "/dev/lp"; // followed by the number, 0 for LPT1

    // The defaults, with the port device replaced by NORVOISP_PORT_DEVICE when
    // set. The test suite points it at a path that does not exist, so no test
    // ever drives a real printer port on the machine that runs it.
    static TDevPortPaths FromEnvironment();
};

class TDevPortIo : public TLptIo {
  public:
    explicit TDevPortIo(TDevPortPaths Paths = {});
    ~TDevPortIo() override;
    TDevPortIo(const TDevPortIo&) = delete;
    TDevPortIo& operator=(const TDevPortIo&) = delete;

    bool Open(std::uint8_t Instance) override;
    std::string OpenAdvice() const override { return FAdvice; }
    void Close() override;
    // A failed read gives 0xFF (an undriven bus); a failed write is dropped.
    std::uint8_t GetPort(std::uint16_t Address) override;
    void SetPort(std::uint16_t Address, std::uint8_t Value) override;
    std::optional<std::array<std::uint16_t, 3>> BiosLptTable() override;
    bool AcquirePrinter(int Number) override;
    void ReleasePrinter() override;

    // Why the last open failed ("" after a successful one).
    const std::string& LastError() const { return FLastError; }

  private:
    TDevPortPaths FPaths;
    int FPort = -1;
    int FPrinter = -1;
    std::string FLastError;
    std::string FAdvice;
};

// What the operator can do when the port device at Path cannot be opened
// with errno Error: for EACCES and EPERM the device and how to get access,
// for any other error nothing.
std::string PortDeviceAdvice(const std::string& Path, int Error);
