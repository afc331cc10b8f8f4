// TCh341A, the hardware kind "CH341A (USB)": the cheap USB programmer board
// with the WCH CH341A (1a86:5512) and a ZIF socket for 24C and 25C parts
// (93C parts on an adapter). It finds the board on the USB buses (by its
// place on the bus when several are plugged in), claims it, and runs the
// family algorithms with the board as their bus master (ch341_bus_master.h).
//
// Settings, in the section named after the kind:
//   "USBPATH"     where the board is plugged in ("1-1.4"); empty = the first found
//   "I2CSpeed"    I2C clock in kHz: 20, 100, 400 or 750 (default 400)
//   "EEPROMtime"  the write time in ms the write-cycle polls are bounded by,
//                 when "EEPROMtimeChosen" is 1 (the operator chose it);
//                 otherwise each device's own
//
// NORVOISP_CH341_TRACE=FILE appends every bulk transfer to FILE as a line
// ("OUT aa 74 80 a0 ...", "IN 00 ...").
#pragma once

#include "ports/usb_bulk_device.h"
#include "programmer/ch341a/ch341_bus_master.h"
#include "programmer/isp_programmer.h"

#include <memory>
#include <string>
#include <vector>

class TFamilyAlgorithms;

// The folders udev reads its rules from.
const std::vector<std::string>& UdevRuleFolders();
// What to do when the board's device node may not be opened: replug it (or
// join the group) when the rule 60-norvoisp.rules is in one of RuleFolders,
// otherwise install it from the source tree.
std::string Ch341PermissionFix(const std::vector<std::string>& RuleFolders);

class TCh341A : public TISPProgrammer {
  public:
    // On the computer's USB buses.
    TCh341A();
    // On Bus (an emulator, for tests and NORVOISP_CH341_SIM).
    explicit TCh341A(std::unique_ptr<TUsbBulkBus> Bus);
    ~TCh341A() override;

    void ProgramFlash(THexList& Afile) override;
    void VerifyFlash(THexList& Afile) override;
    void ReadFlash(THexList& Afile) override;
    void EraseDevice() override;
    std::uint8_t ReadOptionByte() override;
    void WriteOptionByte(std::uint8_t Option) override;
    void CheckValidDeviceSelected(THexList& Afile) override;
    void WriteTiming(std::uint8_t Timing) override;
    std::uint8_t ReadTiming() override;
    void DetectTargetSpeed(THexList& Afile) override;
    std::string GetFirmwareFileName() override;
    void AskOptions() override;
    // The board has no reset line for a target board: nothing to send.
    void Run(std::uint8_t pol) override;
    bool HardwareOpen() override;
    void HardwareClose() override;
    std::string HardwareStatus() override;
    void ShowStatus(const std::string& ISPGoldVersion) override;
    std::uint8_t ReadCal() override;
    void CheckSoftwareVersion() override;
    void LoadSettings() override;
    void SaveSettings() override;
    std::string GetFirmwareVers() override;
    // Opens the board when it is not open, then sets up its pins for the
    // device's family; a board that fails that is opened again once.
    void CheckISPMode() override;

    // Replaces the bus the board is looked for on (closing an open board).
    void SetUsbBus(std::unique_ptr<TUsbBulkBus> Bus);
    TUsbBulkBus* UsbBus() const { return FBus.get(); }

    // The open board; raises when none is open.
    TUsbTransfer& Transfer();
    bool IsOpen() const { return FTransfer != nullptr; }
    TCh341BusMaster& Master() { return FMaster; }
    // The I2C speed's setting code (0-3) for I2CSpeedKHz.
    std::uint8_t SpeedCode() const;
    // How long a write cycle may take before the polls give up: twice the
    // write time, plus 10 ms.
    TLinkDuration WriteCycleLimit() const;
    // The boards plugged in.
    std::vector<TUsbDeviceInfo> FindBoards();

    std::string UsbPath;
    int I2CSpeedKHz = 400;
    std::uint8_t EEPROMTime = 0; // the operator's choice in ms; 0 = each device's own

  private:
    TFamilyAlgorithms Algorithms();
    TDevice& Dev() const;
    // Runs Work; USB failures leave as EISPException with their message
    // (and a board that went away is closed).
    template <class TWork> auto Guarded(TWork&& Work) -> decltype(Work());
    [[noreturn]] void UsbFailed(const EUsbError& e);
    void Open();

    std::unique_ptr<TUsbBulkBus> FBus;
    std::unique_ptr<TUsbTransfer> FTransfer;
    TCh341BusMaster FMaster{*this};
};
