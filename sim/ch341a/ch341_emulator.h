// The CH341A USB programmer board (USB id 1a86:5512), emulated at the USB
// transfer boundary: bulk OUT transfers go in, bulk IN transfers come out,
// and in between the stream commands of the chip drive a chip model in the
// board's socket. Written from the public descriptions of the protocol;
// what it decodes:
//
// A bulk OUT transfer is cut into 32-byte packets, as the USB bus carries
// it. Every packet begins with one stream command and holds its
// sub-commands; a sub-command never continues in the next packet. Each
// packet is decoded on its own, and the reply bytes it produces leave
// together as one bulk IN packet (none when it produces none). A packet
// holds at most 32 bytes, so a packet whose commands would produce more
// replies is an error: it is counted as malformed and only its first 32
// reply bytes leave (a real board's behaviour there is undocumented).
//   0xAA  I2C stream: 0x74 START, 0x75 STOP, 0x80|n (n 1-32) the next n
//         bytes onto the bus, 0x80 the next byte onto the bus and its
//         acknowledge bit as a reply byte (bit 7 set: not acknowledged),
//         0xC0|n (n 1-32) n bytes from the bus, each acknowledged, 0xC0
//         one byte not acknowledged, 0x60|s speed (s bits 1-0: 20, 100,
//         400, 750 kHz), 0x40|n n microseconds delay, 0x50|n n
//         milliseconds delay (n 0-15), 0x00 end of the packet's commands.
//   0xA8  SPI stream: the rest of the packet is data, shifted out least
//         significant bit first; as many bytes come back, read the same way.
//   0xAB  UIO stream (the pins D0-D7): 0x80|v outputs D0-D5, 0x40|m their
//         directions (1 = output), 0x00 the levels of D0-D7 as a reply byte,
//         0xC0|n n microseconds delay, 0x20 end of the packet's commands.
// A packet that breaks these rules is counted as malformed and the rest of
// it is ignored (a real board would do something undefined).
//
// The socket. A 24C chip sits on SDA/SCL. A 25C chip sits on the SPI pins:
// /CS on D0, SCK on D3, SI on D5, SO on D7. A 93C chip sits on an adapter
// that puts its CS (active high) on D0, SK on D3, DI on D5 and DO on D7; it
// is bit-banged through the UIO stream. Pins that are not outputs read as
// high (pull-ups), and so does D7 when nothing drives it.
//
// Time. The board keeps a virtual clock: the bus traffic of an OUT transfer
// takes its bit time at the chosen speed (I2C: 9 bits a byte, one bit for a
// START or STOP; SPI: 8 bits a byte at SpiClockHz; UIO: UioStep a
// sub-command), delay commands take their time, the chips' write cycles
// run on it. The first bulk IN after a bulk OUT costs one USB round trip
// (RoundTrip, 1 ms: a full-speed host schedules the transfers of the next
// frame), the further reply packets of the same batch a packet slot each
// (InPacketTime: a frame carries 19 bulk packets at full speed).
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

struct TCh341Faults {
    // The board is pulled out after this many OUT bytes (counted from
    // plugging it in): the rest of that transfer is lost.
    std::optional<std::uint64_t> UnplugAfterOutBytes;
};

struct TCh341Stats {
    std::uint64_t OutTransfers = 0;
    std::uint64_t InTransfers = 0; // bulk IN packets taken (or timed out)
    std::uint64_t RoundTrips = 0;  // bulk INs that waited for a turnaround
    std::uint64_t OutPackets = 0;
    std::uint64_t OutBytes = 0;
    std::uint64_t InBytes = 0;
    std::uint64_t Malformed = 0;   // packets that broke the rules
    TSimDuration BusTime{0};       // time the pins were busy
    TSimDuration DelayTime{0};     // of it, the delay commands' pauses
    TSimDuration RoundTripTime{0}; // time spent in IN round trips
};

