// The printer ports of this computer, as the port object reaches them: each
// port the system's discovery lists goes through ppdev (/dev/parport<n-1>,
// no root needed) when that device exists and can be claimed; the port
// device /dev/port (root) serves the others and stands in when discovery
// lists none (the firmware's table, or 0x378). The registers of a port held
// through ppdev never go through /dev/port.
#pragma once

#include "ports/dev_port_io.h"
#include "ports/ppdev_io.h"

#include <memory>
#include <string>

struct TSystemLptPaths {
    TDevPortPaths DevPort;
    std::string PpdevPrefix = "/dev/parport"; // followed by the port number N
    std::string DiscoveryRoot = "/";

    // The defaults with NORVOISP_PORT_DEVICE (replaces /dev/port) and
    // NORVOISP_PARPORT_DEVICE (replaces the prefix /dev/parport) applied. The
    // test suite points both nowhere, so no test reaches a real port.
    static TSystemLptPaths FromEnvironment();
};

class TSystemLptIo : public TLptIo {
  public:
    explicit TSystemLptIo(TSystemLptPaths Paths = TSystemLptPaths::FromEnvironment(),
                          TPpdevCalls& Calls = SystemPpdevCalls());

    // True when ppdev holds a port or /dev/port opened.
    bool Open(std::uint8_t Instance) override;
    // After a refused open: why each way failed, with its fix.
    std::string OpenAdvice() const override;
    void Close() override;
    std::uint8_t GetPort(std::uint16_t Address) override;
    void SetPort(std::uint16_t Address, std::uint8_t Value) override;
    std::optional<std::array<std::uint16_t, 3>> BiosLptTable() override { return FDevPort.BiosLptTable(); }
    bool AcquirePrinter(int Number) override { return FDevPort.AcquirePrinter(Number); }
    void ReleasePrinter() override { FDevPort.ReleasePrinter(); }

    TPpdevIo& Ppdev() { return FPpdev; }
    TDevPortIo& DevPort() { return FDevPort; }
    // /dev/port is open (as the fall-back).
    bool DevPortOpen() const { return FDevPortOpen; }

  private:
    TPpdevIo FPpdev;
    TDevPortIo FDevPort;
    bool FPpdevOpen = false;
    bool FDevPortOpen = false;
};

// The ports discovery lists under Root, as ppdev devices Prefix + N.
std::vector<TPpdevPort> DiscoveredPpdevPorts(const std::string& Root, const std::string& Prefix);
