#include "bus_pins.h"

#include "board.h"

#include <avr/io.h>
#include <util/delay_basic.h>

using namespace Board;

namespace {

// Waits in quarter microseconds (four cycles per loop at 16 MHz).
inline void Quarters(uint16_t Count) {
    _delay_loop_2(Count);
}

struct TTiming {
    // I2C: SCL low, SCL high, the set-up and hold times around START and
    // STOP, and the bus free time after a STOP.
    uint16_t I2CLow, I2CHigh, I2CEdge, I2CFree;
    // SPI: SCK half period and the /CS set-up, hold and disable times.
    uint16_t SpiHalf, SpiCs;
    // Microwire: SK half period, CS low time and status-valid wait.
    uint16_t MwHalf, MwCs;
};

const TTiming kTimings[] = {
    {6, 5, 5, 6, 4, 4, 8, 8},                 // fast
    {20, 20, 20, 20, 20, 20, 40, 40},         // medium
    {200, 200, 200, 200, 200, 200, 200, 200}, // slow
};

const TTiming* gT = &kTimings[0];

// ---- open-drain I2C lines: PORT bits stay 0, DDR 1 pulls low.
inline void SdaLow() {
    DDRC |= SdaBit;
}
inline void SdaRelease() {
    DDRC &= static_cast<uint8_t>(~SdaBit);
}
inline bool SdaHigh() {
    return (PINC & SdaBit) != 0;
}
inline void SclLow() {
    DDRC |= SclBit;
}
inline void SclRelease() {
    DDRC &= static_cast<uint8_t>(~SclBit);
}

// ---- push-pull outputs on port B
inline void SetB(uint8_t Bits, bool High) {
    if (High)
        PORTB |= Bits;
    else
        PORTB &= static_cast<uint8_t>(~Bits);
}
inline bool MisoHigh() {
    return (PINB & MisoBit) != 0;
}

// One SCL pulse with SDA already set; returns SDA sampled at the end of the
// high time.
bool I2CClock() {
    Quarters(gT->I2CLow);
    SclRelease();
    Quarters(gT->I2CHigh);
    const bool sda = SdaHigh();
    SclLow();
    return sda;
}

void ReleaseAll() {
    DDRB = 0;
    PORTB = 0;
    DDRC &= static_cast<uint8_t>(~(SdaBit | SclBit));
    PORTC &= static_cast<uint8_t>(~(SdaBit | SclBit));
}

} // namespace

namespace BusPins {

TSpeed SpeedOf(uint8_t ClockSpeed) {
    if (ClockSpeed <= 0x01) return TSpeed::Fast;
    if (ClockSpeed <= 0x10) return TSpeed::Medium;
    return TSpeed::Slow;
}

void SetSpeed(TSpeed Speed) {
    gT = &kTimings[static_cast<uint8_t>(Speed)];
}

void SelectI2C() {
    ReleaseAll();
    DDRB |= WpBit; // WP low: writes allowed
}

void SelectSpi() {
    ReleaseAll();
    PORTB = CsBit | WpBit | HoldBit | MisoBit; // /CS, /WP, /HOLD high; pull-up on SO
    DDRB = CsBit | MosiBit | SckBit | WpBit | HoldBit;
}

void SelectMicrowire() {
    ReleaseAll();
    PORTB = MisoBit; // pull-up on DO
    DDRB = CsBit | MosiBit | SckBit;
}

// ---------------------------------------------------------------- I2C

void I2CStart() {
    // From idle, or as a repeated start after a byte (SCL low): SDA high
    // first, then SCL, then SDA falls while SCL is high.
    SdaRelease();
    Quarters(gT->I2CLow);
    SclRelease();
    Quarters(gT->I2CEdge);
    SdaLow();
    Quarters(gT->I2CEdge);
    SclLow();
}

void I2CStop() {
    // SDA may change only while SCL is low; then SDA rises while SCL is high.
    SclLow();
    SdaLow();
    Quarters(gT->I2CLow);
    SclRelease();
    Quarters(gT->I2CEdge);
    SdaRelease();
    Quarters(gT->I2CFree);
}

bool I2CWrite(uint8_t Byte) {
    for (uint8_t bit = 0x80; bit; bit >>= 1) {
        if (Byte & bit)
            SdaRelease();
        else
            SdaLow();
        I2CClock();
    }
    SdaRelease();
    return !I2CClock(); // the target pulls SDA low to acknowledge
}

uint8_t I2CRead(bool Ack) {
    SdaRelease();
    uint8_t value = 0;
    for (uint8_t i = 0; i < 8; ++i)
        value = static_cast<uint8_t>((value << 1) | (I2CClock() ? 1 : 0));
    if (Ack) SdaLow();
    I2CClock();
    SdaRelease();
    return value;
}

// ---------------------------------------------------------------- SPI, mode 0

void SpiSelect(bool Active) {
    if (Active) {
        SetB(CsBit, false);
        Quarters(gT->SpiCs);
    } else {
        Quarters(gT->SpiCs);
        SetB(CsBit, true);
        Quarters(gT->SpiCs);
    }
}

uint8_t SpiTransfer(uint8_t Mosi) {
    uint8_t in = 0;
    for (uint8_t bit = 0x80; bit; bit >>= 1) {
        SetB(MosiBit, (Mosi & bit) != 0);
        Quarters(gT->SpiHalf);
        SetB(SckBit, true); // the target samples SI; SO has been valid since the last falling edge
        in = static_cast<uint8_t>((in << 1) | (MisoHigh() ? 1 : 0));
        Quarters(gT->SpiHalf);
        SetB(SckBit, false);
    }
    return in;
}

// ---------------------------------------------------------------- Microwire

void MwSelect(bool Active) {
    SetB(SckBit, false);
    if (Active) {
        SetB(CsBit, false);
        Quarters(gT->MwCs); // CS low time before a new selection
        SetB(CsBit, true);
        Quarters(gT->MwCs); // set-up before SK, and status valid on DO
    } else {
        SetB(CsBit, false);
        Quarters(gT->MwCs);
    }
}

bool MwClock(bool DI) {
    SetB(MosiBit, DI);
    Quarters(gT->MwHalf);
    SetB(SckBit, true);
    Quarters(gT->MwHalf); // data out is valid at the end of the high time
    const bool out = MisoHigh();
    SetB(SckBit, false);
    return out;
}

bool MwDataOut() {
    return MisoHigh();
}

} // namespace BusPins
