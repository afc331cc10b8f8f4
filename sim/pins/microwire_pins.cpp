#include "pins/microwire_pins.h"

void TMicrowirePins::SetTarget(TMicrowireTarget* Target) {
    FTarget = Target;
    Refresh();
}

void TMicrowirePins::Refresh() {
    FDo = FTarget && FCs ? FTarget->DataOut() : true;
}

void TMicrowirePins::Drive(bool Cs, bool Sk, bool Di, TSimTime Time) {
    if (Di != FDi) {
        FDi = Di;
        FDiChange = Time;
        if (FCs && FSk && FSkRise.count() >= 0)
            FLog.Check("DI hold (tDIH)", Time - FSkRise, FTiming.DataHold, Time);
    }
    if (Cs != FCs) {
        FCs = Cs;
        FClock.Break();
        if (Cs) {
            if (FCsFall.count() >= 0) FLog.Check("CS low (tCSL)", Time - FCsFall, FTiming.CsLow, Time);
            FCsRise = Time;
            FFirstClock = true;
            if (FTarget) FTarget->Select(true);
        } else {
            FCsFall = Time;
            if (FTarget) FTarget->Select(false);
        }
        Refresh();
    }
    if (Sk != FSk) {
        FSk = Sk;
        if (!FCs) {
            (Sk ? FSkRise : FSkFall) = Time;
            return;
        }
        if (Sk) {
            if (FFirstClock) {
                FLog.Check("CS set-up (tCSS)", Time - FCsRise, FTiming.CsSetup, Time);
                FFirstClock = false;
            } else if (FSkFall.count() >= 0) {
                FLog.Check("SK low (tCKL)", Time - FSkFall, FTiming.Low, Time);
            }
            if (FDiChange.count() >= 0 && FDiChange > FSkFall)
                FLog.Check("DI set-up (tDIS)", Time - FDiChange, FTiming.DataSetup, Time);
            FSkRise = Time;
            FClock.Rise(Time);
            ++FClocks;
            FDo = FTarget ? FTarget->Clock(FDi) : true;
        } else {
            if (FSkRise.count() >= 0) FLog.Check("SK high (tCKH)", Time - FSkRise, FTiming.High, Time);
            FSkFall = Time;
        }
    }
}

void TMicrowirePins::Sampled(TSimTime Time) {
    if (!FCs || !FTarget) return;
    if (FSkRise > FCsRise)
        FLog.Check("DO valid after SK (tPD)", Time - FSkRise, FTiming.OutputDelay, Time);
    else
        FLog.Check("status valid after CS (tSV)", Time - FCsRise, FTiming.StatusValid, Time);
}
