// The command interpreter's host on the MCU: replies go to the UART, bus
// operations to the pins, waits to the millisecond tick, the reset polarity
// to the target reset output; and the serial line's side of the link
// control (rate changes, dropping received bytes).
#pragma once

#include "core/interpreter_host.h"
#include "core/link_control.h"

class TFirmwareHost final : public TInterpreterHost, public TLinkHost {
  public:
    // Longest wait for a Microwire chip to show ready on DO.
    static constexpr uint8_t kReadyTimeoutMs = 50;

    void Send(uint8_t Byte) override;
    bool I2CStart() override;
    void I2CStop() override;
    bool I2CBusClear() override;
    bool I2CWrite(uint8_t Byte) override;
    uint8_t I2CRead(bool Ack) override;
    uint16_t I2CWritePageData(uint16_t Count, bool& Nacked) override;
    void I2CReadBlock(uint16_t Count) override;
    void SpiSelect(bool Active) override;
    uint8_t SpiTransfer(uint8_t Mosi) override;
    void SpiReadBlock(uint16_t Count) override;
    void MwSelect(bool Active) override;
    bool MwClock(bool DI) override;
    uint8_t MwShift(uint8_t Out, uint8_t Bits) override;
    bool MwWaitReady() override;
    void WaitMs(uint8_t Ms) override;
    void BusChanged(TUnitBus Bus) override;
    void ClockSpeedChanged(uint8_t ClockSpeed) override;
    void TargetResetChanged(TTargetReset State) override;

    void ApplyRate(uint8_t Code) override;
    void DiscardInput() override;
};
