// One open serial device as the serial port object drives it: line settings,
// modem lines, non-blocking input, bounded waits and writes. The operating
// system's ttys (one termios implementation for real ports and
// pseudo-terminals alike) and the simulated unit each implement it. Failures
// raise EComError with the platform's text.
#pragma once

#include "ports/link_clock.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum TParity { paDefault, paNone, paOdd, paEven, paMark, paSpace };

// Operating-system calls a line has made, for the benchmarks.
struct TSerialStats {
    std::uint64_t Reads = 0;    // non-blocking reads
    std::uint64_t Writes = 0;   // write calls
    std::uint64_t Waits = 0;    // waits for input or for room to write
    std::uint64_t Controls = 0; // settings, modem lines, counts, flushes
    std::uint64_t Total() const { return Reads + Writes + Waits + Controls; }
};

class TSerialLine {
  public:
    virtual ~TSerialLine() = default;

    // Line settings; applied at once.
    virtual void SetBaudRate(int Baud) = 0;
    virtual void SetDataBits(int Bits) = 0;
    virtual void SetParity(TParity Parity) = 0;

    // Modem lines. A device without them (a pseudo-terminal) ignores the
    // change and returns false; other failures raise.
    virtual bool SetDTR(bool Active) = 0;
    virtual bool SetRTS(bool Active) = 0;

    // Up to Max bytes that have already arrived; 0 when none. Never waits.
    virtual std::size_t ReadAvailable(std::uint8_t* Buffer, std::size_t Max) = 0;
    // Waits until input has arrived or Timeout has passed (on this line's
    // clock); true when input is there.
    virtual bool WaitInput(TLinkDuration Timeout) = 0;
    // Hands Bytes to the line, waiting at most Timeout for room; returns how
    // many were taken.
    virtual std::size_t Write(const std::uint8_t* Bytes, std::size_t Count, TLinkDuration Timeout) = 0;
    // Bytes written and not yet sent.
    virtual std::size_t OutputCount() = 0;
    // Drops pending input and output.
    virtual void Discard() = 0;

    // The clock of this line's time limits and pauses.
    virtual TLinkClock& Clock() = 0;
    // The kernel driver runs in low-latency mode (short reply round trips on
    // USB adapters).
    virtual bool LowLatency() const { return false; }
    // The device has DTR and RTS (false for a pseudo-terminal).
    virtual bool ModemLines() const { return true; }
    // Which implementation serves the device ("termios", "simulated unit", ...).
    virtual std::string Kind() const = 0;

    const TSerialStats& Stats() const { return FStats; }

  protected:
    TSerialStats FStats;
};
