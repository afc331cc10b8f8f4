#include "programmer/ch341a/ch341_packet_queue.h"

#include "programmer/ch341a/ch341a_protocol.h"

#include <stdexcept>

namespace {

std::uint8_t CommandOf(TCh341Stream S) {
    switch (S) {
    case TCh341Stream::I2C:
        return Ch341::I2CStream;
    case TCh341Stream::Spi:
        return Ch341::SpiStream;
    case TCh341Stream::Uio:
        return Ch341::UioStream;
    }
    return Ch341::I2CStream;
}

// The byte that ends a packet's sub-commands, none for SPI (all data).
bool HasEnd(TCh341Stream S) {
    return S != TCh341Stream::Spi;
}

std::uint8_t EndOf(TCh341Stream S) {
    return S == TCh341Stream::Uio ? Ch341::UioEnd : Ch341::I2CEnd;
}

} // namespace

std::size_t TCh341PacketQueue::Room(TCh341Stream S) const {
    if (FPackets.empty() || FPackets.back().Stream != S) return 0;
    const std::size_t used = FPackets.back().Bytes.size() + (HasEnd(S) ? 1 : 0);
    return used >= Ch341::PacketSize ? 0 : Ch341::PacketSize - used;
}

std::size_t TCh341PacketQueue::ReplyRoom(TCh341Stream S) const {
    if (Room(S) == 0) return 0;
    return Ch341::MaxReply - FPackets.back().Replies;
}

void TCh341PacketQueue::Append(TCh341Stream S, std::span<const std::uint8_t> Bytes,
                               std::span<const TCh341Reply> Replies) {
    if (Bytes.size() + 1 + (HasEnd(S) ? 1 : 0) > Ch341::PacketSize || Replies.size() > Ch341::MaxReply)
        throw std::logic_error("CH341A sub-commands larger than a packet");
    if (Bytes.size() > Room(S) || Replies.size() > ReplyRoom(S)) FPackets.push_back({S, {CommandOf(S)}});
    TPacket& packet = FPackets.back();
    packet.Bytes.insert(packet.Bytes.end(), Bytes.begin(), Bytes.end());
    packet.Replies += Replies.size();
    FReplies.insert(FReplies.end(), Replies.begin(), Replies.end());
}

std::vector<std::size_t> TCh341PacketQueue::ReplyPackets() const {
    std::vector<std::size_t> sizes;
    for (const TPacket& p : FPackets)
        if (p.Replies) sizes.push_back(p.Replies);
    return sizes;
}

std::vector<std::vector<std::uint8_t>> TCh341PacketQueue::Transfers() const {
    std::vector<std::vector<std::uint8_t>> transfers;
    bool open = false; // the last transfer may take another packet
    for (const TPacket& p : FPackets) {
        if (!open) transfers.emplace_back();
        auto& out = transfers.back();
        out.insert(out.end(), p.Bytes.begin(), p.Bytes.end());
        if (HasEnd(p.Stream)) {
            out.push_back(EndOf(p.Stream));
            // The board ignores what follows an end command: the next packet
            // begins on the packet boundary.
            out.resize((out.size() + Ch341::PacketSize - 1) / Ch341::PacketSize * Ch341::PacketSize, 0);
            open = true;
        } else {
            open = p.Bytes.size() == Ch341::PacketSize;
        }
    }
    // The last packet needs no padding.
    if (!transfers.empty() && !FPackets.empty() && HasEnd(FPackets.back().Stream)) {
        auto& out = transfers.back();
        const std::size_t last = FPackets.back().Bytes.size() + 1;
        out.resize(out.size() - Ch341::PacketSize + last);
    }
    return transfers;
}

void TCh341PacketQueue::Clear() {
    FPackets.clear();
    FReplies.clear();
}

std::vector<std::uint8_t> TCh341PacketQueue::Flush(TUsbTransfer& Transfer,
                                                   const std::function<void(const TCh341Reply&)>& OnFailure) {
    const std::vector<std::vector<std::uint8_t>> out = Transfers();
    const std::vector<std::size_t> packets = ReplyPackets();
    const std::vector<TCh341Reply> replies = std::move(FReplies);
    Clear();
    if (out.empty()) return {};
    const std::vector<std::uint8_t> in = Transfer.Exchange(out, packets);
    if (in.size() != replies.size())
        throw EUsbError(TUsbErrorKind::Io, "the CH341A sent " + std::to_string(in.size()) + " of " +
                                               std::to_string(replies.size()) + " reply bytes");
    using K = TCh341Reply::TKind;
    // The checks first: a batch that fails stores nothing.
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const TCh341Reply& r = replies[i];
        if (r.Kind == K::AckCheck && (in[i] & Ch341::I2CNak)) OnFailure(r);
        if (r.Kind == K::DummyZero && (in[i] & Ch341::PinMISO)) OnFailure(r);
    }
    std::vector<std::uint8_t> kept;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const TCh341Reply& r = replies[i];
        switch (r.Kind) {
        case K::Store:
            *r.Dest = in[i];
            break;
        case K::StoreSpi:
            *r.Dest = Ch341::ReverseBits(in[i]);
            break;
        case K::PinBit: {
            const auto mask = static_cast<std::uint8_t>(1u << r.Bit);
            *r.Dest =
                static_cast<std::uint8_t>((in[i] & Ch341::PinMISO) ? (*r.Dest | mask) : (*r.Dest & ~mask));
            break;
        }
        case K::Keep:
            kept.push_back(in[i]);
            break;
        default:
            break;
        }
    }
    return kept;
}
