#include "programmer/hardware_registry.h"

#include "catalogue/device_list.h"
#include "errors/errors.h"
#include "programmer/ch341a/ch341a_module.h"
#include "programmer/isp_programmer.h"
#include "programmer/unit/smart_dongle.h"

void THardwareRegistry::RegisterNewHardware(const std::string& HardwareName, TProgrammerSupport HardwareType,
                                            THardwareFactory NewInstance, bool AVisible,
                                            const std::string& Caption) {
    ++FNumhardware;
    FAvailableHardware.resize(static_cast<size_t>(FNumhardware) + 1);
    THardware& h = FAvailableHardware.back();
    h.Visible = AVisible;
    h.HardwareName = AsciiUpper(HardwareName);
    h.HardwareSupport = HardwareType;
    h.NewInstance = std::move(NewInstance);
    h.Caption = Caption;
}

int THardwareRegistry::GetHardwareIndex(const std::string& HardwareName) const {
    const std::string wanted = AsciiUpper(HardwareName);
    int found = -1;
    for (int i = 0; i <= FNumhardware; ++i)
        if (AsciiUpper(FAvailableHardware[static_cast<size_t>(i)].HardwareName) == wanted) found = i;
    return found;
}

THardware THardwareRegistry::GetHardware(int HardwareIndex) const {
    if (HardwareIndex < 0 || HardwareIndex > FNumhardware)
        throw EISPException("Internal error: Invalid Hardware Select", false, "");
    return FAvailableHardware[static_cast<size_t>(HardwareIndex)];
}

THardware THardwareRegistry::GetHardware(const std::string& HardwareName) const {
    return GetHardware(GetHardwareIndex(HardwareName));
}

std::unique_ptr<TISPProgrammer> THardwareRegistry::GetNewHardwareInstance(int HardwareID) const {
    const THardware h = GetHardware(HardwareID);
    if (!h.NewInstance) throw EISPException("Internal error: Invalid Hardware Select", false, "");
    auto driver = h.NewInstance();
    driver->SetHardwareName(h.HardwareName);
    return driver;
}

TProgrammerSupport THardwareRegistry::GetHardwareType(int HardwareID) const {
    return GetHardware(HardwareID).HardwareSupport;
}

std::vector<std::string> THardwareRegistry::GetAllHardwareAsList() const {
    std::vector<std::string> names;
    for (const auto& h : FAvailableHardware)
        if (h.Visible) names.push_back(h.HardwareName);
    return names;
}

std::string THardwareRegistry::CheckValidHardware(const std::string& HardwareName) const {
    try {
        if (GetHardwareIndex(HardwareName) >= 0) return HardwareName;
        return GetHardware(0).HardwareName;
    } catch (const EISPException&) {
        return FAvailableHardware.empty() ? std::string() : FAvailableHardware.front().HardwareName;
    }
}

THardwareRegistry& HardwareRegistry() {
    static THardwareRegistry registry;
    // The driver modules register their kinds before anything can look them
    // up: the programmer unit's first (entry 0 is the default kind), then
    // the CH341A, then the simulated unit after every kind that drives
    // hardware.
    static const bool started = (RegisterSmartDongleHardware(registry), RegisterCh341aHardware(registry),
                                 RegisterSimulatedUnitHardware(registry), true);
    (void)started;
    return registry;
}

void RegisterNewHardware(const std::string& HardwareName, TProgrammerSupport HardwareType,
                         THardwareFactory NewInstance, bool AVisible, const std::string& Caption) {
    HardwareRegistry().RegisterNewHardware(HardwareName, HardwareType, std::move(NewInstance), AVisible,
                                           Caption);
}
int GetHardwareIndex(const std::string& HardwareName) {
    return HardwareRegistry().GetHardwareIndex(HardwareName);
}
THardware GetHardware(int HardwareIndex) {
    return HardwareRegistry().GetHardware(HardwareIndex);
}
THardware GetHardware(const std::string& HardwareName) {
    return HardwareRegistry().GetHardware(HardwareName);
}
std::unique_ptr<TISPProgrammer> GetNewHardwareInstance(int HardwareID) {
    return HardwareRegistry().GetNewHardwareInstance(HardwareID);
}
TProgrammerSupport GetHardwareType(int HardwareID) {
    return HardwareRegistry().GetHardwareType(HardwareID);
}
std::vector<std::string> GetAllHardwareAsList() {
    return HardwareRegistry().GetAllHardwareAsList();
}
std::string CheckValidHardware(const std::string& HardwareName) {
    return HardwareRegistry().CheckValidHardware(HardwareName);
}
