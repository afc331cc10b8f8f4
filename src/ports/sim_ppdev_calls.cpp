#include "ports/sim_ppdev_calls.h"

#include <cerrno>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

void TSimPpdevCalls::AddDevice(const std::string& Path, TSimPrinterPort& Port) {
    FDevices[Path].Port = &Port;
}

bool TSimPpdevCalls::Claimed(const std::string& Path) const {
    for (const auto& [fd, file] : FFiles)
        if (file.Path == Path && file.Claimed) return true;
    return false;
}

int TSimPpdevCalls::Record(const std::string& Path, unsigned long Request, int Value, int Result) {
    ++FCalls;
    if (KeepLog) FLog.push_back({Path, Request, Value, Result});
    return Result;
}

int TSimPpdevCalls::Open(const std::string& Path) {
    if (const auto e = OpenErrors.find(Path); e != OpenErrors.end()) return Record(Path, 0, 0, -e->second);
    if (!FDevices.count(Path)) return Record(Path, 0, 0, -ENOENT);
    const int fd = FNextFd++;
    FFiles[fd].Path = Path;
    return Record(Path, 0, 0, fd);
}

void TSimPpdevCalls::Close(int Fd) {
    const auto it = FFiles.find(Fd);
    if (it == FFiles.end()) return;
    Record(it->second.Path, 0, 0, 0);
    FFiles.erase(it); // closing releases the port and unregisters
}

int TSimPpdevCalls::Ioctl(int Fd, unsigned long Req, void* Arg) {
    const auto it = FFiles.find(Fd);
    if (it == FFiles.end()) return Record("", Req, 0, -EBADF);
    TFile& file = it->second;
    TDevice& device = FDevices[file.Path];
    return Request(file, device, Req, Arg);
}

int TSimPpdevCalls::Request(TFile& File, TDevice& Device, unsigned long Req, void* Arg) {
    const std::string& path = File.Path;
    auto* byte = static_cast<unsigned char*>(Arg);
    TSimPrinterPort& port = *Device.Port;
    const std::uint16_t base = port.Base();
    switch (Req) {
    case PPEXCL:
        if (File.Registered) return Record(path, Req, 0, File.Exclusive ? 0 : -EINVAL);
        File.Exclusive = true;
        return Record(path, Req, 0, 0);
    case PPCLAIM: {
        if (File.Claimed) return Record(path, Req, 0, -EINVAL);
        if (!File.Registered) {
            bool others = OtherDriver.count(path) > 0;
            for (const auto& [fd, f] : FFiles)
                if (&f != &File && f.Path == path && f.Registered) others = true;
            // An exclusive registration fails beside any other device; a
            // shared claim would wait for the holder, which this never does.
            if (others) return Record(path, Req, 0, File.Exclusive ? -ENXIO : -EAGAIN);
            File.Registered = true;
        }
        File.Claimed = true;
        // The driver restores the port's state for the new holder.
        Device.Control = 0x0C;
        if (port.Kind() == TSimLptKind::Ecp) port.Write(static_cast<std::uint16_t>(base + 0x402), 0x34);
        port.Write(static_cast<std::uint16_t>(base + 2), Device.Control);
        return Record(path, Req, 0, 0);
    }
    default:
        break;
    }
    if (!File.Claimed) return Record(path, Req, 0, -EINVAL);
    switch (Req) {
    case PPRELEASE:
        File.Claimed = false;
        return Record(path, Req, 0, 0);
    case PPRDATA:
        *byte = port.Read(base);
        return Record(path, Req, *byte, 0);
    case PPRSTATUS:
        *byte = port.Read(static_cast<std::uint16_t>(base + 1));
        return Record(path, Req, *byte, 0);
    case PPRCONTROL:
        *byte = static_cast<unsigned char>(Device.Control & 0x0F);
        return Record(path, Req, *byte, 0);
    case PPWDATA:
        port.Write(base, *byte);
        return Record(path, Req, *byte, 0);
    case PPWCONTROL:
        Device.Control = static_cast<std::uint8_t>((Device.Control & ~0x0F) | (*byte & 0x0F));
        port.Write(static_cast<std::uint16_t>(base + 2), Device.Control);
        return Record(path, Req, *byte, 0);
    case PPDATADIR: {
        const int reverse = *static_cast<int*>(Arg);
        Device.Control = static_cast<std::uint8_t>(reverse ? Device.Control | 0x20 : Device.Control & ~0x20);
        port.Write(static_cast<std::uint16_t>(base + 2), Device.Control);
        return Record(path, Req, reverse, 0);
    }
    default:
        return Record(path, Req, 0, -EINVAL);
    }
}
