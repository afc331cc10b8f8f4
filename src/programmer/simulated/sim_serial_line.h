// The serial line to a simulated programmer unit in the same process
// (sim/byte_link.h): bytes take their wire time, the unit answers at once in
// its own time, and every wait and pause moves the link's virtual clock
// instead of sleeping, so a time-out costs exactly its length in simulated
// time and nothing in real time.
#pragma once

#include "byte_link.h"
#include "ports/serial_line.h"

#include <deque>

// The link's virtual clock as a driver clock.
class TSimLinkClock : public TLinkClock {
  public:
    explicit TSimLinkClock(TByteLink& Link) : FLink(Link) {}
    TLinkTime Now() override { return FLink.Clock().Now(); }
    void Sleep(TLinkDuration Time) override { FLink.Sleep(Time); }

  private:
    TByteLink& FLink;
};

class TSimSerialLine : public TSerialLine {
  public:
    // Link must outlive the line.
    explicit TSimSerialLine(TByteLink& Link);
    // Closing drops DTR and RTS, as a serial port's hang-up on close does.
    ~TSimSerialLine() override;

    void SetBaudRate(int) override {}
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
    TByteLink& FLink;
    TSimLinkClock FClock;
    std::deque<std::uint8_t> FArrived; // taken off the link while waiting
};
