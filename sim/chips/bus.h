// The three target buses as the programmer unit drives them. A chip model
// implements the interface of its family; the unit reaches the chip in its
// socket only through these operations, so a test can put any device that
// speaks the bus in the socket.
#pragma once

#include <cstdint>

// I2C (two-wire) target: the unit is the bus master.
class TI2CTarget {
  public:
    virtual ~TI2CTarget() = default;

    // START condition; also a repeated START while a transfer is open.
    virtual void Start() = 0;
    // STOP condition: ends the transfer (and starts a pending write cycle).
    virtual void Stop() = 0;
    // Eight bits from the master; true when the target acknowledges them.
    virtual bool Write(std::uint8_t Byte) = 0;
    // Eight bits to the master, followed by the master's acknowledge bit
    // (Ack true) or not-acknowledge (Ack false, the last byte of a read).
    // A target that does not drive the bus returns 0xFF (pull-up).
    virtual std::uint8_t Read(bool Ack) = 0;
};

// SPI target, mode 0, most significant bit first.
class TSpiTarget {
  public:
    virtual ~TSpiTarget() = default;

    // Chip select: true = active (the /CS line low).
    virtual void Select(bool Active) = 0;
    // One full-duplex byte: Mosi shifted in, the returned byte shifted out on
    // SO. A target that does not drive SO returns 0xFF (pull-up).
    virtual std::uint8_t Transfer(std::uint8_t Mosi) = 0;
};

// Microwire (three-wire) target. Chip select is active high.
class TMicrowireTarget {
  public:
    virtual ~TMicrowireTarget() = default;

    virtual void Select(bool Active) = 0;
    // One clock pulse: DI is sampled on the rising edge; returns the level of
    // DO after that edge. A DO in high impedance reads as 1 (pull-up).
    virtual bool Clock(bool DI) = 0;
    // The present level of DO without clocking (ready/busy status after CS
    // rises, the dummy 0 of a read, high impedance as 1).
    virtual bool DataOut() const = 0;
};
