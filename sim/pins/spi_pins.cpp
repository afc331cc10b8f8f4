#include "pins/spi_pins.h"

TSpiPins::TSpiPins(TSpiTarget* Target, std::function<std::uint8_t()> Peek)
    : FTarget(Target), FPeek(std::move(Peek)) {}

void TSpiPins::SetTarget(TSpiTarget* Target, std::function<std::uint8_t()> Peek) {
    FTarget = Target;
    FPeek = std::move(Peek);
    FSo = true;
}

void TSpiPins::Present() {
    FSo = !FTarget || FCs ? true : ((FOut >> (7 - FBit)) & 1) != 0;
}

void TSpiPins::Drive(bool Cs, bool Sck, bool Si, bool Hold, TSimTime Time) {
    if (Si != FSi) {
        FSi = Si;
        FSiChange = Time;
        if (!FCs && FSck && FSckRise.count() >= 0)
            FLog.Check("SI hold (tHD)", Time - FSckRise, FTiming.DataHold, Time);
    }
    if (Cs != FCs) {
        FCs = Cs;
        if (!Cs) {
            if (FCsRise.count() >= 0)
                FLog.Check("/CS disable (tCSD)", Time - FCsRise, FTiming.CsDisable, Time);
            FCsFall = Time;
            FFirstClock = true;
            FBit = 0;
            FIn = 0;
            if (FTarget) FTarget->Select(true);
            FOut = FPeek ? FPeek() : 0xFF;
            FSoChange = Time;
            Present();
        } else {
            if (FSckFall > FCsFall) FLog.Check("/CS hold (tCSH)", Time - FSckFall, FTiming.CsHold, Time);
            if (FBit != 0) FLog.Fault("/CS rose " + std::to_string(FBit) + " bits into a byte", Time);
            FCsRise = Time;
            if (FTarget) FTarget->Select(false);
            Present();
        }
    }
    if (Sck != FSck) {
        FSck = Sck;
        if (FCs) {
            // Clocks while deselected are ignored by the target.
            (Sck ? FSckRise : FSckFall) = Time;
            return;
        }
        if (!Hold) FLog.Fault("SCK moved while /HOLD was low", Time);
        if (Sck) {
            if (FFirstClock) {
                FLog.Check("/CS set-up (tCSS)", Time - FCsFall, FTiming.CsSetup, Time);
                FFirstClock = false;
            } else if (FSckFall.count() >= 0) {
                FLog.Check("SCK low (tLO)", Time - FSckFall, FTiming.Low, Time);
            }
            if (FSiChange.count() >= 0 && FSiChange > FSckFall)
                FLog.Check("SI set-up (tSU)", Time - FSiChange, FTiming.DataSetup, Time);
            FSckRise = Time;
            if (FBit == 0) FClock.Break();
            FClock.Rise(Time);
            FIn = static_cast<std::uint8_t>((FIn << 1) | (FSi ? 1 : 0));
            if (++FBit == 8) {
                if (FTarget) FTarget->Transfer(FIn);
                ++FBytes;
                FBit = 0;
                FIn = 0;
            }
        } else {
            if (FSckRise.count() >= 0) FLog.Check("SCK high (tHI)", Time - FSckRise, FTiming.High, Time);
            FSckFall = Time;
            // The next bit; a new byte is asked for after the last one.
            if (FBit == 0) FOut = FPeek ? FPeek() : 0xFF;
            FSoChange = Time;
            Present();
        }
    }
}

void TSpiPins::Sampled(TSimTime Time) {
    if (FCs || !FTarget || FSoChange.count() < 0) return;
    FLog.Check("SO valid (tV)", Time - FSoChange, FTiming.OutputValid, Time);
}

std::uint8_t TSpiPins::HardwareByte(std::uint8_t Mosi, TSimTime Start, TSimDuration Bit, bool Hold) {
    const TSimDuration half = Bit / 2;
    const TSimTime firstRise = Start + half;
    if (FCs) {
        // Clocks while deselected are ignored by the target.
        FSckRise = Start + Bit * 8 - half;
        FSckFall = Start + Bit * 8;
        return 0xFF;
    }
    if (!Hold) FLog.Fault("SCK moved while /HOLD was low", Start);
    if (FBit != 0) FLog.Fault("a hardware byte began " + std::to_string(FBit) + " bits into a byte", Start);
    if (FFirstClock) {
        FLog.Check("/CS set-up (tCSS)", firstRise - FCsFall, FTiming.CsSetup, firstRise);
        FLog.Check("SO valid (tV)", firstRise - FCsFall, FTiming.OutputValid, firstRise);
        FFirstClock = false;
    } else if (FSckFall.count() >= 0) {
        FLog.Check("SCK low (tLO)", firstRise - FSckFall, FTiming.Low, firstRise);
        FLog.Check("SO valid (tV)", firstRise - FSckFall, FTiming.OutputValid, firstRise);
    }
    // Every later bit: SCK high and low for half a bit, SI set half a bit
    // before the rising edge and held half a bit after it, SO changed on
    // the falling edge half a bit before it is sampled.
    FLog.Check("SCK high (tHI)", half, FTiming.High, firstRise);
    FLog.Check("SCK low (tLO)", half, FTiming.Low, firstRise);
    FLog.Check("SI set-up (tSU)", half, FTiming.DataSetup, firstRise);
    FLog.Check("SI hold (tHD)", half, FTiming.DataHold, firstRise);
    FLog.Check("SO valid (tV)", half, FTiming.OutputValid, firstRise);
    FSckRise = Start + Bit * 8 - half;
    FSckFall = Start + Bit * 8;
    FSoChange = FSckFall;
    FClock.Break();
    for (int i = 0; i < 8; ++i)
        FClock.Rise(firstRise + Bit * i);
    ++FBytes;
    return FTarget ? FTarget->Transfer(Mosi) : 0xFF;
}
