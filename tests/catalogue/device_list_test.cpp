#include "catalogue/device_list.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const TProgrammerSupport kEisp{pk_eisp};

TEST(ProgrammerSupport, IsOneByteBitSetInModelOrder) {
    EXPECT_EQ((TProgrammerSupport{pk_usb, pk_eisp}).AsByte(), 0x05);
    EXPECT_EQ(kEisp.AsByte(), 0x04);
    EXPECT_EQ((TProgrammerSupport{pk_partner}).AsByte(), 0x40);
    EXPECT_TRUE((TProgrammerSupport{pk_usb, pk_eisp}).Intersects(kEisp));
    EXPECT_FALSE((TProgrammerSupport{pk_isp}).Intersects(TProgrammerSupport{pk_usb, pk_eisp}));
    EXPECT_EQ(sizeof(TProgrammerSupport), 1u);
}

TEST(Catalogue, HoldsFiftyThreeDevicesWithTheirValues) {
    const auto& list = DeviceList();
    // The EEPROM table first; the SPI flash parts of the database follow it.
    ASSERT_GT(list.NumDevices(), 53);
    for (int i = 53; i < list.NumDevices(); ++i)
        ASSERT_EQ(list.Device(i)->ProgrammerId(), FAMILY_SPI_FLASH) << list.Device(i)->DeviceName();
    std::set<std::string> names;
    for (int i = 0; i < 53; ++i) {
        const TDevice* d = list.Device(i);
        names.insert(d->DeviceName());
        EXPECT_EQ(d->ProgrammerSupport().AsByte(), 0x05) << d->DeviceName();
        ASSERT_EQ(d->Options().size(), 1u);
        EXPECT_EQ(d->EEPROMTime(), d->Options()[0].Timings->EEPROM) << d->DeviceName();
        EXPECT_EQ(d->Options()[0].Timings->Erase, 0);
        EXPECT_EQ(d->Options()[0].Timings->PageWrite, 0);
        EXPECT_TRUE(d->Signatures().empty());
        EXPECT_EQ(d->EEPROMSize(), (d->DeviceName() == "24C256" || d->DeviceName() == "24WC256") ? 5 : 0);
    }
    EXPECT_EQ(names.size(), 53u) << "names are unique";

    struct Row {
        int index;
        const char* name;
        int family, flash, page, time, a16;
    };
    // Table positions, the odd values, the family boundaries and the 128 KiB
    // parts with the select bit of their address bit 16.
    const Row rows[] = {
        {0, "24C00", 0, 16, 1, 5, 0},           {17, "24C256", 0, 32768, 64, 5, 0},
        {19, "24C512", 0, 65536, 128, 5, 0},    {20, "24C1024", 0, 131072, 128, 5, 1},
        {21, "24LC1025", 0, 131072, 128, 5, 3}, {22, "24M01", 0, 131072, 128, 5, 1},
        {23, "25C010", 1, 128, 16, 5, 0},       {25, "25010 (AT)", 1, 128, 8, 5, 0},
        {45, "25HP512", 1, 65536, 128, 5, 0},   {46, "93C06", 2, 32, 16, 6, 0},
        {47, "93C46", 2, 128, 16, 6, 0},        {48, "93C56", 2, 256, 16, 4, 0},
        {49, "93C57", 2, 256, 16, 5, 0},        {50, "93C66", 2, 512, 16, 4, 0},
        {51, "93C76", 2, 1024, 32, 2, 0},       {52, "93C86", 2, 2048, 32, 2, 0},
    };
    for (const auto& r : rows) {
        const TDevice* d = list.Device(r.index);
        EXPECT_EQ(d->DeviceName(), r.name);
        EXPECT_EQ(d->ProgrammerId(), r.family) << r.name;
        EXPECT_EQ(d->FlashSize(), r.flash) << r.name;
        EXPECT_EQ(d->PageSize(), r.page) << r.name;
        EXPECT_EQ(d->EEPROMTime(), r.time) << r.name;
        EXPECT_EQ(d->A16SelectBit(), r.a16) << r.name;
    }
    // Only the parts with an address bit 16 name a select bit for it.
    for (int i = 0; i < 53; ++i)
        EXPECT_EQ(list.Device(i)->A16SelectBit() != 0, list.Device(i)->FlashSize() == 131072)
            << list.Device(i)->DeviceName();
    EXPECT_THROW(list.Device(list.NumDevices()), std::out_of_range);
    EXPECT_THROW(list.Device(-1), std::out_of_range);
}

