// An in-process serial line to a simulated unit: what the serial transport's
// byte layer needs (write, bounded read, input/output counts, flush, modem
// lines), with no operating system and no real time. Each byte occupies the
// line for its wire time (10 bits at 115 200 baud by default) in each
// direction; the unit handles a byte when it has arrived and its replies
// arrive one wire time after the unit is ready to send them.
//
// The link keeps the PC's clock. Writing does not move it (the bytes are
// queued on the line, as with a real UART). Reading moves it to the arrival
// of the bytes taken, or by the whole time-out when they do not all arrive,
// so a dead unit costs exactly the time-out and never a real wait. A PC loop
// that polls InputCount() must move the clock itself between polls (Sleep),
// or use the bounded Read instead.
#pragma once

#include "sim_line.h"
#include "unit.h"
#include "virtual_clock.h"

#include <cstdint>
#include <deque>
#include <span>
#include <string_view>
#include <vector>

struct TByteLinkConfig {
    std::uint32_t BaudRate = 115200; // 0 = bytes take no time
    std::uint32_t BitsPerByte = 10;  // start + 8 data + stop
    // A USB-serial adapter hands received bytes to the PC this long after
    // their stop bit (its latency timer: about 1 ms in low-latency mode,
    // 16 ms by default), so every wait for a reply costs it once.
    TSimDuration Turnaround{0};
};

class TByteLink : public TSimLine {
  public:
    explicit TByteLink(TProgrammerUnit& Unit, TByteLinkConfig Config = {});

    // Queues bytes towards the unit; returns at once.
    void Write(std::span<const std::uint8_t> Bytes) override;
    void Write(std::string_view Text);
    void WriteByte(std::uint8_t Byte) { Write(std::span<const std::uint8_t>(&Byte, 1)); }

    // Up to Count bytes from the unit, waiting at most Timeout of link time.
    // Returns fewer than Count only when the time-out expired.
    std::vector<std::uint8_t> Read(std::size_t Count, TSimDuration Timeout);
    std::size_t Read(std::uint8_t* Buffer, std::size_t Count, TSimDuration Timeout) override;

    // Bytes that have arrived from the unit and not been read.
    std::size_t InputCount() override;
    // Bytes the unit has sent that the PC has not read yet, arrived or still
    // on the line. A real port cannot know this; tests and benchmarks use it
    // to read a reply whole without waiting out a time-out.
    std::size_t UnreadCount();
    // Bytes written and still on their way to the unit.
    std::size_t OutputCount() const override;
    // Waits until every written byte has left (the clock moves to that point).
    void Drain();
    // Discards the bytes that have arrived and not been read.
    void FlushInput() override;

    // Modem lines. The unit does not react to them; changes are recorded in
    // the transcript.
    void SetDTR(bool Set) override;
    void SetRTS(bool Set) override;
    bool DTR() const { return FDTR; }
    bool RTS() const { return FRTS; }

    // A pause on the PC side: moves the link clock.
    void Sleep(TSimDuration Time) override { FClock.Advance(Time); }
    TSimTime Now() const override { return FClock.Now(); }

    TVirtualClock& Clock() { return FClock; }
    const TVirtualClock& Clock() const { return FClock; }
    TProgrammerUnit& Unit() { return FUnit; }
    TSimDuration ByteTime() const { return FByteTime; }

  private:
    struct TInFlight {
        std::uint8_t Byte;
        TSimTime Arrival;
    };
    // Moves the unit's queued output onto the line towards the PC.
    void Collect();

    TProgrammerUnit& FUnit;
    TSimDuration FByteTime;
    TSimDuration FTurnaround;
    TVirtualClock FClock;
    TSimTime FTxFree{0};             // PC to unit line free again
    TSimTime FRxFree{0};             // unit to PC line free again
    std::deque<TInFlight> FIncoming; // unit to PC, by arrival
    std::deque<TSimTime> FOutgoing;  // arrival times of PC bytes not yet arrived (for OutputCount)
    bool FDTR = false;
    bool FRTS = false;
};
