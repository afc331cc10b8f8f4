// One memory device of the catalogue.
#pragma once

#include "catalogue/device_panel.h"
#include "catalogue/programmer_support.h"
#include "catalogue/spi_flash_part.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Timings of an options record, each an unsigned byte (milliseconds).
struct TTimings {
    std::uint8_t Erase = 0;
    std::uint8_t PageWrite = 0;
    std::uint8_t EEPROM = 0;
    std::uint8_t Flash = 0;

    TTimings() = default;
    TTimings(std::uint8_t AErase, std::uint8_t AFlash, std::uint8_t AEEPROM, std::uint8_t APageWrite)
        : Erase(AErase), PageWrite(APageWrite), EEPROM(AEEPROM), Flash(AFlash) {}
};

// Fuse and voltage records; no catalogue device fills them.
struct TFuseOptions {};
struct TVoltageOptions {};

struct TDeviceOptions {
    TProgrammerSupport ProgrammerSupport;
    std::shared_ptr<TTimings> Timings;
    std::shared_ptr<TFuseOptions> Fuses;
    std::shared_ptr<TFuseOptions> ExtFuses;
    std::shared_ptr<TVoltageOptions> Voltages;

    TDeviceOptions(TProgrammerSupport AProgrammerSupport, std::shared_ptr<TFuseOptions> AFuses,
                   std::shared_ptr<TFuseOptions> AExtFuses, std::shared_ptr<TTimings> ATimings,
                   std::shared_ptr<TVoltageOptions> AVoltages)
        : ProgrammerSupport(AProgrammerSupport), Timings(std::move(ATimings)), Fuses(std::move(AFuses)),
          ExtFuses(std::move(AExtFuses)), Voltages(std::move(AVoltages)) {}
};

// Family numbers (also the item index of the device-type drop-down).
enum : std::uint8_t { FAMILY_24C = 0, FAMILY_25C = 1, FAMILY_93C = 2, FAMILY_SPI_FLASH = 3 };

// "24C", "25C", "93C", "SPI Flash"; "?" for a number that is no family.
const char* FamilyName(std::uint8_t ProgrammerId);
// The bus a family's parts sit on, numbered as the EEPROM families that
// define it (the programmer unit's "M" takes the same numbers): 24C I2C,
// 25C SPI, 93C Microwire; SPI flash rides the 25C bus.
std::uint8_t FamilyBus(std::uint8_t ProgrammerId);

class TDevice {
  public:
    // AOptions must hold at least one record; the device's write delay is the
    // first record's EEPROM timing.
    TDevice(std::string ADeviceName, std::uint8_t AProgrammerID, TProgrammerSupport AProgrammerSupport,
            std::int32_t AFlashSize, std::int32_t AEEPROMSize, std::int32_t APageSize,
            std::vector<TDeviceOptions> AOptions);

    std::uint8_t ProgrammerId() const { return FProgrammerId; }
    std::int32_t FlashSize() const { return FFlashSize; }
    std::int32_t EEPROMSize() const { return FEEPROMSize; }
    const std::string& DeviceName() const { return FDeviceName; }
    TProgrammerSupport ProgrammerSupport() const { return FProgrammerSupport; }
    std::int32_t PageSize() const { return FPageSize; }
    std::int32_t EEPROMTime() const { return FEEPROMTime; }
    const std::vector<std::string>& Signatures() const { return FSignatures; }
    const std::vector<TDeviceOptions>& Options() const { return FOptions; }

    void AddOptions(TDeviceOptions Options) { FOptions.push_back(std::move(Options)); }

    // The database's facts of an SPI flash part; nullptr for the EEPROMs.
    const TSpiFlashPart* SpiFlash() const { return FSpiFlash.get(); }
    const std::shared_ptr<const TSpiFlashPart>& SpiFlashPart() const { return FSpiFlash; }
    void SetSpiFlash(std::shared_ptr<const TSpiFlashPart> Part) { FSpiFlash = std::move(Part); }

    // A 24C part of 128 KiB: the bit of the select byte that carries address
    // bit 16 (1 on the AT24C1024 and 24M01, 3 on Microchip's 24xx1025); 0
    // for the parts that have no address bit 16.
    std::uint8_t A16SelectBit() const { return FA16SelectBit; }
    void SetA16SelectBit(std::uint8_t Bit) { FA16SelectBit = Bit; }

    // Panel factory; empty until the user interface installs one.
    const TFusesFormFactory& FusesForm() const { return FFusesForm; }
    void SetFusesForm(TFusesFormFactory AFusesForm) { FFusesForm = std::move(AFusesForm); }

    // The factory every catalogue device starts with. The user interface sets
    // it once at start-up, before it builds any panel.
    static TFusesFormFactory& BasePanelFactory();

  private:
    std::uint8_t FProgrammerId = 0;
    std::int32_t FFlashSize = 0;
    std::int32_t FEEPROMSize = 0;
    std::string FDeviceName;
    TProgrammerSupport FProgrammerSupport;
    std::int32_t FPageSize = 0;
    std::int32_t FEEPROMTime = 0;
    TFusesFormFactory FFusesForm;
    std::vector<std::string> FSignatures;
    std::vector<TDeviceOptions> FOptions;
    std::shared_ptr<const TSpiFlashPart> FSpiFlash;
    std::uint8_t FA16SelectBit = 0;
};
