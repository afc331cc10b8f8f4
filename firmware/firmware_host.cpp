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

void TFirmwareHost::I2CStart() {
    BusPins::I2CStart();
}

void TFirmwareHost::I2CStop() {
    BusPins::I2CStop();
}

bool TFirmwareHost::I2CWrite(uint8_t Byte) {
    return BusPins::I2CWrite(Byte);
}

uint8_t TFirmwareHost::I2CRead(bool Ack) {
    return BusPins::I2CRead(Ack);
}

void TFirmwareHost::SpiSelect(bool Active) {
    BusPins::SpiSelect(Active);
}

uint8_t TFirmwareHost::SpiTransfer(uint8_t Mosi) {
    return BusPins::SpiTransfer(Mosi);
}

void TFirmwareHost::MwSelect(bool Active) {
    BusPins::MwSelect(Active);
}

bool TFirmwareHost::MwClock(bool DI) {
    return BusPins::MwClock(DI);
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
    BusPins::SetSpeed(BusPins::SpeedOf(ClockSpeed));
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
