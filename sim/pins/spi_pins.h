// An SPI target (sim/chips/bus.h) on its pins, mode 0: /CS low selects,
// SI is taken on SCK rising, SO changes on SCK falling (and when /CS falls),
// most significant bit first. SO is high impedance while deselected (reads
// 1 through the pull-up). The byte-level target shifts a whole byte at a
// time, so the byte to send is asked for before its first clock (Peek) and
// the byte received is handed over after its eighth rising edge.
#pragma once

#include "chips/bus.h"
#include "pins/pin_timing.h"

#include <cstdint>
#include <functional>

struct TSpiTiming {
    // SCK high and low, /CS set-up before the first SCK rise, hold after the
    // last SCK fall, disable time between selections, SI set-up and hold,
    // and the longest SO output delay after SCK falls (the master must not
    // sample earlier).
    long long High = 0, Low = 0, CsSetup = 0, CsHold = 0, CsDisable = 0, DataSetup = 0, DataHold = 0;
    long long OutputValid = 0;
};

class TSpiPins {
  public:
    // Peek: the byte the target will send next (see T25CChip::NextOutput).
    TSpiPins(TSpiTarget* Target = nullptr, std::function<std::uint8_t()> Peek = {});
    void SetTarget(TSpiTarget* Target, std::function<std::uint8_t()> Peek);
    void SetTiming(const TSpiTiming& Timing) { FTiming = Timing; }

    // Levels of /CS, SCK, SI and /HOLD as the master drives them, at Time.
    void Drive(bool Cs, bool Sck, bool Si, bool Hold, TSimTime Time);
    // A byte clocked by an SPI unit from Start: eight bit times of Bit, SCK
    // rising in the middle of each and falling at its end, SI set at the
    // start of each bit. Returns what the target shifted out on SO (0xFF
    // while deselected).
    std::uint8_t HardwareByte(std::uint8_t Mosi, TSimTime Start, TSimDuration Bit, bool Hold);
    // The master reads SO at Time.
    void Sampled(TSimTime Time);

    // SO level (true = high or high impedance).
    bool So() const { return FSo; }
    TPinTimingLog& Log() { return FLog; }
    // SCK while the chip is selected.
    TPeriodMeter& Clock() { return FClock; }
    std::uint64_t Bytes() const { return FBytes; }

  private:
    void Present();

    TSpiTarget* FTarget;
    std::function<std::uint8_t()> FPeek;
    TSpiTiming FTiming;
    TPinTimingLog FLog;
    TPeriodMeter FClock;

    bool FCs = true, FSck = false, FSi = false;
    bool FSo = true;
    int FBit = 0; // bits of the present byte clocked in
    std::uint8_t FIn = 0, FOut = 0xFF;
    std::uint64_t FBytes = 0;
    TSimTime FCsFall{-1}, FCsRise{-1}, FSckRise{-1}, FSckFall{-1}, FSiChange{-1}, FSoChange{-1};
    bool FFirstClock = false;
};
