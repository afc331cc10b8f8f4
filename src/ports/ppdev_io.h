// I/O port access to printer ports through Linux's ppdev driver
// (/dev/parportN, group "lp"): the way for a program without root. Each port
// is opened, registered exclusively (PPEXCL) and claimed (PPCLAIM) when the
// access opens, and released when it closes. Its three registers map to
// requests: data PPRDATA/PPWDATA, status PPRSTATUS (read only), control
// PPRCONTROL/PPWCONTROL, with control bit 5 (data lines in) carried by
// PPDATADIR. ppdev offers nothing else, so the EPP registers (+3..+7), the
// ECP configuration registers and the ECR (+0x400..+0x402) read as absent
// (0xFF) and writes to them are dropped: the port object's mode tests then
// settle on SPP or PS/2, and the bit handshake needs no more.
//
// Addresses: a port is reached at the base address the system's discovery
// gives it, so the port object's slot table and this access agree.
#pragma once

#include "ports/lpt_io.h"
#include "ports/ppdev_calls.h"

#include <cstdint>
#include <string>
#include <vector>

struct TPpdevPort {
    int Number = 0;         // N of /dev/parportN; LPT<N+1>
    std::string Path;       // e.g. /dev/parport0
    std::uint16_t Base = 0; // its base I/O address
};

class TPpdevIo : public TLptIo {
  public:
    explicit TPpdevIo(std::vector<TPpdevPort> Ports, TPpdevCalls& Calls = SystemPpdevCalls());
    ~TPpdevIo() override;
    TPpdevIo(const TPpdevIo&) = delete;
    TPpdevIo& operator=(const TPpdevIo&) = delete;

    // Claims every port it can; true when it holds at least one.
    bool Open(std::uint8_t Instance) override;
    // For each port it could not claim: the device, why, and the fix.
    std::string OpenAdvice() const override;
    void Close() override;
    std::uint8_t GetPort(std::uint16_t Address) override;
    void SetPort(std::uint16_t Address, std::uint8_t Value) override;

    // Address is a register of a port held here (data, status, control, or
    // one ppdev cannot reach).
    bool Covers(std::uint16_t Address) const;
    // Ports held, by number.
    std::vector<int> Claimed() const;
    // The ports this access is for.
    const std::vector<TPpdevPort>& Ports() const { return FPorts; }

  private:
    struct THeld {
        TPpdevPort Port;
        int Fd = -1;
        bool Reverse = false; // data lines turned to input
    };
    // The held port Address belongs to and its register offset; nullptr when none.
    THeld* Find(std::uint16_t Address, std::uint32_t& Offset);
    const THeld* Find(std::uint16_t Address, std::uint32_t& Offset) const;

    std::vector<TPpdevPort> FPorts;
    TPpdevCalls& FCalls;
    std::vector<THeld> FHeld;
    std::vector<std::string> FAdvice;
};

// What the operator can do when the port device at Path failed with errno
// Error at opening (Claim false) or at claiming the port (Claim true).
std::string PpdevAdvice(const std::string& Path, int Error, bool Claim);
