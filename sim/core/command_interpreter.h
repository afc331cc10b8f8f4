// The programmer unit's command interpreter: bytes from the PC in, replies
// and bus operations out through a TInterpreterHost. The same code runs in
// the firmware on the MCU and in the simulated unit on the PC.
//
// Command set (letter, arguments, reply before the acknowledgement; "hh" is
// two upper-case hexadecimal digits; every command ends with CR, or "?" and
// an error code):
//   X  -        -        start condition (I2C, a repeated start inside a
//                        transfer); select the chip (SPI, Microwire)
//   x  -        -        stop condition; deselect
//   Z  -        -        I2C: bus clear (up to nine clocks with SDA released
//                        until a chip holding SDA lets go, then START and
//                        STOP, which abandons a page a cut-short write left
//                        loaded). Microwire: wait until the chip reports
//                        ready. SPI: deselect
//   w  byte     -        one byte onto the bus (Microwire: eight bits)
//   r  -        byte     one byte from the bus (I2C: not acknowledged)
//   W  n, data  -        I2C/SPI: n data bytes onto the bus; I2C then ends
//                        the transfer with a stop and waits the write delay.
//                        Microwire: n bits (1..16) from ceil(n/8) bytes
//   R  n        n bytes  n bytes from the bus (I2C: all but the last
//                        acknowledged); n = 0 reads 256 on a fast-link unit
//   M  hh       -        bus: 00 I2C, 01 SPI, 02 Microwire
//   P  hh       -        target reset polarity: 00 low, 01 high, 02 off
//   E  hh       -        bus clock speed (stored: 01 fast, 10 medium, 20 slow)
//   D  hh       -        write delay in milliseconds
//   %  -        -        begin a memory operation (target held in reset)
//   $  -        -        end a memory operation (target released)
//   S  -        9 chars  identification
//   V  -        4 chars  hardware version
//   v  -        4 chars  firmware version
//   *  -        -        probe of the serial link; a unit that buffers
//                        commands answers "?B" instead (see Buffers below),
//                        a fast-link unit "?F" (see FastestRate)
// A fast-link unit also knows (any other answers them with "?!"):
//   l  -        4 chars  "rrss": rr its fastest line rate, ss its receive
//                        ring in 16-byte units (hex text)
//   L  hh       -        line rate 00 115 200, 01 1 000 000, 02 2 000 000
//                        baud: acknowledged at the old rate, then both ends
//                        switch and the PC confirms with "*" (link_control.h)
// Error codes: "!" unknown command, "#" argument not two upper-case hex
// digits or out of range, "T" the chip did not acknowledge on I2C or stayed
// busy past the ready time-out, "M" Microwire misuse (a bus command without
// "X", a bit count outside 1..16), "m" Microwire out of sync (no dummy 0
// after a read instruction), "H" SDA or SCL stays low (no pull-up, or a
// chip holds the bus), and from the serial line (link_control.h): "O"
// received bytes were lost, "I" a command stopped arriving and was dropped.
// "%" and "V" are never produced by the unit's own commands (it has no
// blank check or verify).
//
// A write cycle starts when an I2C transfer with data is stopped ("x", or
// the end of "W") and when an SPI WRITE or WRSR with data is deselected;
// the unit then waits the write delay of "D". Line ends (CR, LF) between
// commands are ignored.
#pragma once

#include "core/interpreter_host.h"

#include <stdint.h>

// A text the unit reports (identification, versions), not terminated.
struct TUnitText {
    const char* Text;
    uint8_t Size;
};

struct TUnitIdentity {
    TUnitText Identification;  // reply to "S"
    TUnitText HardwareVersion; // reply to "V"
    TUnitText FirmwareVersion; // reply to "v"
    // The unit takes commands back to back without losing any while it is
    // busy (a receive buffer of at least a page's commands), and says so by
    // answering the probe with "?B": a PC that knows it may send a page's
    // commands without waiting for each acknowledgement; one that does not
    // still opens, as it does for any "?" reply to the probe.
    bool Buffers = false;
    // The fast link: the fastest line rate the unit switches to on "L" (1:
    // 1 Mbaud, 2: 2 Mbaud; 0: none, the unit answers as one without it) and
    // the size of its receive ring, which bounds the bytes a PC may send
    // ahead of the acknowledgements. Such a unit buffers commands too, and
    // reads blocks of 256 bytes ("R" with 0).
    uint8_t FastestRate = 0;
    uint16_t RingSize = 0;
};

