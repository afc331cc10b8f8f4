// I2C master, bit-banged on open-drain lines, one instance of each routine
// per speed class so that every wait is a constant number of cycles. The
// Spent figures are the cycles the instructions between two edges take
// besides the wait, counted in the disassembly (avr-objdump -d) less one
// cycle to spare (the three instances differ by a cycle here and there),
// and checked on the simulated pins (tests/firmware/bus_clock_test.cpp).
#include "bus_lines.h"
#include "bus_pins.h"

using namespace BusLines;
using BusClocks::kI2C;

namespace {

template <uint8_t S> struct TI2C {
    static constexpr uint32_t Low = kI2C[S].Low;
    static constexpr uint32_t High = kI2C[S].High;

    static bool Start() {
        // From idle, or as a repeated START after a byte (SCL low): SDA
        // high first, then SCL, then SDA falls while SCL is high.
        SdaRelease();
        Wait<Low>();
        SclRelease();
        Wait<kI2C[S].SetupStart>();
        if (!SdaHigh() || !SclHigh()) return false;
        SdaLow();
        Wait<kI2C[S].HoldStart>();
        SclLow();
        return true;
    }

    static void Stop() {
        // SDA may change only while SCL is low; then SDA rises while SCL
        // is high.
        SclLow();
        SdaLow();
        Wait<Low>();
        SclRelease();
        Wait<kI2C[S].SetupStop>();
        SdaRelease();
        Wait<kI2C[S].BusFree>();
    }

    static bool BusClear() {
        SdaRelease();
        Wait<Low>();
        SclRelease();
        Wait<High>();
        // A chip half-way through sending a byte holds SDA low for its 0
        // bits; clocking it on makes it reach a 1 or the acknowledge bit,
        // which the master leaves unacknowledged.
        for (uint8_t i = 0; i < 9 && !SdaHigh(); ++i) {
            SclLow();
            Wait<Low>();
            SclRelease();
            Wait<High>();
        }
        if (!SdaHigh() || !SclHigh()) return false;
        // START and STOP with SCL high throughout: no clock between them.
        SdaLow();
        Wait<kI2C[S].HoldStart>();
        SdaRelease();
        Wait<kI2C[S].BusFree>();
        return SdaHigh() && SclHigh();
    }

    static bool Write(uint8_t Byte) {
        for (uint8_t i = 8; i; --i) {
            if (Byte & 0x80)
                SdaRelease();
            else
                SdaLow();
            Byte = static_cast<uint8_t>(Byte << 1);
            Wait<Low, 10>();
            SclRelease();
            Wait<High, 2>();
            SclLow();
        }
        SdaRelease();
        Wait<Low, 4>();
        SclRelease();
        Wait<High, 3>();
        const bool ack = !SdaHigh(); // the target pulls SDA low to acknowledge
        SclLow();
        return ack;
    }

    static uint8_t Read(bool Ack) {
        SdaRelease();
        uint8_t value = 0;
        for (uint8_t i = 8; i; --i) {
            Wait<Low, 4>();
            SclRelease();
            Wait<High, 5>();
            value = static_cast<uint8_t>(value << 1);
            if (SdaHigh()) value |= 1; // sampled at the end of the high time
            SclLow();
        }
        if (Ack) SdaLow();
        Wait<Low, 3>();
        SclRelease();
        Wait<High, 2>();
        SclLow();
        SdaRelease();
        return value;
    }
};

} // namespace

namespace BusPins {

using Detail::gSpeed;

bool I2CStart() {
    switch (gSpeed) {
    case TSpeed::Fast:
        return TI2C<0>::Start();
    case TSpeed::Medium:
        return TI2C<1>::Start();
    default:
        return TI2C<2>::Start();
    }
}

void I2CStop() {
    switch (gSpeed) {
    case TSpeed::Fast:
        TI2C<0>::Stop();
        break;
    case TSpeed::Medium:
        TI2C<1>::Stop();
        break;
    default:
        TI2C<2>::Stop();
        break;
    }
}

bool I2CBusClear() {
    switch (gSpeed) {
    case TSpeed::Fast:
        return TI2C<0>::BusClear();
    case TSpeed::Medium:
        return TI2C<1>::BusClear();
    default:
        return TI2C<2>::BusClear();
    }
}

bool I2CWrite(uint8_t Byte) {
    switch (gSpeed) {
    case TSpeed::Fast:
        return TI2C<0>::Write(Byte);
    case TSpeed::Medium:
        return TI2C<1>::Write(Byte);
    default:
        return TI2C<2>::Write(Byte);
    }
}

uint8_t I2CRead(bool Ack) {
    switch (gSpeed) {
    case TSpeed::Fast:
        return TI2C<0>::Read(Ack);
    case TSpeed::Medium:
        return TI2C<1>::Read(Ack);
    default:
        return TI2C<2>::Read(Ack);
    }
}

} // namespace BusPins
