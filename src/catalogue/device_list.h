// The catalogue of devices and its lookups.
#pragma once

#include "catalogue/device.h"
#include "catalogue/spi_flash_database.h"

#include <memory>
#include <string>
#include <vector>

class TDeviceList {
  public:
    TDeviceList() = default;
    TDeviceList(const TDeviceList&) = delete;
    TDeviceList& operator=(const TDeviceList&) = delete;

    // Appends; returns the new index.
    int AddDevice(std::unique_ptr<TDevice> Device);
    // 0-based; an index outside the list raises std::out_of_range.
    TDevice* Device(int Index) const;
    TDevice* GetDevice(int Index) const { return Device(Index); }
    int NumDevices() const { return static_cast<int>(FDevices.size()); }

    // Names of the devices of family DeviceType supported by ProgrammerSupport,
    // in registration order.
    std::vector<std::string> GetDeviceList(TProgrammerSupport ProgrammerSupport, int DeviceType) const;
    // The first device passing the same tests as GetDeviceList; nullptr when none.
    TDevice* GetDefaultDevice(TProgrammerSupport ProgrammerSupport, int DeviceType) const;
    // The device named DeviceString (ASCII case-insensitive) supported by
    // CurrentSupport, any family; the last match wins. An SPI flash part is
    // also found by an alias when no device has the name itself. nullptr
    // when none.
    TDevice* GetNewDeviceInstance(const std::string& DeviceString, TProgrammerSupport CurrentSupport) const;

    // Appends the catalogue's devices in table order.
    void RegisterDeviceList();
    // Appends a device of family FAMILY_SPI_FLASH for every part of
    // Database, sorted by maker, then size, then name.
    void RegisterSpiFlashDevices(const TSpiFlashDatabase& Database);

  private:
    std::vector<std::unique_ptr<TDevice>> FDevices;
};

// The one catalogue of the process, built on first use and never freed:
// the EEPROM table, then the SPI flash parts of SpiFlashDatabase().
TDeviceList& DeviceList();

// Plain ASCII upper-casing, the rule every name comparison uses.
std::string AsciiUpper(std::string s);
