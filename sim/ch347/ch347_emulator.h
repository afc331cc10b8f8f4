// The CH347 USB-to-SPI/I2C bridge (CH347T 1a86:55db, CH347F 1a86:55de) on a
// programmer board, emulated at the USB transfer boundary: bulk OUT
// transfers go in, bulk IN packets come out, and in between the chip's SPI
// commands drive a chip model in the board's socket. Written from the
// public open-source drivers of the chip; what it decodes:
//
// A bulk OUT transfer is cut into packets of at most 510 bytes. Each packet
// is one frame: a command byte, the payload length (16 bits, little
// endian) and exactly that many payload bytes; a frame that does not fill
// its packet exactly, or a packet holding less than a header, is malformed.
//   0xC0  configuration, 26 bytes: CPOL at offset 6 (2 = idle high), CPHA
//         at 8 (1 = second edge), prescaler at 12 (bits 5-3: 60 MHz / 2^n),
//         first bit at 14 (0 = MSB). Answer: C0 01 00 00.
//   0xC1  chip selects, 10 bytes: a control byte for CS1 at offset 0 and
//         for CS2 at offset 5 (0x80: change it; with 0x40 deasserted, else
//         asserted). No answer.
//   0xC2  1-507 data bytes shifted out; answer: C2, the length, the bytes
//         shifted in.
//   0xC3  a 32-bit little-endian count (1-4096) of bytes to shift in (0xFF
//         out); answer: frames C3, length, data of at most 507 bytes each.
//   0xC4  1-507 data bytes shifted out; answer: C4 01 00 00.
// Anything else (another command, a length outside these, a transfer before
// the first configuration) is malformed: it is counted, and the packet has
// no effect and no answer (so the host's read times out, as a real chip
// that ignores a frame would leave it).
//
// The socket: a 25C chip on CS1 (the 24C and 93C families need the I2C
// stream and the Microwire path, which this emulator does not yet decode).
// The chip models speak SPI mode 0 (which is also mode 3 for them); in
// modes 1 and 2 they sample on the wrong edge, so nothing they shift in
// means anything: the emulator hands them no bytes and SO reads as pulled
// up (0xFF). With LSB first set, the bits of every byte go out and come in
// reversed.
//
// Time. The board keeps a virtual clock: the SPI bytes of a frame take 8
// bits each at the chosen clock, write cycles run on it. The first bulk IN
// after a bulk OUT costs one high-speed round trip (RoundTrip: a microframe,
// 125 us), each further answer packet of the same batch a packet slot
// (InPacketTime: a microframe carries 13 bulk packets of 512 bytes).
#pragma once

#include "chips/chip.h"
#include "usb_result.h"
#include "virtual_clock.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct TCh347Faults {
    // The board is pulled out after this many OUT bytes (counted from
    // plugging it in): the rest of that transfer is lost.
    std::optional<std::uint64_t> UnplugAfterOutBytes;
};

struct TCh347Stats {
    std::uint64_t OutTransfers = 0;
    std::uint64_t OutPackets = 0;
    std::uint64_t OutBytes = 0;
    std::uint64_t InTransfers = 0; // bulk IN packets taken (or timed out)
    std::uint64_t RoundTrips = 0;
    std::uint64_t InBytes = 0;
    std::uint64_t Malformed = 0;
    std::size_t LargestOutPacket = 0;
    TSimDuration BusTime{0};
};

class TCh347Emulator {
  public:
    static constexpr std::size_t PacketSize = 510;
    static constexpr std::size_t HeaderSize = 3;
    static constexpr std::size_t MaxFrameData = PacketSize - HeaderSize;
    static constexpr std::size_t MaxTransfer = 4096;
    static constexpr TSimDuration RoundTrip = std::chrono::microseconds(125);
    static constexpr TSimDuration InPacketTime = std::chrono::microseconds(125) / 13;
    static constexpr TSimDuration InTimeout = std::chrono::seconds(1);

    TCh347Emulator();
    ~TCh347Emulator();
    TCh347Emulator(const TCh347Emulator&) = delete;
    TCh347Emulator& operator=(const TCh347Emulator&) = delete;

    std::unique_ptr<TSimChip> InsertChip(std::unique_ptr<TSimChip> Chip);
    TSimChip* Chip() const { return FChip.get(); }

    TUsbResult BulkOut(std::span<const std::uint8_t> Data);
    // The oldest answer packet into Into (replaced). Timeout when there is
    // none (the clock moves by InTimeout); Overflow when it is longer than
    // Max (the packet is lost, Into stays empty).
    TUsbResult BulkIn(std::size_t Max, std::vector<std::uint8_t>& Into);
    std::size_t PendingPackets() const { return FReply.size(); }

    TCh347Faults& Faults() { return FFaults; }
    void Unplug() { FPlugged = false; }
    // Plugged in again: the bridge and the chip power up afresh (the chip
    // keeps its memory).
    void Replug();
    bool Plugged() const { return FPlugged; }

    TVirtualClock& Clock() { return FClock; }
    const TCh347Stats& Stats() const { return FStats; }
    const std::vector<std::string>& MalformedReasons() const { return FMalformedReasons; }
    bool Configured() const { return FConfigured; }
    std::uint32_t SpiClockHz() const { return FSpiHz; }
    int SpiMode() const { return FMode; }
    bool Selected() const { return FSelected; }

  private:
    void PowerUp();
    void Packet(std::span<const std::uint8_t> P);
    void Configure(std::span<const std::uint8_t> Payload);
    void ChipSelect(std::span<const std::uint8_t> Payload);
    std::uint8_t Shift(std::uint8_t Out);
    void Answer(std::uint8_t Command, std::span<const std::uint8_t> Data);
    void Malformed(const std::string& Why);

    TVirtualClock FClock;
    std::unique_ptr<TSimChip> FChip;
    std::deque<std::vector<std::uint8_t>> FReply;
    bool FTurnaround = false;
    TCh347Faults FFaults;
    TCh347Stats FStats;
    std::vector<std::string> FMalformedReasons;
    bool FPlugged = true;
    std::uint64_t FOutSincePlug = 0;
    bool FConfigured = false;
    std::uint32_t FSpiHz = 0;
    std::int64_t FBitRemainder = 0;
    int FMode = 0;
    bool FLsbFirst = false;
    bool FSelected = false;
};
