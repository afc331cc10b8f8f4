// The CH347's USB interface in its SPI/I2C modes, as the public open-source
// drivers of the chip give it. Where each fact comes from:
//
// - Ids 1a86:55db (CH347T) and 1a86:55de (CH347F), the command bytes
//   0xC0 (SPI configuration), 0xC1 (chip select), 0xC2 (out and in),
//   0xC3 (in), 0xC4 (out), the bulk endpoints 0x06 OUT / 0x86 IN, and the
//   chip-select control bits (0x80 change, 0x40 deassert): flashrom's
//   ch347_spi.c. The same file gives the CH347T's interface: 2 in its
//   mode 1 (UART + SPI/I2C), 1 in its mode 2 (HID).
// - The CH347F's interface (4): the CH347 interface driver of ufprog.
// - The frame: one command byte, then the payload length as a 16-bit
//   little-endian number, then the payload: flashrom, ufprog and
//   spi-nand-prog agree.
// - Packet sizes: the high-speed bulk endpoints carry 512 bytes, but
//   flashrom notes that the vendor's own driver never sends more than 510 in
//   one packet, and its transfers are cut at that size; we do the same.
//   ufprog caps one command's data at 4096 bytes (CH347_MAX_XFER_LEN); none
//   of the sources says what the chip does with more. We never send more,
//   and the emulator rejects it.
// - The SPI clock: 60 MHz divided by 2^n, n 0-7 (60 MHz ... 468.75 kHz),
//   n in bits 5-3 of the prescaler word of the configuration (flashrom,
//   ufprog's CH347_SPI_MAX_PRESCALER 7).
// - The configuration payload (26 bytes, little-endian 16-bit fields):
//   direction, mode, data size, CPOL (2 = high), CPHA (1 = second edge),
//   NSS, prescaler, first bit (0 = MSB), CRC polynomial, read/write
//   interval, default output byte, chip-select polarity: flashrom and
//   spi-nand-prog lay it out the same way. Its answer is a frame of one
//   status byte (0 = accepted).
// - 0xC2 answers with a frame of as many bytes as it shifted; 0xC3 takes a
//   32-bit little-endian count and answers with frames of at most 507 data
//   bytes each (510 minus the header) until the count is met; 0xC4 answers
//   with a frame of one status byte: flashrom reads these exactly so.
//   Whether the chip waits for an answer to be taken before it accepts the
//   next command is not said anywhere; we always take every answer before
//   sending the next command that has one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Ch347 {

inline constexpr std::uint16_t VendorId = 0x1A86;
inline constexpr std::uint16_t ProductIdT = 0x55DB;
inline constexpr std::uint16_t ProductIdF = 0x55DE;
inline constexpr int InterfaceTMode1 = 2;
inline constexpr int InterfaceTMode2 = 1;
inline constexpr int InterfaceF = 4;
inline constexpr std::uint8_t OutEndpoint = 0x06;
inline constexpr std::uint8_t InEndpoint = 0x86;

// One bulk packet, and one frame's header (command byte and length).
inline constexpr std::size_t PacketSize = 510;
inline constexpr std::size_t HeaderSize = 3;
inline constexpr std::size_t MaxFrameData = PacketSize - HeaderSize;
// The most data one command moves.
inline constexpr std::size_t MaxTransfer = 4096;

inline constexpr std::uint8_t SpiSetConfig = 0xC0;
inline constexpr std::uint8_t SpiChipSelect = 0xC1;
inline constexpr std::uint8_t SpiOutIn = 0xC2;
inline constexpr std::uint8_t SpiIn = 0xC3;
inline constexpr std::uint8_t SpiOut = 0xC4;

inline constexpr std::size_t ConfigSize = 26;
// Offsets in the configuration payload.
inline constexpr std::size_t ConfigCpol = 6;
inline constexpr std::size_t ConfigCpha = 8;
inline constexpr std::size_t ConfigPrescaler = 12;
inline constexpr std::size_t ConfigFirstBit = 14;

// The chip-select payload: one control byte for each of the two selects.
inline constexpr std::size_t ChipSelectSize = 10;
inline constexpr std::size_t ChipSelect1 = 0;
inline constexpr std::size_t ChipSelect2 = 5;
inline constexpr std::uint8_t CsChange = 0x80;
inline constexpr std::uint8_t CsDeassert = 0x40;

inline constexpr std::uint32_t SpiBaseClockHz = 60'000'000;
inline constexpr int MaxPrescaler = 7;

constexpr std::uint32_t SpiClockHz(int Prescaler) {
    return SpiBaseClockHz >> Prescaler;
}

} // namespace Ch347