TEST(Catalogue, DeviceListsByFamilyAndSupport) {
    const auto& list = DeviceList();
    const auto spi = list.GetDeviceList(kEisp, 1);
    ASSERT_EQ(spi.size(), 23u);
    EXPECT_EQ(spi.front(), "25C010");
    EXPECT_EQ(spi.back(), "25HP512");
    EXPECT_EQ(spi[2], "25010 (AT)");
    EXPECT_EQ(list.GetDeviceList(kEisp, 0).size(), 23u);
    const std::vector<std::string> mw{"93C06", "93C46", "93C56", "93C57", "93C66", "93C76", "93C86"};
    EXPECT_EQ(list.GetDeviceList(kEisp, 2), mw);
    EXPECT_FALSE(list.GetDeviceList(kEisp, FAMILY_SPI_FLASH).empty());
    EXPECT_TRUE(list.GetDeviceList(kEisp, 4).empty());
    EXPECT_TRUE(list.GetDeviceList(TProgrammerSupport{pk_isp}, 0).empty());
}

TEST(Catalogue, DefaultsAndNameLookups) {
    const auto& list = DeviceList();
    EXPECT_EQ(list.GetDefaultDevice(kEisp, 0)->DeviceName(), "24C00");
    EXPECT_EQ(list.GetDefaultDevice(kEisp, 1)->DeviceName(), "25C010");
    EXPECT_EQ(list.GetDefaultDevice(TProgrammerSupport{pk_usb}, 2)->DeviceName(), "93C06");
    EXPECT_EQ(list.GetDefaultDevice(TProgrammerSupport{pk_kit}, 0), nullptr);
    EXPECT_EQ(list.GetDefaultDevice(kEisp, 4), nullptr);

    EXPECT_EQ(list.GetNewDeviceInstance("24wc02", kEisp)->DeviceName(), "24WC02");
    EXPECT_EQ(list.GetNewDeviceInstance("93C46", kEisp)->ProgrammerId(), 2);
    EXPECT_EQ(list.GetNewDeviceInstance("25010 (at)", kEisp)->PageSize(), 8);
    EXPECT_EQ(list.GetNewDeviceInstance("AT45DB041", kEisp), nullptr);
    EXPECT_EQ(list.GetNewDeviceInstance("24C02", TProgrammerSupport{pk_isp}), nullptr);
    // Lookups hand out the catalogue's own instance, never a copy.
    EXPECT_EQ(list.GetNewDeviceInstance("24C02", kEisp), list.Device(3));
}

TEST(DeviceList, LastMatchingNameWins) {
    auto make = [](const char* name, int page) {
        std::vector<TDeviceOptions> o;
        o.emplace_back(kEisp, nullptr, nullptr, std::make_shared<TTimings>(0, 0, 7, 0), nullptr);
        return std::make_unique<TDevice>(name, 0, kEisp, 256, 0, page, std::move(o));
    };
    TDeviceList list;
    EXPECT_EQ(list.AddDevice(make("X1", 4)), 0);
    EXPECT_EQ(list.AddDevice(make("x1", 8)), 1);
    EXPECT_EQ(list.GetNewDeviceInstance("X1", kEisp)->PageSize(), 8);
    EXPECT_EQ(list.GetDefaultDevice(kEisp, 0)->PageSize(), 4);
    EXPECT_EQ(list.Device(0)->EEPROMTime(), 7);
}

TEST(Device, PanelFactoryUsesTheBaseFactoryInstalledLater) {
    struct Panel : TFusePanel {
        int ResetPolarityIndex() const override { return 2; }
        int DeviceAddressValue() const override { return 0; }
        int ModeIndex() const override { return 1; }
    };
    const TDevice* d = DeviceList().Device(0);
    EXPECT_EQ(d->FusesForm()(nullptr), nullptr); // no user interface installed
    static Panel panel;
    TDevice::BasePanelFactory() = [](void*) -> TFusePanel* { return &panel; };
    EXPECT_EQ(d->FusesForm()(nullptr), &panel);
    TDevice::BasePanelFactory() = nullptr;
}

} // namespace
