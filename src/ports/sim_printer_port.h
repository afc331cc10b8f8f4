// One PC printer port, simulated at its registers: the data, status and
// control registers, the EPP address and data registers, the ECP
// configuration registers and the extended control register (ECR), with the
// capability of a chosen kind of hardware:
//   Spp             data lines output only
//   Ps2             control bit 5 turns the data lines to input
//   Epp             PS/2 plus EPP registers at +3..+7
//   Ecp             ECR at +0x402 with its mode field: 000 standard,
//                   001 PS/2 (bidirectional), 100 EPP; the FIFO modes 010,
//                   011 and the others behave as standard mode here
//   ThreeRegisters  the old adapter at 0x3BC: data, status, control only
// A port without ECR decodes ten address bits, so base+0x400.. answers as
// base+0.. (that is what the ECR test of the port object must tell apart).
//
// EPP cycles are not carried to the connector: no EPP peripheral answers, the
// EPP registers hold what was written and every EPP access sets the time-out
// bit (status bit 0), which a write of 1 to the status register clears.
//
// The connector pins follow the registers at once: plugging in drives every
// output pin, then a data, control or ECR write drives the pins whose level changed (data pins first, then
// 17, 16, 1 and the clock pin 14 last); a status read samples pins 10, 11, 12, 13 and 15.
#pragma once

#include "ports/lpt_connector.h"

#include <cstdint>

enum class TSimLptKind : std::uint8_t { Spp, Ps2, Epp, Ecp, ThreeRegisters };

class TSimPrinterPort {
  public:
    // Connector: what is plugged in (nullptr: nothing); must outlive the
    // port. It gets the power-on levels of the output pins at once.
    TSimPrinterPort(std::uint16_t Base, TSimLptKind Kind, TLptConnector* Connector = nullptr);
    TSimPrinterPort(const TSimPrinterPort&) = delete;
    TSimPrinterPort& operator=(const TSimPrinterPort&) = delete;

    std::uint16_t Base() const { return FBase; }
    TSimLptKind Kind() const { return FKind; }
    // The register offset the port answers Address with (0..7, 0x400..0x402);
    // -1 when the address is not the port's.
    int Decode(std::uint16_t Address) const;
    std::uint8_t Read(std::uint16_t Address);
    void Write(std::uint16_t Address, std::uint8_t Value);
    // Plugs something else in; its output pins are driven at once.
    void Plug(TLptConnector* Connector);

    // --- observable state ---
    std::uint8_t DataLatch() const { return FData; }
    std::uint8_t ControlLatch() const { return FControl; }
    std::uint8_t EcrMode() const { return static_cast<std::uint8_t>(FEcr >> 5); }
    bool DataInput() const;
    bool EppTimeout() const { return FTimeout; }
    // Connector level of output pin 1..9, 14, 16, 17 as the port drives it.
    bool OutputLevel(int Pin) const;

    // Power-on values.
    static constexpr std::uint8_t kControlAtPowerOn = 0x0C;
    static constexpr std::uint8_t kEcrAtPowerOn = 0x14;

  private:
    bool Bidirectional() const;
    bool EppActive() const;
    std::uint8_t ReadStatus();
    void DriveChanges(const bool (&Before)[18]);
    void Levels(bool (&Out)[18]) const;

    std::uint16_t FBase;
    TSimLptKind FKind;
    TOpenLptConnector FNothing;
    TLptConnector* FConnector;
    std::uint8_t FData = 0;
    std::uint8_t FControl = kControlAtPowerOn;
    std::uint8_t FEcr = kEcrAtPowerOn; // bits 7..2; 1..0 are FIFO status
    std::uint8_t FEppAddress = 0;
    std::uint8_t FEppData[4] = {};
    bool FTimeout = false;
};
