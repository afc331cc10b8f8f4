// The cable from a simulated printer port to the simulated programmer unit:
// the port model's connector pins wired to the unit's pin link (sim/), and
// time kept in I/O cycles. Every register access of the port is one I/O
// cycle of IoTime (1 us, an ISA-speed port) on the unit's clock; the pin
// link's own per-access time is set to zero so that a register access costs
// exactly one cycle however many pins it moves or samples.
//
// Of the input pins, SYNC (10) and MISO (11) come from the unit; the others
// are not connected and float high. The unit's SYNC is sampled on every
// status register read, so every status read counts as one SYNC poll.
#pragma once

#include "pin_link.h"
#include "ports/link_clock.h"
#include "ports/lpt_connector.h"

class TSimLptCable : public TLptConnector {
  public:
    // Link must outlive the cable.
    explicit TSimLptCable(TPinLink& Link, TSimDuration IoTime = std::chrono::microseconds(1));

    void SetPin(int Pin, bool High) override;
    bool GetPin(int Pin) override;
    void IoCycle() override;

    TSimDuration IoTime() const { return FIoTime; }
    std::uint64_t Cycles() const { return FCycles; }

  private:
    TPinLink& FLink;
    const int FSyncPin;
    const int FMisoPin;
    TSimDuration FIoTime;
    std::uint64_t FCycles = 0;
};

// The unit's virtual clock as a driver clock: a pause moves it forward.
class TSimUnitClock : public TLinkClock {
  public:
    explicit TSimUnitClock(TVirtualClock& Clock) : FClock(Clock) {}
    TLinkTime Now() override { return FClock.Now(); }
    void Sleep(TLinkDuration Time) override { FClock.Advance(Time); }

  private:
    TVirtualClock& FClock;
};
