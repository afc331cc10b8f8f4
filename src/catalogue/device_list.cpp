#include "catalogue/device_list.h"

#include <stdexcept>

std::string AsciiUpper(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

int TDeviceList::AddDevice(std::unique_ptr<TDevice> Device) {
    FDevices.push_back(std::move(Device));
    return NumDevices() - 1;
}

TDevice* TDeviceList::Device(int Index) const {
    if (Index < 0 || Index >= NumDevices())
        throw std::out_of_range("List index out of bounds (" + std::to_string(Index) + ")");
    return FDevices[static_cast<size_t>(Index)].get();
}

std::vector<std::string> TDeviceList::GetDeviceList(TProgrammerSupport ProgrammerSupport,
                                                    int DeviceType) const {
    std::vector<std::string> names;
    for (const auto& d : FDevices)
        if (d->ProgrammerSupport().Intersects(ProgrammerSupport) && d->ProgrammerId() == DeviceType)
            names.push_back(d->DeviceName());
    return names;
}

TDevice* TDeviceList::GetDefaultDevice(TProgrammerSupport ProgrammerSupport, int DeviceType) const {
    for (const auto& d : FDevices)
        if (d->ProgrammerSupport().Intersects(ProgrammerSupport) && d->ProgrammerId() == DeviceType)
            return d.get();
    return nullptr;
}

TDevice* TDeviceList::GetNewDeviceInstance(const std::string& DeviceString,
                                           TProgrammerSupport CurrentSupport) const {
    const std::string wanted = AsciiUpper(DeviceString);
    TDevice* found = nullptr;
    for (const auto& d : FDevices)
        if (AsciiUpper(d->DeviceName()) == wanted && d->ProgrammerSupport().Intersects(CurrentSupport))
            found = d.get();
    if (found) return found;
    for (const auto& d : FDevices) {
        if (!d->SpiFlash() || !d->ProgrammerSupport().Intersects(CurrentSupport)) continue;
        for (const auto& alias : d->SpiFlash()->Aliases)
            if (AsciiUpper(alias) == wanted) found = d.get();
    }
    return found;
}

TDeviceList& DeviceList() {
    static TDeviceList* list = [] {
        auto* l = new TDeviceList; // lives until the process ends
        l->RegisterDeviceList();
        l->RegisterSpiFlashDevices(SpiFlashDatabase());
        return l;
    }();
    return *list;
}