// The probe reply's code of a unit that buffers commands, and of one that
// also has the fast link.
constexpr uint8_t kBuffersCode = 'B';
constexpr uint8_t kFastLinkCode = 'F';

// Error codes the unit adds to those the PC has always known.
constexpr uint8_t kBusHeldCode = 'H';
constexpr uint8_t kOverrunCode = 'O';
constexpr uint8_t kIncompleteCode = 'I';

// Line rates of "L" (index = rate code).
constexpr uint32_t kLineRates[] = {115200, 1000000, 2000000};
constexpr uint8_t kLineRateCount = 3;

class TCommandInterpreter {
  public:
    // Host and the texts of Identity must outlive the interpreter.
    TCommandInterpreter(TInterpreterHost& Host, const TUnitIdentity& Identity, uint8_t DefaultWriteDelayMs);

    // One byte from the PC.
    void Receive(uint8_t Byte);
    // Drops a command still waiting for argument bytes.
    void Abandon();
    // Drops a command still waiting for argument bytes and answers "?" and
    // Code in place of its acknowledgement (the serial line lost bytes).
    void LinkError(uint8_t Code);
    // The rate an "L" just acknowledged asked for, once: the line switches
    // when the acknowledgement has gone out.
    bool TakeRateRequest(uint8_t& Code);
    // Restart: bus released, then the defaults (I2C, default write delay,
    // polarity off, clock speed 01, no memory operation).
    void Reset();

    // A command has started and still waits for argument bytes.
    bool CommandPending() const { return FLetter != 0; }
    TUnitBus Bus() const { return FBus; }
    uint8_t WriteDelayMs() const { return FWriteDelay; }
    uint8_t ResetPolarity() const { return FPolarity; }
    uint8_t ClockSpeed() const { return FClockSpeed; }
    bool OperationActive() const { return FOperation; }
    TTargetReset TargetReset() const;
    const TUnitIdentity& Identity() const { return FIdentity; }

  private:
    void StartCommand(uint8_t Letter);
    void ArgumentByte(uint8_t Byte);
    void Execute();
    void ExecuteOverridden();
    void EndCommand();
    void Reply(uint8_t Error); // 0: acknowledgement, else "?" + Error
    void SendText(const TUnitText& Text);
    bool HexArgument(uint8_t& Value) const;
    void SetOperation(bool Active);

    void ExecuteLink();
    uint8_t BusStart();
    void BusStop();
    uint8_t BusRecover();
    uint8_t BusWrite(uint8_t Byte);
    uint8_t BusRead(bool Last, uint8_t& Error);
    uint8_t I2CWrite(uint8_t Byte);
    void SpiWrite(uint8_t Byte);
    void SpiDeselect();
    bool MicrowireReadyWait();
    void BeginPage(uint8_t Count);
    void PageByte(uint8_t Byte);
    void StreamPage();
    uint8_t PageDone();
    void ReleaseBus();

    TInterpreterHost& FHost;
    TUnitIdentity FIdentity;
    uint8_t FDefaultWriteDelay;

    // settings from the PC
    TUnitBus FBus = TUnitBus::I2C;
    uint8_t FWriteDelay;
    uint8_t FPolarity = 2;
    uint8_t FClockSpeed = 1;
    bool FOperation = false;

    // command being received
    uint8_t FLetter = 0;
    uint8_t FArgs[2] = {0, 0};
    uint8_t FArgCount = 0;
    uint8_t FArgsNeeded = 0;
    TCommandOverride FOverride;
    uint8_t FPendingError = 0;  // error found while a page streamed to the bus
    uint16_t FPageDataLeft = 0; // data bytes of the running "W" still to come
    uint16_t FPageBytes = 0;    // data bytes of the running "W" so far

    // bus state
    bool FI2CTransfer = false;  // START sent, no STOP yet
    bool FI2CFirst = false;     // next byte is the select byte
    bool FI2CWriting = false;   // the select byte had R/W = 0
    bool FI2CWroteData = false; // bytes followed the select byte of a write transfer
    bool FSpiSelected = false;
    bool FSpiFirst = false;
    bool FSpiWriteInstr = false; // the selection began with WRITE or WRSR
    bool FSpiWroteData = false;  // bytes followed that instruction
    bool FMwSelected = false;
    uint16_t FMwBits = 0; // bits of the running Microwire "W"
    uint8_t FMwBitCount = 0;
    uint8_t FMwBitsLeft = 0;
    bool FMwLastDO = true;

    uint8_t FRateRequest = 0; // 1 + the code of an acknowledged "L", 0: none
};
