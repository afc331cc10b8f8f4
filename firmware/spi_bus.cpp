// SPI master through the MCU's SPI unit, mode 0, most significant bit
// first, at F_CPU / the divider of the speed class; /CS is a port pin.
#include "bus_lines.h"
#include "bus_pins.h"
#include "uart.h"

using namespace BusLines;
using BusClocks::kSpi;

namespace {

const BusClocks::TSpiTimes& Times() {
    return kSpi[static_cast<uint8_t>(BusPins::Detail::gSpeed)];
}

uint16_t Quarters(uint32_t Ns) {
    return static_cast<uint16_t>((Ns + 249) / 250);
}

} // namespace

namespace BusPins {

void Detail::StartSpi() {
    // Master, mode 0; SPR1:0 and SPI2X give the divider.
    uint8_t spcr = _BV(SPE) | _BV(MSTR);
    bool twice = false;
    switch (Times().Divider) {
    case 8:
        spcr |= _BV(SPR0);
        twice = true;
        break;
    case 16:
        spcr |= _BV(SPR0);
        break;
    default: // 128
        spcr |= _BV(SPR1) | _BV(SPR0);
        break;
    }
    SPCR = spcr;
    SPSR = twice ? _BV(SPI2X) : 0;
}

void SpiSelect(bool Active) {
    if (Active) {
        SetB(CsBit, false);
        WaitQuarters(Quarters(Times().CsSetup));
    } else {
        WaitQuarters(Quarters(Times().CsHold));
        SetB(CsBit, true);
        WaitQuarters(Quarters(Times().CsDisable));
    }
}

uint8_t SpiTransfer(uint8_t Mosi) {
    SPDR = Mosi;
    while (!(SPSR & _BV(SPIF))) {
    }
    return SPDR;
}

void SpiReadBlock(uint16_t Count) {
    if (Count == 0) return;
    SPDR = 0xFF;
    for (;;) {
        while (!(SPSR & _BV(SPIF))) {
        }
        const uint8_t byte = SPDR;
        if (--Count) SPDR = 0xFF; // the next byte shifts in while this one goes out
        Uart::SendNow(byte);
        if (!Count) return;
    }
}

} // namespace BusPins