class TCh341Emulator {
  public:
    static constexpr std::size_t PacketSize = 32;
    static constexpr std::uint32_t SpiClockHz = 1'500'000;
    static constexpr TSimDuration UioStep = std::chrono::microseconds(1);
    static constexpr TSimDuration RoundTrip = std::chrono::milliseconds(1);
    static constexpr TSimDuration InPacketTime = std::chrono::microseconds(1000) / 19;
    // The most reply bytes one packet's commands may produce, and the most
    // bytes one I2C run (0x80|n, 0xC0|n) may move.
    static constexpr std::size_t MaxReply = 32;
    static constexpr std::size_t MaxRun = 32;
    // How long a bulk IN waits for a reply that never comes.
    static constexpr TSimDuration InTimeout = std::chrono::seconds(1);

    TCh341Emulator();
    ~TCh341Emulator();
    TCh341Emulator(const TCh341Emulator&) = delete;
    TCh341Emulator& operator=(const TCh341Emulator&) = delete;

    // --- the socket ---
    // Puts a chip in the socket (nullptr empties it); returns the one that
    // was there. The board's clock times its write cycles.
    std::unique_ptr<TSimChip> InsertChip(std::unique_ptr<TSimChip> Chip);
    TSimChip* Chip() const { return FChip.get(); }

    // --- the USB side ---
    // One bulk OUT transfer.
    TUsbResult BulkOut(std::span<const std::uint8_t> Data);
    // One bulk IN packet, the reply of the oldest packet not yet read, into
    // Into (replaced). Timeout when there is none (the clock moves by
    // InTimeout); Overflow when it is longer than Max (the packet is lost,
    // Into stays empty).
    TUsbResult BulkIn(std::size_t Max, std::vector<std::uint8_t>& Into);
    // Reply bytes, and reply packets, waiting to be read.
    std::size_t PendingReply() const;
    std::size_t PendingPackets() const { return FReply.size(); }

    // --- faults ---
    TCh341Faults& Faults() { return FFaults; }
    void Unplug();
    // Plugged in again: a fresh power-up of the board (pins, speed, the
    // pending replies) and of the chip in its socket, which keeps its memory.
    void Replug();
    bool Plugged() const { return FPlugged; }

    // --- observable state ---
    TVirtualClock& Clock() { return FClock; }
    const TCh341Stats& Stats() const { return FStats; }
    // Why the packets counted as malformed were (the first few).
    const std::vector<std::string>& MalformedReasons() const { return FMalformedReasons; }
    // I2C speed in Hz as last set (100 kHz after power-up).
    std::uint32_t I2CSpeedHz() const { return FI2CHz; }
    std::uint8_t PinOutputs() const { return FPinOut; }
    std::uint8_t PinDirections() const { return FPinDir; }

  private:
    void PowerUp();
    void Packet(std::span<const std::uint8_t> P);
    void I2CStream(std::span<const std::uint8_t> P);
    void SpiStream(std::span<const std::uint8_t> P);
    void UioStream(std::span<const std::uint8_t> P);
    void Malformed(const std::string& Why);
    void Busy(TSimDuration Time);
    void Delay(TSimDuration Time);
    TSimDuration I2CBits(int Bits) const;

    // The socket's pins.
    bool PinLevel(int Bit) const;
    void SetPins(std::uint8_t Outputs, std::uint8_t Directions);
    std::uint8_t ReadPins() const;

    TVirtualClock FClock;
    std::unique_ptr<TSimChip> FChip;
    std::deque<std::vector<std::uint8_t>> FReply; // one reply packet per OUT packet with replies
    std::vector<std::uint8_t> FPacketReply;       // the replies of the packet being decoded
    bool FTurnaround = false;                     // the next bulk IN waits for the round trip
    TCh341Faults FFaults;
    TCh341Stats FStats;
    std::vector<std::string> FMalformedReasons;
    bool FPlugged = true;
    std::uint64_t FOutSincePlug = 0;
    std::uint32_t FI2CHz = 100'000;
    std::uint8_t FPinOut = 0;
    std::uint8_t FPinDir = 0;
    bool FChipSelected = false;
};
