#include "pins/i2c_pins.h"

void TI2CPins::SetTarget(TI2CTarget* Target) {
    FTarget = Target;
    FMode = TMode::Idle;
    FTargetSda = false;
    Levels();
}

void TI2CPins::SetPullUps(bool Present) {
    FPullUps = Present;
    Levels();
}

void TI2CPins::Levels() {
    FScl = FPullUps && !FMasterScl;
    FSda = FPullUps && !(FMasterSda || FTargetSda);
}

void TI2CPins::CheckFrame(const char* Condition, TSimTime Time) {
    // A START, one to eight clocks, then a STOP or START: a select byte cut
    // short, which no target expects (and a protocol decoder loses the
    // transfer after it). A START straight followed by a STOP, without a
    // clock, is the bus clear's.
    if (FClocksSinceStart > 0 && FClocksSinceStart < 9)
        FLog.Fault(std::string(Condition) + " " + std::to_string(FClocksSinceStart) +
                       " clocks after a START (a cut-short select byte)",
                   Time);
}

void TI2CPins::Drive(bool SclLow, bool SdaLow, TSimTime Time) {
    const bool sdaMaster = SdaLow;
    if (sdaMaster != FMasterSda) {
        FMasterSda = sdaMaster;
        const bool before = FSda;
        Levels();
        if (FSda != before) {
            FSdaChange = Time;
            if (FScl) {
                // SDA moved while SCL is high: a condition.
                if (!FSda)
                    StartCondition(Time);
                else
                    StopCondition(Time);
            }
        }
    }
    if (SclLow != FMasterScl) {
        FMasterScl = SclLow;
        const bool before = FScl;
        Levels();
        if (FScl == before) return;
        if (FScl)
            SclRose(Time);
        else
            SclFell(Time);
    }
}

void TI2CPins::Sampled(TSimTime Time) {
    // The master reads SDA while SCL is high; the target's bit (or its
    // acknowledgement) must have settled since SCL fell.
    if (!FScl || FSclFall.count() < 0 || FMode == TMode::Idle) return;
    if (FSclRise > FSclFall) FLog.Check("data valid (tAA)", Time - FSclFall, FTiming.DataValid, Time);
}

void TI2CPins::StartCondition(TSimTime Time) {
    ++FStarts;
    CheckFrame("START", Time);
    FClocksSinceStart = 0;
    if (FStop.count() >= 0 && FStop > FStart && FSclRise <= FStop)
        FLog.Check("bus free (tBUF)", Time - FStop, FTiming.BusFree, Time);
    else if (FSclRise.count() >= 0)
        FLog.Check("repeated start set-up (tSU:STA)", Time - FSclRise, FTiming.SetupStart, Time);
    FStart = Time;
    FMode = FTarget ? TMode::Receive : TMode::Idle;
    FBit = 0;
    FShift = 0;
    FFirst = true;
    FTargetSda = false;
    if (FTarget) FTarget->Start();
    Levels();
}

void TI2CPins::StopCondition(TSimTime Time) {
    ++FStops;
    CheckFrame("STOP", Time);
    FClocksSinceStart = -1;
    FClock.Break();
    if (FSclRise.count() >= 0) FLog.Check("stop set-up (tSU:STO)", Time - FSclRise, FTiming.SetupStop, Time);
    FStop = Time;
    FMode = TMode::Idle;
    FTargetSda = false;
    if (FTarget) FTarget->Stop();
    Levels();
}

void TI2CPins::SclRose(TSimTime Time) {
    if (FSclFall.count() >= 0) FLog.Check("SCL low (tLOW)", Time - FSclFall, FTiming.Low, Time);
    if (FSdaChange.count() >= 0 && FSdaChange > FSclFall)
        FLog.Check("data set-up (tSU:DAT)", Time - FSdaChange, FTiming.SetupData, Time);
    FSclRise = Time;
    if (FClocksSinceStart >= 0) ++FClocksSinceStart;
    if (FMode != TMode::Idle) FClock.Rise(Time);
    switch (FMode) {
    case TMode::Receive:
        if (FBit < 8) {
            FShift = static_cast<std::uint8_t>((FShift << 1) | (FSda ? 1 : 0));
        }
        ++FBit;
        break;
    case TMode::Transmit:
        if (FBit == 8) FMasterAck = !FSda; // the master's acknowledge bit
        ++FBit;
        break;
    case TMode::Idle:
    case TMode::Released:
        break;
    }
}

void TI2CPins::SclFell(TSimTime Time) {
    if (FSclRise.count() >= 0) {
        if (FStart > FSclRise)
            FLog.Check("start hold (tHD:STA)", Time - FStart, FTiming.HoldStart, Time);
        else
            FLog.Check("SCL high (tHIGH)", Time - FSclRise, FTiming.High, Time);
    }
    FSclFall = Time;
    switch (FMode) {
    case TMode::Receive:
        if (FBit == 8) {
            // Eight bits in: the target answers on the ninth clock.
            FAcked = FTarget->Write(FShift);
            FTargetSda = FAcked;
        } else if (FBit == 9) {
            FTargetSda = false;
            const bool read = FFirst && (FShift & 1);
            FFirst = false;
            FBit = 0;
            FShift = 0;
            if (read && FAcked) {
                FMode = TMode::Transmit;
                FOut = FTarget->Read(true);
                PresentBit();
            }
        }
        break;
    case TMode::Transmit:
        if (FBit < 8) {
            PresentBit();
        } else if (FBit == 8) {
            FTargetSda = false; // the master's acknowledge bit
        } else {
            FBit = 0;
            if (FMasterAck) {
                FOut = FTarget->Read(true);
                PresentBit();
            } else {
                // Not acknowledged: SDA stays free until STOP or START.
                FMode = TMode::Released;
                FTargetSda = false;
            }
        }
        break;
    case TMode::Idle:
    case TMode::Released:
        break;
    }
    Levels();
}

void TI2CPins::PresentBit() {
    FTargetSda = ((FOut >> (7 - FBit)) & 1) == 0;
}
