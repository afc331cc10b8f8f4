// The devices this programmer supports, in the order they are offered.
#include "catalogue/device_list.h"

#include <algorithm>
#include <tuple>

namespace {

struct CatalogueRow {
    const char* name;
    std::uint8_t family;
    std::int32_t flashSize;
    std::int32_t eepromSize;
    std::int32_t pageSize;
    std::uint8_t eepromTime; // default write delay, ms
    std::uint8_t flashTime;  // kept in the record, not used by the drivers
    // 24C parts of 128 KiB: the select-byte bit that carries address bit 16
    // (TDevice::A16SelectBit); no other part has one.
    std::uint8_t a16SelectBit = 0;
};

// Where the 128 KiB parts put address bit 16, from their datasheets.
constexpr std::uint8_t A16InBit1 = 1; // Atmel AT24C1024 (P0), ST M24M01 (A16)
constexpr std::uint8_t A16InBit3 = 3; // Microchip 24xx1025 (block select B0)

// clang-format off
constexpr CatalogueRow kCatalogue[] = {
    {"24C00",      FAMILY_24C,     16, 0,   1, 5, 0},
    {"24C01",      FAMILY_24C,    128, 0,   4, 5, 0},
    {"24WC01",     FAMILY_24C,    128, 0,   4, 5, 0},
    {"24C02",      FAMILY_24C,    256, 0,   4, 5, 0},
    {"24WC02",     FAMILY_24C,    256, 0,   4, 5, 0},
    {"24C04",      FAMILY_24C,    512, 0,   4, 5, 0},
    {"24WC04",     FAMILY_24C,    512, 0,   4, 5, 0},
    {"24C08",      FAMILY_24C,   1024, 0,  16, 5, 0},
    {"24WC08",     FAMILY_24C,   1024, 0,  16, 5, 0},
    {"24C16",      FAMILY_24C,   2048, 0,  16, 5, 0},
    {"24WC16",     FAMILY_24C,   2048, 0,  16, 5, 0},
    {"24C32",      FAMILY_24C,   4096, 0,  16, 5, 0},
    {"24WC32",     FAMILY_24C,   4096, 0,  16, 5, 0},
    {"24C64",      FAMILY_24C,   8192, 0,  16, 5, 0},
    {"24WC64",     FAMILY_24C,   8192, 0,  16, 5, 0},
    {"24C128",     FAMILY_24C,  16384, 0,  64, 5, 0},
    {"24WC128",    FAMILY_24C,  16384, 0,  64, 5, 0},
    {"24C256",     FAMILY_24C,  32768, 5,  64, 5, 0},
    {"24WC256",    FAMILY_24C,  32768, 5,  64, 5, 0},
    {"24C512",     FAMILY_24C,  65536, 0, 128, 5, 0},
    // The page is the unit of a write: the AT24C1024B and M24M01 have pages
    // of 256 bytes, written in halves (the unit's page command carries at
    // most 255 bytes).
    {"24C1024",    FAMILY_24C, 131072, 0, 128, 5, 0, A16InBit1},
    {"24LC1025",   FAMILY_24C, 131072, 0, 128, 5, 0, A16InBit3},
    {"24M01",      FAMILY_24C, 131072, 0, 128, 5, 0, A16InBit1},
    {"25C010",     FAMILY_25C,    128, 0,  16, 5, 0},
    {"25010",      FAMILY_25C,    128, 0,  16, 5, 0},
    {"25010 (AT)", FAMILY_25C,    128, 0,   8, 5, 0},
    {"25C01",      FAMILY_25C,    128, 0,  16, 5, 0},
    {"25C020",     FAMILY_25C,    256, 0,  16, 5, 0},
    {"25020",      FAMILY_25C,    256, 0,  16, 5, 0},
    {"25C02",      FAMILY_25C,    256, 0,  16, 5, 0},
    {"25C040",     FAMILY_25C,    512, 0,  16, 5, 0},
    {"25C04",      FAMILY_25C,    512, 0,  16, 5, 0},
    {"25040",      FAMILY_25C,    512, 0,  16, 5, 0},
    {"25C080",     FAMILY_25C,   1024, 0,  32, 5, 0},
    {"25C08",      FAMILY_25C,   1024, 0,  32, 5, 0},
    {"25C160",     FAMILY_25C,   2048, 0,  32, 5, 0},
    {"25C16",      FAMILY_25C,   2048, 0,  32, 5, 0},
    {"25C320",     FAMILY_25C,   4096, 0,  32, 5, 0},
    {"25C32",      FAMILY_25C,   4096, 0,  32, 5, 0},
    {"25C640",     FAMILY_25C,   8192, 0,  32, 5, 0},
    {"25C64",      FAMILY_25C,   8192, 0,  32, 5, 0},
    {"25C128",     FAMILY_25C,  16384, 0,  64, 5, 0},
    {"25C256",     FAMILY_25C,  32768, 0,  64, 5, 0},
    {"25256",      FAMILY_25C,  32768, 0,  64, 5, 0},
    {"25HP256",    FAMILY_25C,  32768, 0, 128, 5, 0},
    {"25HP512",    FAMILY_25C,  65536, 0, 128, 5, 0},
    {"93C06",      FAMILY_93C,     32, 0,  16, 6, 10},
    {"93C46",      FAMILY_93C,    128, 0,  16, 6, 10},
    {"93C56",      FAMILY_93C,    256, 0,  16, 4, 12},
    {"93C57",      FAMILY_93C,    256, 0,  16, 5, 11},
    {"93C66",      FAMILY_93C,    512, 0,  16, 4, 12},
    {"93C76",      FAMILY_93C,   1024, 0,  32, 2, 14},
    {"93C86",      FAMILY_93C,   2048, 0,  32, 2, 14},
};
// clang-format on

} // namespace

void TDeviceList::RegisterDeviceList() {
    const TProgrammerSupport support{pk_usb, pk_eisp};
    for (const auto& row : kCatalogue) {
        std::vector<TDeviceOptions> options;
        options.emplace_back(support, nullptr, nullptr,
                             std::make_shared<TTimings>(0, row.flashTime, row.eepromTime, 0), nullptr);
        auto device = std::make_unique<TDevice>(row.name, row.family, support, row.flashSize, row.eepromSize,
                                                row.pageSize, std::move(options));
        device->SetA16SelectBit(row.a16SelectBit);
        AddDevice(std::move(device));
    }
}

void TDeviceList::RegisterSpiFlashDevices(const TSpiFlashDatabase& Database) {
    // The PC polls the part's busy bit: the unit is told no write delay.
    const TProgrammerSupport support{pk_usb, pk_eisp};
    std::vector<TSpiFlashDatabase::TPartPtr> parts = Database.Parts();
    std::sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) {
        return std::tie(a->Maker, a->Size, a->Name) < std::tie(b->Maker, b->Size, b->Name);
    });
    for (const auto& part : parts) {
        std::vector<TDeviceOptions> options;
        options.emplace_back(support, nullptr, nullptr, std::make_shared<TTimings>(0, 0, 0, 0), nullptr);
        auto device = std::make_unique<TDevice>(
            part->Name, FAMILY_SPI_FLASH, support, static_cast<std::int32_t>(part->Size), 0,
            static_cast<std::int32_t>(part->PageSize), std::move(options));
        device->SetSpiFlash(part);
        AddDevice(std::move(device));
    }
}
