#include "catalogue/device_list.h"
#include "chips/chip_factory.h"
#include "errors/errors.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(ChipFactory, EveryCatalogueDeviceHasAModelWithItsFigures) {
    const auto& list = DeviceList();
    ASSERT_EQ(ChipNames().size(), static_cast<std::size_t>(list.NumDevices()));
    for (int i = 0; i < list.NumDevices(); ++i) {
        const TDevice* d = list.Device(i);
        SCOPED_TRACE(d->DeviceName());
        const auto chip = MakeChip(d->DeviceName());
        EXPECT_EQ(chip->Name(), d->DeviceName());
        EXPECT_EQ(chip->Family(), d->ProgrammerId());
        EXPECT_EQ(chip->Size(), static_cast<std::size_t>(d->FlashSize()));
        EXPECT_EQ(chip->PageSize(), static_cast<std::size_t>(d->PageSize()));
        if (!d->SpiFlash()) {
            EXPECT_EQ(chip->WriteTime(), std::chrono::milliseconds(d->EEPROMTime()));
        }
        EXPECT_EQ(chip->AsI2C() != nullptr, d->ProgrammerId() == FAMILY_24C);
        EXPECT_EQ(chip->AsSpi() != nullptr, FamilyBus(d->ProgrammerId()) == FAMILY_25C);
        EXPECT_EQ(chip->AsMicrowire() != nullptr, d->ProgrammerId() == FAMILY_93C);
    }
}

TEST(ChipFactory, NamesAreCaseInsensitiveAndOptionsOverride) {
    TChipOptions options;
    options.PageSize = 32;
    options.WriteTime = std::chrono::milliseconds(12);
    const auto chip = MakeChip("24c64", options);
    EXPECT_EQ(chip->Name(), "24C64");
    EXPECT_EQ(chip->PageSize(), 32u);
    EXPECT_EQ(chip->WriteTime(), std::chrono::milliseconds(12));
}

TEST(ChipFactory, BadNamesAndImpossibleOptionsAreRefused) {
    try {
        MakeChip("24C3");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unknown device \"24C3\"");
    }
    TChipOptions page;
    page.PageSize = 3;
    EXPECT_THROW(MakeChip("24C02", page), Exception);
    TChipOptions size;
    size.Size = 1000;
    EXPECT_THROW(MakeChip("25C080", size), Exception);
}
