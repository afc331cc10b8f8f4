// Serves the programmer unit on the simulated MCU on a pseudo-terminal. The
// simulation is paced by real time: the MCU's clock never runs more than a
// millisecond ahead of the time since the server started, bytes from the
// terminal reach its UART at the real bit rate, and its replies go out as it
// sends them. The PC side's time limits therefore hold as with a board. The
// bit rate is the one the program set on the terminal (the master end sees
// its settings): when it and the MCU's differ, each end reads the other's
// bytes garbled, as on a wire (serial_character.h).
#pragma once

#include "avr/avr_unit.h"
#include "tools/pty_server.h"

#include <chrono>
#include <string>

class TAvrPtyServer {
  public:
    TAvrPtyServer(TAvrUnit& Unit, std::string LinkPath);
    TAvrPtyServer(const TAvrPtyServer&) = delete;
    TAvrPtyServer& operator=(const TAvrPtyServer&) = delete;

    const std::string& Path() const { return FPty.Path(); }

    // Moves bytes until StopFd becomes readable (a signal's self-pipe).
    void Run(int StopFd);

  private:
    TSimTime Elapsed() const;
    // The rate the program has set on the terminal.
    std::uint32_t ProgramBaud() const;

    TAvrUnit& FUnit;
    TPty FPty;
    TSimTime FOrigin; // MCU time at the start
    std::chrono::steady_clock::time_point FStart;
    TSimTime FTxFree{0};
    std::string FPending;
};
