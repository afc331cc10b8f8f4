// The PC's end of a serial line to a simulated unit, whatever answers at
// the other end (the command interpreter in process, or the firmware on the
// simulated MCU): what the serial transport's byte layer needs, on the
// line's own virtual clock. Nothing here ever waits in real time.
#pragma once

#include "virtual_clock.h"

#include <cstddef>
#include <cstdint>
#include <span>

class TSimLine {
  public:
    virtual ~TSimLine() = default;

    // Queues bytes towards the unit; returns at once.
    virtual void Write(std::span<const std::uint8_t> Bytes) = 0;
    // Up to Count bytes from the unit, waiting at most Timeout of line time;
    // fewer than Count only when the time-out expired.
    virtual std::size_t Read(std::uint8_t* Buffer, std::size_t Count, TSimDuration Timeout) = 0;
    // Bytes that have arrived from the unit and not been read.
    virtual std::size_t InputCount() = 0;
    // Bytes written and still on their way to the unit.
    virtual std::size_t OutputCount() const = 0;
    // Discards the bytes that have arrived and not been read.
    virtual void FlushInput() = 0;
    // The rate the PC's port is set to. A line that follows it makes bytes
    // take its time and garbles them when the unit's end runs at another
    // rate; the others keep their own.
    virtual void SetBaudRate(std::uint32_t) {}
    // Modem lines of the PC's port.
    virtual void SetDTR(bool Set) = 0;
    virtual void SetRTS(bool Set) = 0;
    // A pause on the PC side: moves the line's clock.
    virtual void Sleep(TSimDuration Time) = 0;
    virtual TSimTime Now() const = 0;
};
