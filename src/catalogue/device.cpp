#include "catalogue/device.h"

#include <stdexcept>

const char* FamilyName(std::uint8_t ProgrammerId) {
    switch (ProgrammerId) {
    case FAMILY_24C:
        return "24C";
    case FAMILY_25C:
        return "25C";
    case FAMILY_93C:
        return "93C";
    case FAMILY_SPI_FLASH:
        return "SPI Flash";
    default:
        return "?";
    }
}

std::uint8_t FamilyBus(std::uint8_t ProgrammerId) {
    return ProgrammerId == FAMILY_SPI_FLASH ? std::uint8_t{FAMILY_25C} : ProgrammerId;
}

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
