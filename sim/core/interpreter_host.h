// What the unit's command interpreter needs from the board it runs on: the
// line back to the PC, the three bus masters, the write delay, and a few
// hooks. The firmware implements it on the ATmega328P's pins, the simulated
// unit on the chip models of sim/chips.
//
// Everything under sim/core is freestanding: it compiles for the MCU with
// avr-gcc as well as for the PC, so it uses no heap, no exceptions and no
// standard library beyond <stdint.h>.
#pragma once

#include <stdint.h>

enum class TUnitBus : uint8_t { I2C = 0, SPI = 1, Microwire = 2 };

// The unit's reset output to the target board's microcontroller.
enum class TTargetReset : uint8_t { Released, DrivenLow, DrivenHigh };

// Another answer to one command than the interpreter's own (the simulated
// unit's fault injection; the firmware never asks for one).
struct TCommandOverride {
    enum class TKind : uint8_t {
        None,
        // Not carried out: a data reply keeps its length as 0xFF filler,
        // then "?" and Byte take the acknowledgement's place.
        Error,
        // Carried out; Byte is sent instead of the carriage return.
        Acknowledge
    };
    TKind Kind = TKind::None;
    uint8_t Byte = 0;
};

class TInterpreterHost {
  public:
    // One byte towards the PC.
    virtual void Send(uint8_t Byte) = 0;

    // I2C master. Start returns false, without a START, when SDA or SCL does
    // not read high once released (no pull-up, or a chip holds the line).
    // Write returns true when the target acknowledged the byte; Read ends
    // with the master's ACK (Ack true) or NACK. A bus with nothing on it
    // reads 0xFF and acknowledges nothing.
    virtual bool I2CStart() = 0;
    virtual void I2CStop() = 0;
    virtual bool I2CWrite(uint8_t Byte) = 0;
    virtual uint8_t I2CRead(bool Ack) = 0;
    // The data bytes of a page command ("W") for I2C that have already
    // arrived after the one just written, taken from the line and written
    // by the host itself, at most Count: the number taken. It stops before
    // a byte the line marked (a gap, lost bytes) and after one the target
    // did not acknowledge (Nacked). A host that is fed byte by byte takes
    // none.
    virtual uint16_t I2CWritePageData(uint16_t, bool&) { return 0; }
    // Count bytes read, all but the last acknowledged, each sent towards the
    // PC as it comes.
    virtual void I2CReadBlock(uint16_t Count) {
        for (uint16_t i = 0; i < Count; ++i)
            Send(I2CRead(i + 1u < Count));
    }
    // Frees a bus a chip may hold (a read cut short leaves it driving SDA
    // low) and abandons a page a write cut short left loaded: true when both
    // lines read high afterwards. A master on the chip models, which have no
    // half-sent bytes, needs no more than a START and a STOP.
    virtual bool I2CBusClear() {
        const bool free = I2CStart();
        if (free) I2CStop();
        return free;
    }

    // SPI master, mode 0, most significant bit first. Active = /CS low.
    virtual void SpiSelect(bool Active) = 0;
    virtual uint8_t SpiTransfer(uint8_t Mosi) = 0;
    // Count bytes read (0xFF shifted out), each sent towards the PC as it
    // comes; a master may overlap the two.
    virtual void SpiReadBlock(uint16_t Count) {
        for (uint16_t i = 0; i < Count; ++i)
            Send(SpiTransfer(0xFF));
    }

    // Microwire master; chip select is active high. Clock gives one pulse
    // with DI and returns DO after the rising edge (1 when nothing drives
    // it). WaitReady waits, bounded, until DO shows ready (high); false on
    // the time-out.
    virtual void MwSelect(bool Active) = 0;
    virtual bool MwClock(bool DI) = 0;
    virtual bool MwWaitReady() = 0;
    // Bits (1 to 8) clock pulses with DI from Out, bit 7 first; returns DO
    // after each rising edge, the last one in bit 0. A master may clock
    // them faster than one MwClock call each.
    virtual uint8_t MwShift(uint8_t Out, uint8_t Bits) {
        uint8_t in = 0;
        for (uint8_t i = 0; i < Bits; ++i)
            in = static_cast<uint8_t>((in << 1) | (MwClock(((Out >> (7 - i)) & 1) != 0) ? 1 : 0));
        return in;
    }

    // The write delay after a write cycle has started.
    virtual void WaitMs(uint8_t Ms) = 0;

    // Settings from the PC that reach the pins.
    virtual void BusChanged(TUnitBus) {}
    virtual void ClockSpeedChanged(uint8_t) {}
    virtual void TargetResetChanged(TTargetReset) {}

    // Observation: a command letter has arrived (its answer may be
    // overridden); Done data bytes of a page command have gone to the bus
    // and Left are still to come (false holds the command where it is, as a
    // pulled cable would); a command has been answered or dropped.
    virtual TCommandOverride CommandStarted(uint8_t) { return TCommandOverride(); }
    virtual bool PageContinues(uint16_t, uint16_t) { return true; }
    virtual void CommandEnded() {}

  protected:
    ~TInterpreterHost() = default;
};
