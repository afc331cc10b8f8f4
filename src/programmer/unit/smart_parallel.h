// TSmartParallel: the driver of the programmer unit. It frames commands
// (letter, argument bytes, acknowledgement), turns the unit's error codes into
// exceptions, opens and identifies the unit, selects the device family
// before every operation, and runs the family algorithms (I2C, SPI and
// Microwire sequences, whole-device read and verify: programmer/algorithms)
// with the unit as their bus master.
//
// The byte layer (ReadData, Writedata, WaitReady) and the page commands are
// virtual: this class moves bytes by the pin handshake of the printer port;
// TSmartSerial replaces them by a serial port, and everything above is shared.
#pragma once

#include "ports/link_clock.h"
#include "programmer/driver_module.h"
#include "programmer/isp_programmer.h"
#include "programmer/unit/unit_bus_master.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TFamilyAlgorithms;

class TSmartParallel : public TISPProgrammer {
  public:
    TSmartParallel();
    ~TSmartParallel() override;

    // --- operations of TISPProgrammer ---
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
    void CheckISPMode() override;
    void WriteString(char TriggerChar, const std::string& Data) override;
    void WriteStringNOACK(char TriggerChar, const std::string& Data) override;

    // --- operations this driver adds ---
    virtual void EnableProgramming();
    virtual void DisableProgramming();
    // Command TriggerChar, `length` reply bytes, then the acknowledgement.
    virtual std::string readstring(char TriggerChar, int length);
    // Reads `length` bytes from byte address From into Data[From...] with the
    // family's sequence (Microwire: one device page).
    virtual void ReadBuffer(std::vector<std::uint8_t>& Data, char TriggerChar, int From, int length,
                            std::uint8_t Progress);
    virtual std::uint8_t ReadData(bool Nice);
    virtual void Writedata(std::uint8_t Adata);
    virtual void Writedata(char Adata);
    // True when the unit has a byte to send.
    virtual bool WaitReady();
    virtual void GetAcknowledge();
    // Every command sent so far has been acknowledged. A transport that lets
    // acknowledgements wait (a serial unit that buffers commands) collects
    // them here; this link acknowledges each command at once.
    virtual void SyncCommands() {}
    virtual void CheckHardware();
    virtual std::string SVERSION();
    // The identification the unit must send: "VORIZORUV".
    virtual std::string HardwareID();
    virtual void DefaultTimeOut();
    virtual void writepage(std::uint8_t Size, const std::string& stream);
    virtual std::string readpage(std::uint8_t Size);
    // Into.size() bytes from the bus: readpage, unless the transport reads
    // longer blocks (a fast-link unit: 256 in one "R").
    virtual void ReadBlock(std::span<std::uint8_t> Into);
    // The block of a whole-device read of an I2C or SPI device: PageSize
    // unless the transport reads longer ones.
    virtual int ReadBlockSize(int PageSize, int DeviceSize) const;
    // After the unit reported received bytes lost ("?O", "?I"): the link is
    // brought back in step before the error is raised. Nothing to do on the
    // parallel link, whose unit never reports them.
    virtual void ResyncLink() {}

    // --- bus primitives ---
    void Start();
    void Stop();
    void i2c_reset();
    void writebyte(std::uint8_t bt);
    std::uint8_t readbyte();

    // --- family sequences (programmer/algorithms over this unit) ---
    TFamilyAlgorithms Algorithms();
    void i2c_ProgramFlash(THexList& Afile);
    virtual void i2c_ReadBuffer(std::vector<std::uint8_t>& Data, char TriggerChar, int From, int length,
                                std::uint8_t Progress);
    void spi_ProgramFlash(THexList& Afile);
    virtual void spi_ReadBuffer(std::vector<std::uint8_t>& Data, char TriggerChar, int From, int length,
                                std::uint8_t Progress);
    void mw_ProgramFlash(THexList& Afile);
    virtual void mw_ReadBuffer(std::vector<std::uint8_t>& Data, char TriggerChar, int From, int length,
                               std::uint8_t Progress);
    // Microwire command geometry from the device name and the organisation.
    void GetBitSize();
    void GetShiftLeft();

    // I2C addressing of byte address a: the device select byte (write) and
    // the word address bytes.
    std::uint8_t I2CSelect(int a) const;
    std::string I2CWordAddress(int a) const;

