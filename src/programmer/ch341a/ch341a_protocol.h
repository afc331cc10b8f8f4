// The CH341A's USB interface in its I2C/SPI/parallel mode (product id
// 0x5512) as the public descriptions of the chip give it: the device, its
// bulk endpoints and 32-byte packets, the three stream commands and their
// sub-commands, and the pins of the programmer board's socket.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Ch341 {

inline constexpr std::uint16_t VendorId = 0x1A86;
inline constexpr std::uint16_t ProductId = 0x5512;
inline constexpr int Interface = 0;
inline constexpr std::uint8_t OutEndpoint = 0x02;
inline constexpr std::uint8_t InEndpoint = 0x82;
inline constexpr std::size_t PacketSize = 32;
// The board answers each packet with one bulk IN packet: the reply bytes a
// packet's sub-commands produce must fit in it.
inline constexpr std::size_t MaxReply = 32;

// Stream commands: the first byte of a packet.
inline constexpr std::uint8_t I2CStream = 0xAA;
inline constexpr std::uint8_t SpiStream = 0xA8;
inline constexpr std::uint8_t UioStream = 0xAB;

// I2C stream sub-commands.
inline constexpr std::uint8_t I2CStart = 0x74;
inline constexpr std::uint8_t I2CStop = 0x75;
// 0x80 | n: the next n bytes (1-32, as many as the packet holds) onto the
// bus; 0x80 alone: the next byte and its acknowledge bit back (bit 7 set:
// not acknowledged).
inline constexpr std::uint8_t I2COut = 0x80;
inline constexpr std::uint8_t I2CNak = 0x80;
// 0xC0 | n: n bytes (1-32) from the bus, acknowledged; 0xC0 alone: one byte,
// not acknowledged.
inline constexpr std::uint8_t I2CIn = 0xC0;
// 0x60 | speed (bits 1-0).
inline constexpr std::uint8_t I2CSet = 0x60;
inline constexpr std::uint8_t I2CEnd = 0x00;
inline constexpr std::size_t I2CMaxRun = 32;

// The I2C speeds the chip offers, in the order of their setting codes.
inline constexpr int I2CSpeedsKHz[] = {20, 100, 400, 750};

// UIO stream sub-commands: the port D0-D7.
inline constexpr std::uint8_t UioIn = 0x00;  // the levels of D0-D7 back
inline constexpr std::uint8_t UioDir = 0x40; // | directions of D0-D5 (1 = output)
inline constexpr std::uint8_t UioOut = 0x80; // | levels of D0-D5
inline constexpr std::uint8_t UioEnd = 0x20;
inline constexpr std::uint8_t UioMicroseconds = 0xC0; // | n: a pause of n (0-63) microseconds

// The socket's pins on the port. 25C parts: /CS on D0, SCK on D3, SI on D5,
// SO on D7. 93C parts, on their adapter: CS (active high) on D0, SK on D3,
// DI on D5, DO on D7.
inline constexpr std::uint8_t PinCS = 1u << 0;
inline constexpr std::uint8_t PinSCK = 1u << 3;
inline constexpr std::uint8_t PinMOSI = 1u << 5;
inline constexpr std::uint8_t PinMISO = 1u << 7;
// D1, D2 (the other chip selects) and D4 stay high for SPI.
inline constexpr std::uint8_t SpiIdle = 0x37;
inline constexpr std::uint8_t SpiSelected = SpiIdle & ~PinCS;
inline constexpr std::uint8_t MicrowireOutputs = PinCS | PinSCK | PinMOSI;

// The SPI stream shifts least significant bit first; the chips expect the
// most significant bit first.
constexpr std::uint8_t ReverseBits(std::uint8_t b) {
    b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

} // namespace Ch341
