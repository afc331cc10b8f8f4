// The abstract programmer driver. The device session owns one driver at a
// time, creates it by name from the hardware registry and reaches the
// programmer only through these operations. Failures are raised as
// exceptions. The write delay and flash time are the fields of the drivers
// that use them.
#pragma once

#include "buffer/hex_list.h"
#include "catalogue/device.h"
#include "catalogue/programmer_support.h"

#include <cstdint>
#include <functional>
#include <string>

class TISPSettings;

// Progress callback: (current, maximum); (-1, -1) only keeps the user
// interface alive. It may raise EAbortOp, which passes through the driver.
using TProgressUpdate = std::function<void(int Current, int Maximum)>;

// How a whole-device read makes sure of what it read. Neither the unit's
// link nor a chip's bus carries a checksum (and the CH341A's USB checks
// only its own wire, not the wires to the chip), so a byte garbled on its
// way would be saved as if it were the chip's.
enum TReadCheck : std::uint8_t {
    rc_Compared, // every block read twice and the two compared (the default)
    rc_Single,   // every block read once: faster, and a garbled byte goes unnoticed
};

class TISPProgrammer {
  public:
    TISPProgrammer();
    virtual ~TISPProgrammer();
    TISPProgrammer(const TISPProgrammer&) = delete;
    TISPProgrammer& operator=(const TISPProgrammer&) = delete;

    virtual void SetDevice(TDevice* Value) { FDevice = Value; }
    virtual void SetProgmode(std::uint8_t value) { FProgmode = value; }

    // Memory operations. Those a driver does not provide raise EISPException.
    virtual void ProgramFlash(THexList& Afile);
    virtual void ProgramEEPROM(THexList& Afile);
    virtual void VerifyFlash(THexList& Afile);
    virtual void VerifyEEPROM(THexList& Afile);
    virtual void ReadFlash(THexList& Afile);
    virtual void ReadEEPROM(THexList& Afile);
    virtual void EraseDevice();
    virtual std::uint8_t ReadOptionByte();
    virtual void WriteOptionByte(std::uint8_t Option);
    virtual void CheckValidDeviceSelected(THexList& Afile);
    virtual void WriteTiming(std::uint8_t Timing);
    virtual std::uint8_t ReadTiming();
    virtual void DetectTargetSpeed(THexList& Afile);
    virtual void ProgramResetPolarity(std::uint8_t value);
    virtual std::string GetDeviceSignature();
    virtual std::string GetFirmwareFileName();
    virtual void AskOptions();
    virtual void Run(std::uint8_t pol);
    virtual bool HardwareOpen();
    virtual void HardwareClose();
    virtual std::string HardwareStatus();
    virtual void ShowStatus(const std::string& ISPGoldVersion);
    virtual std::uint8_t ReadCal();
    virtual void CheckSoftwareVersion();
    virtual void SetSlowSCK(bool value);
    virtual void LoadSettings();
    virtual void SaveSettings();
    virtual void TestRoutine(char c, std::uint8_t b);
    virtual void ResetInhibitOff();
    virtual void RedLEDon();
    virtual void GreenLEDon();
    virtual bool TargetFound();
    virtual void SetTimings(int value);
    virtual void CheckISPMode();
    virtual void WriteString(char TriggerChar, const std::string& Data);
    virtual void WriteStringNOACK(char TriggerChar, const std::string& Data);
    virtual void WriteAll(std::uint16_t value);
    virtual std::string GetFirmwareVers();

    void ResetAbort() { FAborted = false; }
    // Calls the progress callback when one is set. The memory operations
    // report after every block: a transport may settle its link there.
    virtual void DoUpdateProgress(int I, int Size);
    // The support set of the registry entry the driver was created from
    // (the registry hands it over with the name).
    TProgrammerSupport GetHardwareType() const { return FHardwareSupport; }
    void SetHardwareSupport(TProgrammerSupport Value) { FHardwareSupport = Value; }

    TDevice* Device() const { return FDevice; }
    std::uint8_t ProgMode() const { return FProgmode; }
    const std::string& HardwareName() const { return FHardwareName; }
    void SetHardwareName(const std::string& Value) { FHardwareName = Value; }
    bool HasOptions() const { return FHadOptions; }
    void SetHadOptions(bool Value) { FHadOptions = Value; }
    bool HasStatus() const { return FHasStatus; }
    void SetHasStatus(bool Value) { FHasStatus = Value; }
    const TProgressUpdate& OnProgressUpdate() const { return FOnProgressUpdate; }
    void SetOnProgressUpdate(TProgressUpdate Value) { FOnProgressUpdate = std::move(Value); }
    TISPSettings* SaveLocation() const { return FSaveLocation; }
    void SetSaveLocation(TISPSettings* Value) { FSaveLocation = Value; }
    std::uint32_t WindowHandle() const { return FWindowHandle; }
    void SetWindowHandle(std::uint32_t Value) { FWindowHandle = Value; }

    bool CanSetSlowSCK = false;
    bool SlowSCK = false;
    // ReadFlash reads every block twice and fails, listing the addresses
    // that differed, when the two reads of a block disagree.
    TReadCheck ReadCheck = rc_Compared;

  protected:
    // Raises the error for an operation this driver does not provide.
    [[noreturn]] void NotProvided(const char* Operation) const;

    bool FAborted = false;
    std::uint8_t FProgmode = 0;
    TDevice* FDevice = nullptr;
    std::uint32_t FWindowHandle = 0;
    TProgressUpdate FOnProgressUpdate;
    std::string FHardwareName;
    TProgrammerSupport FHardwareSupport;
    bool FHadOptions = false;
    bool FHasStatus = false;
    TISPSettings* FSaveLocation = nullptr;
};
