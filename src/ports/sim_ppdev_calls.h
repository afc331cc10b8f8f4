// The kernel's ppdev driver over simulated printer ports, as the ppdev
// backend sees it through TPpdevCalls: device nodes lead to TSimPrinterPort
// models, and the requests act on them as Linux's parport_pc does (claiming
// restores the port's state: control 0x0C, an ECP port's ECR in PS/2 mode;
// PPRCONTROL answers the driver's copy of the four output lines; PPDATADIR
// sets control bit 5). Registering exclusively fails when another program
// or driver is registered on the port, other requests fail before the claim,
// as in the kernel. Every call is counted and, with KeepLog, recorded, so
// tests see exactly which requests were made, in order.
#pragma once

#include "ports/ppdev_calls.h"
#include "ports/sim_printer_port.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class TSimPpdevCalls : public TPpdevCalls {
  public:
    struct TCall {
        std::string Path;
        unsigned long Request = 0; // 0 for open and close
        int Value = 0;             // the byte or int passed or answered
        int Result = 0;            // 0, a descriptor, or -errno
        bool operator==(const TCall&) const = default;
    };

    // The device node Path leads to Port (not owned; must outlive this).
    void AddDevice(const std::string& Path, TSimPrinterPort& Port);

    // --- platform behaviour ---
    std::map<std::string, int> OpenErrors; // errno for opening a path (EACCES, ...)
    std::set<std::string> OtherDriver;     // another driver (lp) is registered on these ports

    // --- what happened ---
    bool KeepLog = false;
    std::uint64_t Calls() const { return FCalls; }
    const std::vector<TCall>& Log() const { return FLog; }
    void ClearLog() { FLog.clear(); }
    // The port device is claimed by a descriptor that is still open.
    bool Claimed(const std::string& Path) const;
    int OpenDescriptors() const { return static_cast<int>(FFiles.size()); }

    int Open(const std::string& Path) override;
    int Ioctl(int Fd, unsigned long Request, void* Arg) override;
    void Close(int Fd) override;

  private:
    struct TFile {
        std::string Path;
        bool Exclusive = false;
        bool Registered = false;
        bool Claimed = false;
    };
    struct TDevice {
        TSimPrinterPort* Port = nullptr;
        std::uint8_t Control = 0x0C; // the driver's copy of the control register
    };
    int Record(const std::string& Path, unsigned long Request, int Value, int Result);
    int Request(TFile& File, TDevice& Device, unsigned long Request, void* Arg);

    std::map<std::string, TDevice> FDevices;
    std::map<int, TFile> FFiles;
    int FNextFd = 100;
    std::uint64_t FCalls = 0;
    std::vector<TCall> FLog;
};
