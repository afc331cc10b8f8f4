// The traffic to a CH341A, gathered: stream sub-commands are packed into
// 32-byte packets (each packet one stream command and whole sub-commands),
// and every reply byte they will produce has an action waiting for it. The
// board answers each packet with one bulk IN packet of its reply bytes, so
// a packet's sub-commands may ask for at most 32 of them (its reply
// budget). The queue goes out in one exchange (as few bulk OUT transfers as
// the packets allow) and its replies come back in the same exchange; only
// then are the read bytes stored, after every acknowledge and framing check
// of the batch has passed, so a failed batch leaves the caller's buffers as
// they were.
#pragma once

#include "ports/usb_bulk_device.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

enum class TCh341Stream : std::uint8_t { I2C, Spi, Uio };

// What happens to one reply byte.
struct TCh341Reply {
    enum class TKind : std::uint8_t {
        Discard,   // the echo of an SPI write
        Store,     // into *Dest
        StoreSpi,  // into *Dest, bits reversed
        AckCheck,  // an I2C acknowledge bit: not acknowledged is an error
        PinBit,    // D7 into bit Bit of *Dest (a Microwire data bit)
        DummyZero, // D7 must be 0 (the dummy bit of a Microwire read)
        Keep,      // handed back to the caller of Flush
    };
    TKind Kind = TKind::Discard;
    std::uint8_t* Dest = nullptr;
    std::uint8_t Bit = 0;
    std::uint8_t Written = 0; // AckCheck: the byte that was written
};

class TCh341PacketQueue {
  public:
    // A queue is sent when it holds this many packets (2 KiB), before any
    // primitive could overflow it.
    static constexpr std::size_t MaxPackets = 64;
    static constexpr std::size_t FlushAtPackets = MaxPackets - 8;

    // Appends sub-commands that must stay together in one packet of stream
    // S (at most one packet's room and reply budget), with the actions for
    // the reply bytes they produce, in order; a new packet is begun when the
    // present one is of another stream or has no room or budget left for
    // them.
    void Append(TCh341Stream S, std::span<const std::uint8_t> Bytes,
                std::span<const TCh341Reply> Replies = {});
    void Append(TCh341Stream S, std::initializer_list<std::uint8_t> Bytes,
                std::initializer_list<TCh341Reply> Replies = {}) {
        Append(S, std::span<const std::uint8_t>(Bytes.begin(), Bytes.size()),
               std::span<const TCh341Reply>(Replies.begin(), Replies.size()));
    }
    // Room left for sub-commands in the present packet of stream S (0 when
    // the next Append begins a new packet).
    std::size_t Room(TCh341Stream S) const;
    // Reply bytes the present packet of stream S may still ask for (0 when
    // the next Append begins a new packet).
    std::size_t ReplyRoom(TCh341Stream S) const;

    bool Empty() const { return FPackets.empty(); }
    // Enough packets for the queue to be sent before anything more is added.
    bool Full() const { return FPackets.size() >= FlushAtPackets; }
    std::size_t Packets() const { return FPackets.size(); }
    std::size_t ExpectedReplies() const { return FReplies.size(); }
    // The queue as bulk OUT transfers. Packets follow each other in one
    // transfer, an I2C or UIO packet padded to its 32 bytes after its end
    // command; an SPI packet has no end command (all of it is data), so one
    // that is not full ends its transfer.
    std::vector<std::vector<std::uint8_t>> Transfers() const;
    // The lengths of the bulk IN packets that answer them: one for each
    // packet with reply bytes, in order.
    std::vector<std::size_t> ReplyPackets() const;
    // Forgets everything queued.
    void Clear();

    // Sends the queue over Transfer and handles the replies. A reply that
    // fails its check raises through OnFailure (which must not return);
    // the bytes of Keep actions are returned. The queue is empty afterwards,
    // also when it raises.
    std::vector<std::uint8_t> Flush(TUsbTransfer& Transfer,
                                    const std::function<void(const TCh341Reply& Failed)>& OnFailure);

  private:
    struct TPacket {
        TCh341Stream Stream;
        std::vector<std::uint8_t> Bytes; // stream command first
        std::size_t Replies = 0;         // reply bytes its sub-commands produce
    };
    std::vector<TPacket> FPackets;
    std::vector<TCh341Reply> FReplies;
};
