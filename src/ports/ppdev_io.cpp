#include "ports/ppdev_io.h"

#include <cerrno>
#include <cstring>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

std::string PpdevAdvice(const std::string& Path, int Error, bool Claim) {
    if (!Claim && (Error == EACCES || Error == EPERM))
        return Path + ": permission denied: add your user to the 'lp' group (sudo usermod -aG lp $USER, then "
                      "log in again; see Permissions in README.md)";
    if (!Claim && (Error == ENOENT || Error == ENODEV || Error == ENXIO))
        return Path + ": no such device: load the ppdev module (sudo modprobe ppdev)";
    if (Claim && (Error == ENXIO || Error == EBUSY))
        return Path + ": in use by another driver or program (the printer driver lp holds the port while "
                      "it is loaded: sudo modprobe -r lp)";
    return Path + ": " + std::strerror(Error);
}

TPpdevIo::TPpdevIo(std::vector<TPpdevPort> Ports, TPpdevCalls& Calls)
    : FPorts(std::move(Ports)), FCalls(Calls) {}

TPpdevIo::~TPpdevIo() {
    Close();
}

bool TPpdevIo::Open(std::uint8_t) {
    if (!FHeld.empty()) return true;
    FAdvice.clear();
    for (const TPpdevPort& port : FPorts) {
        const int fd = FCalls.Open(port.Path);
        if (fd < 0) {
            FAdvice.push_back(PpdevAdvice(port.Path, -fd, false));
            continue;
        }
        int r = FCalls.Ioctl(fd, PPEXCL, nullptr);
        if (r == 0) r = FCalls.Ioctl(fd, PPCLAIM, nullptr);
        if (r != 0) {
            FAdvice.push_back(PpdevAdvice(port.Path, -r, true));
            FCalls.Close(fd);
            continue;
        }
        FHeld.push_back({port, fd, false});
    }
    return !FHeld.empty();
}

std::string TPpdevIo::OpenAdvice() const {
    std::string text;
    for (const auto& a : FAdvice)
        text += (text.empty() ? "" : "; ") + a;
    return text;
}

void TPpdevIo::Close() {
    for (THeld& h : FHeld) {
        FCalls.Ioctl(h.Fd, PPRELEASE, nullptr);
        FCalls.Close(h.Fd);
    }
    FHeld.clear();
}

const TPpdevIo::THeld* TPpdevIo::Find(std::uint16_t Address, std::uint32_t& Offset) const {
    for (const THeld& h : FHeld) {
        const std::uint32_t distance = static_cast<std::uint32_t>(Address) - h.Port.Base;
        if (Address >= h.Port.Base && (distance <= 7 || (distance >= 0x400 && distance <= 0x402))) {
            Offset = distance;
            return &h;
        }
    }
    return nullptr;
}

TPpdevIo::THeld* TPpdevIo::Find(std::uint16_t Address, std::uint32_t& Offset) {
    return const_cast<THeld*>(static_cast<const TPpdevIo*>(this)->Find(Address, Offset));
}

bool TPpdevIo::Covers(std::uint16_t Address) const {
    std::uint32_t offset = 0;
    return Find(Address, offset) != nullptr;
}

std::vector<int> TPpdevIo::Claimed() const {
    std::vector<int> numbers;
    for (const THeld& h : FHeld)
        numbers.push_back(h.Port.Number);
    return numbers;
}

std::uint8_t TPpdevIo::GetPort(std::uint16_t Address) {
    std::uint32_t offset = 0;
    THeld* h = Find(Address, offset);
    if (!h) return 0xFF;
    unsigned char value = 0xFF;
    switch (offset) {
    case 0:
        if (FCalls.Ioctl(h->Fd, PPRDATA, &value) != 0) return 0xFF;
        return value;
    case 1:
        if (FCalls.Ioctl(h->Fd, PPRSTATUS, &value) != 0) return 0xFF;
        return value;
    case 2:
        // The driver keeps the four output lines; the direction is ours.
        if (FCalls.Ioctl(h->Fd, PPRCONTROL, &value) != 0) return 0xFF;
        return static_cast<std::uint8_t>((value & 0x0F) | (h->Reverse ? 0x20 : 0));
    default:
        return 0xFF; // a register ppdev cannot reach
    }
}

void TPpdevIo::SetPort(std::uint16_t Address, std::uint8_t Value) {
    std::uint32_t offset = 0;
    THeld* h = Find(Address, offset);
    if (!h) return;
    unsigned char value = Value;
    switch (offset) {
    case 0:
        FCalls.Ioctl(h->Fd, PPWDATA, &value);
        break;
    case 2: {
        const bool reverse = (Value & 0x20) != 0;
        if (reverse != h->Reverse) {
            int direction = reverse ? 1 : 0;
            if (FCalls.Ioctl(h->Fd, PPDATADIR, &direction) == 0) h->Reverse = reverse;
        }
        value = static_cast<unsigned char>(Value & 0x0F);
        FCalls.Ioctl(h->Fd, PPWCONTROL, &value);
        break;
    }
    default:
        break; // the status register and the registers ppdev cannot reach
    }
}
