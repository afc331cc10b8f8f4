// The unit's end of the serial line, around the command interpreter: every
// received byte passes through here. It resynchronises the line when bytes
// were lost, and runs the fast link's change of rate.
//
// Lost bytes. When the receive ring or the UART overran, the command in
// progress (and everything still waiting in the ring) is dropped and "?O"
// takes the place of its acknowledgement. When a command's bytes stop
// arriving for kGapMs, it is dropped and answered "?I" (and so is one whose
// next byte comes only after such a gap). Either way the unit then ignores
// everything until a probe "*" that follows kQuietMs of quiet, which it
// answers as usual: the rest of a half-sent command, whenever it comes, is
// never taken for commands. The PC resynchronises with that probe (the
// open of the port always begins with one).
//
// Rate change. After the acknowledgement of "L" has gone out at the old
// rate, the line switches (TLinkHost::ApplyRate) and the unit waits for the
// PC's probe "*" at the new rate, answering it as usual. Anything else
// first, a framing error, or no probe within kConfirmMs, and it goes back to
// 115 200 baud. At a fast rate a framing error always does so: a PC that
// starts afresh at 115 200 baud is heard, after the byte it loses.
//
// Freestanding like the interpreter (the firmware's main loop and the
// simulated unit drive it); times are milliseconds of any clock, wrapping at
// 16 bits.
#pragma once

#include "core/command_interpreter.h"

#include <stdint.h>

class TLinkHost {
  public:
    // Switches the line to the rate of Code (kLineRates) once everything
    // sent so far has left at the old one.
    virtual void ApplyRate(uint8_t Code) = 0;
    // Drops the received bytes not yet handed over.
    virtual void DiscardInput() = 0;

  protected:
    ~TLinkHost() = default;
};

class TLinkControl {
  public:
    static constexpr uint16_t kGapMs = 500;
    static constexpr uint16_t kQuietMs = 20;
    static constexpr uint16_t kConfirmMs = 100;

    // Core and Host must outlive the link.
    TLinkControl(TCommandInterpreter& Core, TLinkHost& Host) : FCore(Core), FHost(Host) {}

    // One received byte, at NowMs. Gap: the line was idle for more than
    // kGapMs before it arrived. Framing: it had no stop bit.
    void Received(uint8_t Byte, bool Gap, bool Framing, uint16_t NowMs);
    // Received bytes were lost (at NowMs, before the bytes received next).
    void Lost(uint16_t NowMs);
    // While nothing waits to be handed over; IdleMs since the last byte
    // arrived.
    void Poll(uint16_t NowMs, uint16_t IdleMs);
    // Back to 115 200 baud and nothing pending, as after power-up (the host
    // sets its line itself).
    void Reset();

    // The rate code in use.
    uint8_t Rate() const { return FRate; }
    // A switch waits for its confirmation.
    bool Confirming() const { return FConfirming; }
    // Bytes are being ignored until a probe after a quiet line.
    bool Discarding() const { return FDiscarding; }

  private:
    void Resync(uint8_t Code, uint16_t NowMs);
    void Revert();

    TCommandInterpreter& FCore;
    TLinkHost& FHost;
    uint8_t FRate = 0;
    bool FConfirming = false;
    uint16_t FSwitchedMs = 0;
    bool FDiscarding = false;
    uint16_t FQuietFromMs = 0;
};
