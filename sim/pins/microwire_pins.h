// A Microwire target (sim/chips/bus.h) on its pins: CS active high, DI
// taken on SK rising, DO as the target shows it after that edge (and its
// ready/busy status while selected). DO is high impedance while CS is low
// and reads 1 through the pull-up. A target's status can change without a
// clock edge (the end of a write cycle): Refresh shows it.
#pragma once

#include "chips/bus.h"
#include "pins/pin_timing.h"

#include <cstdint>

struct TMicrowireTiming {
    // SK high and low, CS set-up before SK rises, CS low time between
    // selections, DI set-up and hold, and the longest times DO takes to be
    // valid after SK rises (tPD) and after CS rises (status, tSV): the
    // master must not sample earlier.
    long long High = 0, Low = 0, CsSetup = 0, CsLow = 0, DataSetup = 0, DataHold = 0;
    long long OutputDelay = 0, StatusValid = 0;
};

class TMicrowirePins {
  public:
    explicit TMicrowirePins(TMicrowireTarget* Target = nullptr) : FTarget(Target) {}
    void SetTarget(TMicrowireTarget* Target);
    void SetTiming(const TMicrowireTiming& Timing) { FTiming = Timing; }

    // Levels of CS, SK and DI as the master drives them, at Time.
    void Drive(bool Cs, bool Sk, bool Di, TSimTime Time);
    // DO again from the target (its status may have changed).
    void Refresh();
    // The master reads DO at Time.
    void Sampled(TSimTime Time);

    bool Do() const { return FDo; }
    bool Selected() const { return FCs; }
    TPinTimingLog& Log() { return FLog; }
    std::uint64_t Clocks() const { return FClocks; }
    // The SK clock while the chip is selected.
    TPeriodMeter& Clock() { return FClock; }

  private:
    TMicrowireTarget* FTarget;
    TMicrowireTiming FTiming;
    TPinTimingLog FLog;

    bool FCs = false, FSk = false, FDi = false;
    bool FDo = true;
    std::uint64_t FClocks = 0;
    TPeriodMeter FClock;
    TSimTime FCsRise{-1}, FCsFall{-1}, FSkRise{-1}, FSkFall{-1}, FDiChange{-1};
    bool FFirstClock = false;
};
