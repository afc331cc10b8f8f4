#include "firmware_host.h"

#include "board.h"
#include "bus_pins.h"
#include "ticks.h"
#include "uart.h"

#include <avr/io.h>
#include <util/delay.h>

void TFirmwareHost::Send(uint8_t Byte) {
    Uart::Send(Byte);
}

bool TFirmwareHost::I2CStart() {
    return BusPins::I2CStart();
}

void TFirmwareHost::I2CStop() {
    BusPins::I2CStop();
}

bool TFirmwareHost::I2CBusClear() {
    return BusPins::I2CBusClear();
}

bool TFirmwareHost::I2CWrite(uint8_t Byte) {
    return BusPins::I2CWrite(Byte);
}

uint8_t TFirmwareHost::I2CRead(bool Ack) {
    return BusPins::I2CRead(Ack);
}

uint16_t TFirmwareHost::I2CWritePageData(uint16_t Count, bool& Nacked) {
    uint16_t taken = 0;
    uint8_t byte;
    while (taken < Count && Uart::TakePlain(byte)) {
        ++taken;
        if (!BusPins::I2CWrite(byte)) {
            Nacked = true;
            break;
        }
    }
    return taken;
}

void TFirmwareHost::I2CReadBlock(uint16_t Count) {
    for (uint16_t i = 0; i < Count; ++i)
        Uart::SendNow(BusPins::I2CRead(i + 1u < Count));
}

void TFirmwareHost::SpiSelect(bool Active) {
    BusPins::SpiSelect(Active);
}

uint8_t TFirmwareHost::SpiTransfer(uint8_t Mosi) {
    return BusPins::SpiTransfer(Mosi);
}

void TFirmwareHost::SpiReadBlock(uint16_t Count) {
    BusPins::SpiReadBlock(Count);
}

void TFirmwareHost::MwSelect(bool Active) {
    BusPins::MwSelect(Active);
}

bool TFirmwareHost::MwClock(bool DI) {
    return BusPins::MwClock(DI);
}

uint8_t TFirmwareHost::MwShift(uint8_t Out, uint8_t Bits) {
    return BusPins::MwShift(Out, Bits);
}

bool TFirmwareHost::MwWaitReady() {
    const uint32_t start = Ticks::Now();
    while (!BusPins::MwDataOut()) {
        if (Ticks::Now() - start > kReadyTimeoutMs) return false;
        _delay_us(10);
    }
    return true;
}

void TFirmwareHost::WaitMs(uint8_t Ms) {
    Ticks::WaitMs(Ms);
}

void TFirmwareHost::BusChanged(TUnitBus Bus) {
    switch (Bus) {
    case TUnitBus::I2C:
        BusPins::SelectI2C();
        break;
    case TUnitBus::SPI:
        BusPins::SelectSpi();
        break;
    case TUnitBus::Microwire:
        BusPins::SelectMicrowire();
        break;
    }
}

void TFirmwareHost::ClockSpeedChanged(uint8_t ClockSpeed) {
    BusPins::SetSpeed(BusClocks::SpeedOf(ClockSpeed));
}

void TFirmwareHost::TargetResetChanged(TTargetReset State) {
    using Board::TargetResetBit;
    switch (State) {
    case TTargetReset::Released:
        DDRD &= static_cast<uint8_t>(~TargetResetBit);
        PORTD &= static_cast<uint8_t>(~TargetResetBit);
        break;
    case TTargetReset::DrivenLow:
        PORTD &= static_cast<uint8_t>(~TargetResetBit);
        DDRD |= TargetResetBit;
        break;
    case TTargetReset::DrivenHigh:
        PORTD |= TargetResetBit;
        DDRD |= TargetResetBit;
        break;
    }
}

void TFirmwareHost::ApplyRate(uint8_t Code) {
    Uart::SetRate(Code);
}

void TFirmwareHost::DiscardInput() {
    Uart::Discard();
}
