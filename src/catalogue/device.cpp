#include "catalogue/device.h"

#include <stdexcept>

TFusesFormFactory& TDevice::BasePanelFactory() {
    static TFusesFormFactory factory;
    return factory;
}

TDevice::TDevice(std::string ADeviceName, std::uint8_t AProgrammerID, TProgrammerSupport AProgrammerSupport,
                 std::int32_t AFlashSize, std::int32_t AEEPROMSize, std::int32_t APageSize,
                 std::vector<TDeviceOptions> AOptions) {
    if (AOptions.empty() || !AOptions.front().Timings)
        throw std::invalid_argument("TDevice: a device needs an options record with timings");
    // The factory is looked up when a panel is built, so one installed after
    // the catalogue was made still applies.
    FFusesForm = [](void* Owner) -> TFusePanel* {
        const auto& base = BasePanelFactory();
        return base ? base(Owner) : nullptr;
    };
    FProgrammerSupport = AProgrammerSupport;
    FProgrammerId = AProgrammerID;
    FDeviceName = std::move(ADeviceName);
    FEEPROMSize = AEEPROMSize;
    FFlashSize = AFlashSize;
    FPageSize = APageSize;
    for (auto& o : AOptions)
        AddOptions(std::move(o));
    FEEPROMTime = FOptions.front().Timings->EEPROM;
}