    // --- properties ---
    int MOSI() const { return FMOSI; }
    int SCK() const { return FSCK; }
    int SYNC() const { return FSYNC; }
    int MISO() const { return FMISO; }
    int PARR() const { return FPARR; }
    int RESET() const { return FRESET; }
    void SetMOSI(int Value) { FMOSI = Value; }
    void SetSCK(int Value) { FSCK = Value; }
    void SetSYNC(int Value) { FSYNC = Value; }
    void SetMISO(int Value) { FMISO = Value; }
    void SetPARR(int Value) { FPARR = Value; }
    void SetRESET(int Value) { FRESET = Value; }
    int MaxReadTimeOut() const { return FMaxReadTimeOut; }
    void SetMaxReadTimeOut(int Value) { FMaxReadTimeOut = Value; }
    int MaxWriteTimeOut() const { return FMaxWriteTimeOut; }
    void SetMaxWriteTimeOut(int Value) { FMaxWriteTimeOut = Value; }
    std::uint8_t BitSize() const { return FBitSize; }
    std::uint8_t ShiftLeft() const { return FSHiftLeft; }

    // The time base of every limit and pause of this driver. The system
    // clock unless one is injected (tests, benchmarks); the serial driver
    // uses its open port's clock.
    virtual TLinkClock& Clock();
    void SetClock(TLinkClock* Value) { FClock = Value; }
    bool HasInjectedClock() const { return FClock != nullptr; }

    // Selected port: 0 for LPT1 (COM1 for the serial driver).
    std::uint16_t ABasePort = 0;
    // Carried through the options dialog, otherwise unused.
    std::uint8_t FlashTime = 0;
    // Write delay in milliseconds sent before programming; 0 = the device's.
    std::uint8_t EEPROMTime = 0;
    bool DriverOpen = false;

    // The write delay is the operator's choice (from the options dialog or
    // the command line), kept in the settings; otherwise every open takes
    // the selected device's default, so one device's delay is never carried
    // over to another (the keys: programmer/kind_settings.h).
    bool EEPROMTimeChosen() const { return FEEPROMTimeChosen; }
    // The delay the options dialog shows: the chosen one, or 0 (the device's).
    std::uint8_t OptionsEEPROMTime() const { return FEEPROMTimeChosen ? EEPROMTime : 0; }
    // The delay the options dialog returned: 0 gives the choice back to the device.
    void ChooseEEPROMTime(std::uint8_t Value);

    // Pauses of the parallel open.
    static constexpr auto kPowerSettle = std::chrono::milliseconds(300);
    static constexpr auto kResetPulse = std::chrono::milliseconds(500);
    // Pause after every Microwire write.
    static constexpr auto kMicrowireWriteSleep = std::chrono::milliseconds(10);

  protected:
    // Raises EISPException with this driver's hardware name.
    [[noreturn]] void Fail(const std::string& Message) const;
    // Reply is the unit's answer to TriggerChar ("S" identification, "v"
    // firmware version), which must read Expected. One that differs is
    // asked for once more, after the stale input is drained: a byte garbled
    // on the line is not another firmware. Raises EFirmwareMisMatch ("Your
    // ISP needs a firmware update (identification 'VORIZORUV' expected,
    // 'VGRIZORUV' read)") when both answers agree, EISPException (empty
    // hardware name) saying that the link garbles the replies when they
    // differ. What names the reply in these messages.
    void ConfirmReply(char TriggerChar, const std::string& Expected, const std::string& Reply,
                      const std::string& What);
    // Drops what the unit sent that nothing asked for (replies held up past
    // the end of an earlier run). The printer-port unit sends nothing
    // unasked but its identification after a reset: nothing to do.
    virtual void DrainStaleInput() {}
    // The selected device; raises when none is.
    TDevice& Dev() const;
    // Two upper-case hex digits.
    static std::string Hex2(int Value);

    int FMOSI = 0;
    int FSCK = 0;
    int FSYNC = 0;
    int FMISO = 0;
    int FPARR = 0;
    int FRESET = 0;
    int FMaxReadTimeOut = 0;
    bool FEEPROMTimeChosen = false;
    int FMaxWriteTimeOut = 0;
    std::uint8_t FBitSize = 0;
    std::uint8_t FSHiftLeft = 0;

  private:
    // Raises the exception of a unit error code; unknown codes return.
    void CheckErrors(std::uint8_t Data);
    TLinkClock* FClock = nullptr;
    TUnitBusMaster FUnitBus{*this};
};
