// The serial line to a simulated programmer unit in the same process
// (sim/sim_line.h: the interpreter on sim/byte_link.h, or the firmware on
// the simulated MCU): bytes take their wire time, the unit answers in its
// own time, and every wait and pause moves the link's virtual clock
// instead of sleeping, so a time-out costs exactly its length in simulated
// time and nothing in real time.
#pragma once

#include "ports/serial_line.h"
#include "sim_line.h"

#include <deque>

// The link's virtual clock as a driver clock.
class TSimLinkClock : public TLinkClock {
  public:
    explicit TSimLinkClock(TSimLine& Link) : FLink(Link) {}
    TLinkTime Now() override { return FLink.Now(); }
    void Sleep(TLinkDuration Time) override { FLink.Sleep(Time); }

  private:
    TSimLine& FLink;
};

class TSimSerialLine : public TSerialLine {
  public:
    // Link must outlive the line.
    explicit TSimSerialLine(TSimLine& Link);
    // Closing drops DTR and RTS, as a serial port's hang-up on close does.
    ~TSimSerialLine() override;

    void SetBaudRate(int Baud) override { FLink.SetBaudRate(static_cast<std::uint32_t>(Baud)); }
    void SetDataBits(int) override {}
    void SetParity(TParity) override {}
    bool SetDTR(bool Active) override;
    bool SetRTS(bool Active) override;
    std::size_t ReadAvailable(std::uint8_t* Buffer, std::size_t Max) override;
    bool WaitInput(TLinkDuration Timeout) override;
    std::size_t Write(const std::uint8_t* Bytes, std::size_t Count, TLinkDuration Timeout) override;
    std::size_t OutputCount() override;
    void Discard() override;
    TLinkClock& Clock() override { return FClock; }
    std::string Kind() const override { return "simulated unit"; }

  private:
    TSimLine& FLink;
    TSimLinkClock FClock;
    std::deque<std::uint8_t> FArrived; // taken off the link while waiting
};
