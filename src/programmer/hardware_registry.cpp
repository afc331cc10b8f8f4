#include "programmer/hardware_registry.h"

#include "catalogue/device_list.h"
#include "errors/errors.h"
#include "programmer/hardware_kind.h"
#include "programmer/isp_programmer.h"

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

void THardwareRegistry::RegisterKind(const THardwareKind& Kind) {
    RegisterNewHardware(Kind.Name, Kind.Support, Kind.NewInstance, Kind.Visible, Kind.Caption);
    FAvailableHardware.back().Kind = &Kind;
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
    driver->SetHardwareSupport(h.HardwareSupport);
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
