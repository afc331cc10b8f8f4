#include "kinds/hardware.h"

#include "kinds/kind_table.h"
#include "programmer/isp_programmer.h"

THardwareRegistry& HardwareRegistry() {
    static THardwareRegistry registry;
    static const bool started = [] {
        for (const THardwareKind* kind : KindTable())
            registry.RegisterKind(*kind);
        for (const THardwareKind* kind : KindTable())
            if (kind->StartUp) kind->StartUp();
        return true;
    }();
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

const THardwareKind* HardwareKind(const std::string& Name) {
    const int index = GetHardwareIndex(Name);
    return index < 0 ? nullptr : GetHardware(index).Kind;
}
