#include "ports/system_lpt_io.h"

#include "ports/find_lpt.h"

#include <cstdlib>

TSystemLptPaths TSystemLptPaths::FromEnvironment() {
    TSystemLptPaths paths;
    paths.DevPort = TDevPortPaths::FromEnvironment();
    if (const char* prefix = std::getenv("NORVOISP_PARPORT_DEVICE"); prefix && *prefix)
        paths.PpdevPrefix = prefix;
    return paths;
}

std::vector<TPpdevPort> DiscoveredPpdevPorts(const std::string& Root, const std::string& Prefix) {
    std::vector<TPpdevPort> ports;
    if (Root.empty()) return ports;
    TFindLpt find(Root);
    for (int n = 1; n <= 7; ++n)
        if (find.SearchLpt(static_cast<std::uint8_t>(n)) && find.PortCounter() > 0)
            ports.push_back({n - 1, Prefix + std::to_string(n - 1), find.PortBase(1)});
    return ports;
}

TSystemLptIo::TSystemLptIo(TSystemLptPaths Paths, TPpdevCalls& Calls)
    : FPpdev(DiscoveredPpdevPorts(Paths.DiscoveryRoot, Paths.PpdevPrefix), Calls), FDevPort(Paths.DevPort) {}

bool TSystemLptIo::Open(std::uint8_t Instance) {
    if (FPpdevOpen || FDevPortOpen) return true;
    FPpdevOpen = FPpdev.Open(Instance);
    // /dev/port only for what ppdev does not hold.
    if (!FPpdevOpen || FPpdev.Claimed().size() < FPpdev.Ports().size())
        FDevPortOpen = FDevPort.Open(Instance);
    return FPpdevOpen || FDevPortOpen;
}

std::string TSystemLptIo::OpenAdvice() const {
    if (FPpdevOpen || FDevPortOpen) return {};
    std::string text = FPpdev.OpenAdvice();
    const std::string port = FDevPort.OpenAdvice();
    if (!port.empty()) text += (text.empty() ? "" : "; ") + port;
    return text;
}

void TSystemLptIo::Close() {
    FPpdev.Close();
    FDevPort.Close();
    FPpdevOpen = FDevPortOpen = false;
}

std::uint8_t TSystemLptIo::GetPort(std::uint16_t Address) {
    if (FPpdev.Covers(Address)) return FPpdev.GetPort(Address);
    return FDevPortOpen ? FDevPort.GetPort(Address) : 0xFF;
}

void TSystemLptIo::SetPort(std::uint16_t Address, std::uint8_t Value) {
    if (FPpdev.Covers(Address))
        FPpdev.SetPort(Address, Value);
    else if (FDevPortOpen)
        FDevPort.SetPort(Address, Value);
}
