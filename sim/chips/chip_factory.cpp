#include "chips/chip_factory.h"

#include "catalogue/device_list.h"
#include "chips/eeprom_24c.h"
#include "chips/eeprom_25c.h"
#include "chips/eeprom_93c.h"
#include "chips/spi_nor.h"
#include "errors/errors.h"

#include <chrono>

namespace {

struct TMicrowireGeometry {
    const char* Name;
    int X8;
    int X16;
};

// Address field widths from the parts' datasheets (start bit and opcode not
// counted). The 93C06 uses the 93C46 instruction format; the 93C56 and 93C76
// have one don't-care bit at the top of the field.
constexpr TMicrowireGeometry kMicrowire[] = {
    {"93C06", 7, 6}, {"93C46", 7, 6},   {"93C56", 9, 8},   {"93C57", 8, 7},
    {"93C66", 9, 8}, {"93C76", 11, 10}, {"93C86", 11, 10},
};

const TDevice* FindDevice(const std::string& Name) {
    const std::string wanted = AsciiUpper(Name);
    const TDeviceList& list = DeviceList();
    for (int i = 0; i < list.NumDevices(); ++i)
        if (AsciiUpper(list.Device(i)->DeviceName()) == wanted) return list.Device(i);
    return nullptr;
}

} // namespace

std::optional<std::pair<int, int>> MicrowireAddressBits(const std::string& Name) {
    const std::string wanted = AsciiUpper(Name);
    for (const auto& g : kMicrowire)
        if (wanted == g.Name) return std::make_pair(g.X8, g.X16);
    return std::nullopt;
}

std::vector<std::string> ChipNames() {
    std::vector<std::string> names;
    const TDeviceList& list = DeviceList();
    for (int i = 0; i < list.NumDevices(); ++i)
        names.push_back(list.Device(i)->DeviceName());
    return names;
}

std::unique_ptr<TSimChip> MakeChip(const std::string& Name, const TChipOptions& Options) {
    const TDevice* device = FindDevice(Name);
    if (!device) throw Exception("Unknown device \"" + Name + "\"");
    const std::size_t size = Options.Size.value_or(static_cast<std::size_t>(device->FlashSize()));
    const std::size_t page = Options.PageSize.value_or(static_cast<std::size_t>(device->PageSize()));
    const TSimDuration writeTime =
        Options.WriteTime.value_or(std::chrono::milliseconds(device->EEPROMTime()));
    const std::string& name = device->DeviceName();
    switch (device->ProgrammerId()) {
    case FAMILY_24C:
        return std::make_unique<T24CChip>(name, size, page, writeTime, Options.AddressPins,
                                          size == 131072 ? device->A16SelectBit() : 0);
    case FAMILY_25C:
        return std::make_unique<T25CChip>(name, size, page, writeTime, Options.Status);
    case FAMILY_93C: {
        const auto bits = MicrowireAddressBits(name);
        if (!bits) throw Exception("No Microwire geometry for \"" + name + "\"");
        return std::make_unique<T93CChip>(name, size, page, writeTime, bits->first, bits->second,
                                          Options.Organisation);
    }
    case FAMILY_SPI_FLASH:
        if (!device->SpiFlash()) throw Exception("No SPI flash entry for \"" + name + "\"");
        return std::make_unique<TSpiNorChip>(*device->SpiFlash());
    default:
        throw Exception("Unknown device family of \"" + name + "\"");
    }
}
