// An I2C target (sim/chips/bus.h) on two open-drain lines with pull-ups.
// The master's side comes in as pin drive (pulling a line low or letting
// it go); the line levels are the wired AND of both sides, and the target's
// acknowledgements and read data go out as its own pull-downs. START and
// STOP are SDA edges while SCL is high; bits are taken on SCL rising; the
// target changes SDA only while SCL is low.
#pragma once

#include "chips/bus.h"
#include "pins/pin_timing.h"

#include <cstdint>

// Minimum durations in nanoseconds (0: not checked), named as in the I2C
// specification. DataValid is the longest time the target may take to
// present a bit after SCL falls (tAA / tVD;DAT): the master must not sample
// earlier.
struct TI2CTiming {
    long long Low = 0, High = 0, SetupStart = 0, HoldStart = 0, SetupStop = 0, BusFree = 0, SetupData = 0;
    long long DataValid = 0;
};

class TI2CPins {
  public:
    explicit TI2CPins(TI2CTarget* Target = nullptr) : FTarget(Target) {}

    // nullptr: an empty socket (the lines stay with their pull-ups).
    void SetTarget(TI2CTarget* Target);
    void SetTiming(const TI2CTiming& Timing) { FTiming = Timing; }
    // Without pull-ups a released line does not rise: it reads low (a
    // floating input on the MCU, taken at its worst).
    void SetPullUps(bool Present);
    // The master has restarted (its reset): a transfer it left half-done is
    // no fault of what it does next.
    void MasterRestarted() { FClocksSinceStart = -1; }

    // The master pulls SCL / SDA low (true) or releases them, at Time.
    void Drive(bool SclLow, bool SdaLow, TSimTime Time);
    // The master reads SDA at Time (for the data-valid check).
    void Sampled(TSimTime Time);

    // Line levels (true = high).
    bool Scl() const { return FScl; }
    bool Sda() const { return FSda; }

    TPinTimingLog& Log() { return FLog; }
    std::uint64_t Starts() const { return FStarts; }
    std::uint64_t Stops() const { return FStops; }
    // The SCL clock while a transfer is open.
    TPeriodMeter& Clock() { return FClock; }

  private:
    enum class TMode { Idle, Receive, Transmit, Released };

    void Levels();
    void SclRose(TSimTime Time);
    void SclFell(TSimTime Time);
    void StartCondition(TSimTime Time);
    void StopCondition(TSimTime Time);
    void PresentBit();
    void CheckFrame(const char* Condition, TSimTime Time);

    TI2CTarget* FTarget;
    TI2CTiming FTiming;
    TPinTimingLog FLog;

    bool FMasterScl = false; // master pulls low
    bool FMasterSda = false;
    bool FTargetSda = false; // target pulls SDA low
    bool FScl = true;
    bool FSda = true;
    bool FPullUps = true;
    TPeriodMeter FClock;
    // SCL clocks since the last START (-1: none since the master started).
    long long FClocksSinceStart = -1;

    TMode FMode = TMode::Idle;
    int FBit = 0; // bits of the present byte so far (9 = the acknowledge clock)
    std::uint8_t FShift = 0;
    bool FFirst = false;      // the byte is the select byte after a START
    bool FAcked = false;      // the target acknowledged the byte just received
    bool FMasterAck = false;  // the master acknowledged the byte just sent
    std::uint8_t FOut = 0xFF; // byte being sent

    std::uint64_t FStarts = 0, FStops = 0;
    TSimTime FSclRise{-1}, FSclFall{-1}, FSdaChange{-1}, FStart{-1}, FStop{-1};
};
