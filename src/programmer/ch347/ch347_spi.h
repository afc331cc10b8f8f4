// The CH347's SPI engine over an opened device: frames are queued and sent
// together when an answer is needed (Flush), so a chip select, a command
// and a long read cost one USB round trip. Long transfers are cut into the
// frames the chip takes (507 data bytes a written frame, 4096 bytes a read
// request); the answers are checked frame by frame (command byte, length,
// status), so a bridge that answers something else is an error and never
// data.
#pragma once

#include "ports/usb_bulk_device.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class TCh347Spi {
  public:
    explicit TCh347Spi(TUsbTransfer& Link) : FLink(Link) {}

    // Clock 60 MHz / 2^Prescaler (0-7), SPI mode 0-3, MSB first; sent at
    // once, and the bridge must accept it.
    void Configure(int Prescaler, int Mode);

    // Queued until the next Flush:
    // CS1 asserted (the chip selected) or released.
    void Select(bool Active);
    // Bytes shifted out, what comes back ignored.
    void Write(std::span<const std::uint8_t> Bytes);
    // Into.size() bytes shifted in (0xFF out); Into must live until Flush.
    void Read(std::span<std::uint8_t> Into);
    // Full duplex: Bytes out, as many in, into Into (same size; may be Bytes).
    void Exchange(std::span<const std::uint8_t> Bytes, std::span<std::uint8_t> Into);

    // Sends what is queued and stores every answer. Raises EUsbError.
    void Flush();
    bool Empty() const { return FOut.empty(); }
    void Clear();

  private:
    enum class TAnswer : std::uint8_t { Status, Data };
    struct TExpect {
        std::uint8_t Command;
        TAnswer Kind;
        std::span<std::uint8_t> Into; // Data: where the bytes go
    };
    void Queue(std::uint8_t Command, std::span<const std::uint8_t> Payload);

    TUsbTransfer& FLink;
    std::vector<std::vector<std::uint8_t>> FOut;
    std::vector<TExpect> FExpect;
};
