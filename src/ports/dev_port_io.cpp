#include "ports/dev_port_io.h"

#include <cstdlib>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The BIOS data area keeps the base addresses of LPT1..LPT3 as three
// little-endian words at physical address 0x408.
constexpr off_t kBiosLptTable = 0x408;

} // namespace

std::string PortDeviceAdvice(const std::string& Path, int Error) {
    // The kernel asks twice: the file's permissions (root:kmem 0640 on a
    // usual system, opened for writing: root only) give EACCES, and the
    // port device's own check for CAP_SYS_RAWIO and kernel lockdown EPERM.
    if (Error == EACCES)
        return Path + ": permission denied: the printer port needs root; run the program as root, for "
                      "instance with sudo (see Permissions in README.md)";
    if (Error == EPERM)
        return Path + ": operation not permitted: the printer port needs root with CAP_SYS_RAWIO, and a "
                      "kernel locked down (Secure Boot) refuses it even to root (see Permissions in "
                      "README.md)";
    return {};
}

TDevPortPaths TDevPortPaths::FromEnvironment() {
    TDevPortPaths paths;
    if (const char* port = std::getenv("NORVOISP_PORT_DEVICE"); port && *port) paths.Port = port;
    return paths;
}

TDevPortIo::TDevPortIo(TDevPortPaths Paths) : FPaths(std::move(Paths)) {}

TDevPortIo::~TDevPortIo() {
    ReleasePrinter();
    Close();
}

bool TDevPortIo::Open(std::uint8_t) {
    if (FPort >= 0) return true;
    FPort = ::open(FPaths.Port.c_str(), O_RDWR | O_CLOEXEC);
    const int error = FPort < 0 ? errno : 0;
    FLastError = FPort < 0 ? FPaths.Port + ": " + std::strerror(error) : "";
    FAdvice = FPort < 0 ? PortDeviceAdvice(FPaths.Port, error) : "";
    return FPort >= 0;
}

void TDevPortIo::Close() {
    if (FPort < 0) return;
    ::close(FPort);
    FPort = -1;
}

std::uint8_t TDevPortIo::GetPort(std::uint16_t Address) {
    std::uint8_t value = 0xFF;
    if (FPort < 0 || ::pread(FPort, &value, 1, Address) != 1) return 0xFF;
    return value;
}

void TDevPortIo::SetPort(std::uint16_t Address, std::uint8_t Value) {
    if (FPort < 0) return;
    // A port write either happens or not; nothing is retried.
    [[maybe_unused]] const ssize_t n = ::pwrite(FPort, &Value, 1, Address);
}

std::optional<std::array<std::uint16_t, 3>> TDevPortIo::BiosLptTable() {
    const int fd = ::open(FPaths.Memory.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::uint8_t bytes[6] = {};
    const ssize_t n = ::pread(fd, bytes, sizeof bytes, kBiosLptTable);
    ::close(fd);
    if (n != static_cast<ssize_t>(sizeof bytes)) return std::nullopt;
    std::array<std::uint16_t, 3> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return table;
}

bool TDevPortIo::AcquirePrinter(int Number) {
    if (FPrinter >= 0) return true;
    // The line printer driver lets one program at a time open its device.
    const std::string path = FPaths.PrinterPrefix + std::to_string(Number - 1);
    FPrinter = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    return FPrinter >= 0;
}

void TDevPortIo::ReleasePrinter() {
    if (FPrinter < 0) return;
    ::close(FPrinter);
    FPrinter = -1;
}
