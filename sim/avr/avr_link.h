// An in-process serial line from the PC to the programmer unit on the
// simulated MCU (avr_unit.h). Like TByteLink, the line keeps the PC's clock
// and every byte takes its wire time; unlike the interpreter in process,
// the MCU answers only while it runs, so reading runs it, up to the bytes
// asked for or the time-out, and never further than the PC's own time.
#pragma once

#include "avr/avr_unit.h"
#include "sim_line.h"
#include "usb_serial_chip.h"
#include "virtual_clock.h"

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

class TAvrLink : public TSimLine {
  public:
    // The PC's side sends at BaudRate (10 bits a byte); received bytes reach
    // it Turnaround after their stop bit (see TByteLinkConfig).
    explicit TAvrLink(TAvrUnit& Unit, std::uint32_t BaudRate = 115200, TSimDuration Turnaround = {});

    // The PC's port rate: bytes take its time each way, and each end reads
    // the other's bytes at its own rate (serial_character.h), so a rate the
    // MCU is not at garbles them.
    void SetBaudRate(std::uint32_t Baud) override;
    // The USB-serial chip that makes the PC's rate (usb_serial_chip.h).
    void SetAdapter(TUsbSerialChip Chip);
    // The rate on the wire at the PC's end.
    std::uint32_t LineBaud() const { return FLineBaud; }

    void Write(std::span<const std::uint8_t> Bytes) override;
    void Write(std::string_view Text);
    std::size_t Read(std::uint8_t* Buffer, std::size_t Count, TSimDuration Timeout) override;
    std::vector<std::uint8_t> Read(std::size_t Count, TSimDuration Timeout);
    std::size_t InputCount() override;
    std::size_t OutputCount() const override;
    void FlushInput() override;
    void SetDTR(bool Set) override;
    void SetRTS(bool Set) override { FRTS = Set; }
    void Sleep(TSimDuration Time) override { FClock.Advance(Time); }
    TSimTime Now() const override { return FClock.Now(); }

    // Waits until every written byte has left (the clock moves to that point).
    void Drain();
    TSimDuration ByteTime() const { return FByteTime; }
    // Every byte written so far, in order; the number of bytes received.
    const std::vector<std::uint8_t>& Sent() const { return FSent; }
    std::uint64_t ReceivedCount() const { return FReceived; }
    TAvrUnit& Unit() { return FUnit; }

  private:
    // Runs the MCU up to the PC's present time and takes what it sent.
    void CatchUp();
    void Collect();

    struct TInFlight {
        std::uint8_t Byte;
        TSimTime Arrival;
    };

    void Rate();

    TAvrUnit& FUnit;
    std::uint32_t FBaud;
    TUsbSerialChip FChip = TUsbSerialChip::Exact;
    std::uint32_t FLineBaud;
    TSimDuration FByteTime;
    TSimDuration FTurnaround;
    TVirtualClock FClock;
    std::uint64_t FReceived = 0;
    TSimTime FTxFree{0};
    std::deque<TSimTime> FOutgoing; // arrival times of bytes not yet arrived
    std::deque<TInFlight> FIncoming;
    bool FRTS = false;
    std::vector<std::uint8_t> FSent;
};
