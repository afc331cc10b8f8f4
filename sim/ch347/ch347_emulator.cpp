#include "ch347/ch347_emulator.h"

#include "byte_bits.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kConfig = 0xC0;
constexpr std::uint8_t kChipSelect = 0xC1;
constexpr std::uint8_t kOutIn = 0xC2;
constexpr std::uint8_t kIn = 0xC3;
constexpr std::uint8_t kOut = 0xC4;
constexpr std::size_t kConfigSize = 26;
constexpr std::size_t kChipSelectSize = 10;

std::uint16_t Word(std::span<const std::uint8_t> P, std::size_t At) {
    return static_cast<std::uint16_t>(P[At] | P[At + 1] << 8);
}

} // namespace

TCh347Emulator::TCh347Emulator() {
    PowerUp();
}

TCh347Emulator::~TCh347Emulator() {
    if (FChip) FChip->AttachClock(nullptr);
}

std::unique_ptr<TSimChip> TCh347Emulator::InsertChip(std::unique_ptr<TSimChip> Chip) {
    if (Chip) Chip->AttachClock(&FClock);
    std::swap(FChip, Chip);
    if (Chip) Chip->AttachClock(nullptr);
    FSelected = false;
    return Chip;
}

void TCh347Emulator::PowerUp() {
    FReply.clear();
    FTurnaround = false;
    FConfigured = false;
    FSpiHz = 0;
    FMode = 0;
    FLsbFirst = false;
    FSelected = false;
}

void TCh347Emulator::Replug() {
    FPlugged = true;
    FOutSincePlug = 0;
    FFaults.UnplugAfterOutBytes.reset();
    PowerUp();
    // The socket is powered from the bus: a write cycle cut by the power
    // loss is over by the time anyone has plugged the board in again.
    FClock.Advance(std::chrono::seconds(1));
    if (FChip) FChip->PowerOn();
}

void TCh347Emulator::Malformed(const std::string& Why) {
    ++FStats.Malformed;
    if (FMalformedReasons.size() < 16)
        FMalformedReasons.push_back("packet " + std::to_string(FStats.OutPackets) + ": " + Why);
}

TUsbResult TCh347Emulator::BulkOut(std::span<const std::uint8_t> Data) {
    if (!FPlugged) return TUsbResult::NoDevice;
    ++FStats.OutTransfers;
    std::size_t take = Data.size();
    bool unplug = false;
    if (FFaults.UnplugAfterOutBytes && FOutSincePlug + take >= *FFaults.UnplugAfterOutBytes) {
        take = static_cast<std::size_t>(*FFaults.UnplugAfterOutBytes -
                                        std::min(FOutSincePlug, *FFaults.UnplugAfterOutBytes));
        unplug = true;
    }
    FOutSincePlug += take;
    FStats.OutBytes += take;
    FTurnaround = true;
    for (std::size_t at = 0; at < take; at += PacketSize) {
        const std::size_t n = std::min(PacketSize, take - at);
        // A packet cut short by the unplug never reached the chip whole.
        if (n < std::min(PacketSize, Data.size() - at)) break;
        ++FStats.OutPackets;
        FStats.LargestOutPacket = std::max(FStats.LargestOutPacket, n);
        Packet(Data.subspan(at, n));
    }
    if (unplug) {
        Unplug();
        return TUsbResult::NoDevice;
    }
    return TUsbResult::Ok;
}

TUsbResult TCh347Emulator::BulkIn(std::size_t Max, std::vector<std::uint8_t>& Into) {
    Into.clear();
    if (!FPlugged) return TUsbResult::NoDevice;
    ++FStats.InTransfers;
    if (FReply.empty()) {
        FClock.Advance(InTimeout);
        return TUsbResult::Timeout;
    }
    if (FTurnaround) ++FStats.RoundTrips;
    FClock.Advance(FTurnaround ? RoundTrip : InPacketTime);
    FTurnaround = false;
    std::vector<std::uint8_t> packet = std::move(FReply.front());
    FReply.pop_front();
    if (packet.size() > Max) return TUsbResult::Overflow;
    FStats.InBytes += packet.size();
    Into = std::move(packet);
    return TUsbResult::Ok;
}

void TCh347Emulator::Answer(std::uint8_t Command, std::span<const std::uint8_t> Data) {
    std::vector<std::uint8_t> frame{Command, static_cast<std::uint8_t>(Data.size() & 0xFF),
                                    static_cast<std::uint8_t>(Data.size() >> 8)};
    frame.insert(frame.end(), Data.begin(), Data.end());
    FReply.push_back(std::move(frame));
}

