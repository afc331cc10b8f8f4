// Microwire master, bit-banged on the SPI pins with the SPI unit off; chip
// select is active high, DI is taken on SK rising, DO read at the end of
// the high time. One instance per speed class, and Spent counted, as for
// I2C (i2c_bus.cpp).
#include "bus_lines.h"
#include "bus_pins.h"

using namespace BusLines;
using BusClocks::kMicrowire;

namespace {

template <uint8_t S> struct TMicrowire {
    static constexpr uint32_t Half = kMicrowire[S].Half;

    static uint8_t Shift(uint8_t Out, uint8_t Bits) {
        uint8_t in = 0;
        do {
            SetB(MosiBit, (Out & 0x80) != 0);
            Out = static_cast<uint8_t>(Out << 1);
            Wait<Half, 10>();
            SetB(SckBit, true);
            Wait<Half, 5>();
            in = static_cast<uint8_t>(in << 1);
            if (MisoHigh()) in |= 1;
            SetB(SckBit, false);
        } while (--Bits);
        return in;
    }

    static void Select(bool Active) {
        SetB(SckBit, false);
        SetB(CsBit, false);
        Wait<kMicrowire[S].CsLow>(); // CS low time before a new selection
        if (!Active) return;
        SetB(CsBit, true);
        Wait<kMicrowire[S].CsLow>(); // set-up before SK, and status valid on DO
    }
};

} // namespace

namespace BusPins {

using Detail::gSpeed;

void MwSelect(bool Active) {
    switch (gSpeed) {
    case TSpeed::Fast:
        TMicrowire<0>::Select(Active);
        break;
    case TSpeed::Medium:
        TMicrowire<1>::Select(Active);
        break;
    default:
        TMicrowire<2>::Select(Active);
        break;
    }
}

uint8_t MwShift(uint8_t Out, uint8_t Bits) {
    if (Bits == 0) return 0;
    switch (gSpeed) {
    case TSpeed::Fast:
        return TMicrowire<0>::Shift(Out, Bits);
    case TSpeed::Medium:
        return TMicrowire<1>::Shift(Out, Bits);
    default:
        return TMicrowire<2>::Shift(Out, Bits);
    }
}

bool MwClock(bool DI) {
    return (MwShift(DI ? 0x80 : 0, 1) & 1) != 0;
}

bool MwDataOut() {
    return MisoHigh();
}

} // namespace BusPins