std::uint8_t TCh347Emulator::Shift(std::uint8_t Out) {
    // Eight bits at the clock, the nanosecond fractions carried over (a byte
    // at 60 MHz is 133 1/3 ns).
    const std::int64_t scaled = 8LL * 1'000'000'000LL + FBitRemainder;
    const TSimDuration step(scaled / FSpiHz);
    FBitRemainder = scaled % FSpiHz;
    FClock.Advance(step);
    FStats.BusTime += step;
    TSpiTarget* spi = FChip ? FChip->AsSpi() : nullptr;
    // Modes 1 and 2 sample on the edge the chip changes its output on.
    if (!spi || !FSelected || FMode == 1 || FMode == 2) return 0xFF;
    const std::uint8_t in = spi->Transfer(FLsbFirst ? ReverseBits(Out) : Out);
    return FLsbFirst ? ReverseBits(in) : in;
}

void TCh347Emulator::Configure(std::span<const std::uint8_t> Payload) {
    if (Payload.size() != kConfigSize) {
        Malformed("configuration of " + std::to_string(Payload.size()) + " bytes, not " +
                  std::to_string(kConfigSize));
        return;
    }
    const std::uint16_t cpol = Word(Payload, 6);
    const std::uint16_t cpha = Word(Payload, 8);
    const std::uint16_t prescaler = Word(Payload, 12);
    if ((cpol & ~2u) != 0 || (cpha & ~1u) != 0 || (prescaler & ~0x38u) != 0) {
        Malformed("configuration with CPOL " + std::to_string(cpol) + ", CPHA " + std::to_string(cpha) +
                  ", prescaler " + std::to_string(prescaler));
        return;
    }
    FMode = (cpol ? 2 : 0) | (cpha ? 1 : 0);
    FSpiHz = 60'000'000u >> (prescaler >> 3);
    FBitRemainder = 0;
    FLsbFirst = Word(Payload, 14) != 0;
    FConfigured = true;
    const std::uint8_t ok[] = {0};
    Answer(kConfig, ok);
}

void TCh347Emulator::ChipSelect(std::span<const std::uint8_t> Payload) {
    if (Payload.size() != kChipSelectSize) {
        Malformed("chip select of " + std::to_string(Payload.size()) + " bytes, not " +
                  std::to_string(kChipSelectSize));
        return;
    }
    const std::uint8_t cs1 = Payload[0];
    if ((cs1 & 0x80) == 0) return; // left as it is
    const bool select = (cs1 & 0x40) == 0;
    if (FChip && FChip->AsSpi() && select != FSelected) FChip->AsSpi()->Select(select);
    FSelected = select;
}

void TCh347Emulator::Packet(std::span<const std::uint8_t> P) {
    if (P.size() < HeaderSize) {
        Malformed("a packet of " + std::to_string(P.size()) + " bytes, shorter than a frame header");
        return;
    }
    const std::uint8_t command = P[0];
    const std::size_t length = Word(P, 1);
    if (length != P.size() - HeaderSize) {
        Malformed("frame " + HexByte(command) + " says " + std::to_string(length) +
                  " bytes but its packet holds " + std::to_string(P.size() - HeaderSize));
        return;
    }
    const auto payload = P.subspan(HeaderSize);
    if (command == kConfig) return Configure(payload);
    if (command != kChipSelect && command != kOutIn && command != kIn && command != kOut) {
        Malformed("unknown command " + HexByte(command));
        return;
    }
    if (!FConfigured) {
        Malformed("command " + HexByte(command) + " before the SPI was configured");
        return;
    }
    if (command == kChipSelect) return ChipSelect(payload);
    if (command == kIn) {
        if (payload.size() != 4) {
            Malformed("read request of " + std::to_string(payload.size()) + " bytes, not 4");
            return;
        }
        const std::uint32_t count =
            static_cast<std::uint32_t>(payload[0] | payload[1] << 8 | payload[2] << 16) |
            static_cast<std::uint32_t>(payload[3]) << 24;
        if (count < 1 || count > MaxTransfer) {
            Malformed("read of " + std::to_string(count) + " bytes, outside 1-" +
                      std::to_string(MaxTransfer));
            return;
        }
        std::vector<std::uint8_t> data;
        for (std::uint32_t at = 0; at < count; at += MaxFrameData) {
            data.clear();
            const std::uint32_t n = std::min<std::uint32_t>(MaxFrameData, count - at);
            for (std::uint32_t k = 0; k < n; ++k)
                data.push_back(Shift(0xFF));
            Answer(kIn, data);
        }
        return;
    }
    if (payload.empty()) {
        Malformed("frame " + HexByte(command) + " without data");
        return;
    }
    std::vector<std::uint8_t> in;
    for (std::uint8_t b : payload)
        in.push_back(Shift(b));
    if (command == kOutIn) {
        Answer(kOutIn, in);
    } else {
        const std::uint8_t ok[] = {0};
        Answer(kOut, ok);
    }
}
