#include "ch341a/ch341_emulator.h"

#include "byte_bits.h"

#include "catalogue/device.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::uint8_t kI2CStream = 0xAA;
constexpr std::uint8_t kSpiStream = 0xA8;
constexpr std::uint8_t kUioStream = 0xAB;

constexpr std::uint8_t kI2CStart = 0x74;
constexpr std::uint8_t kI2CStop = 0x75;
constexpr std::uint8_t kI2COut = 0x80;
constexpr std::uint8_t kI2CIn = 0xC0;
constexpr std::uint8_t kI2CSet = 0x60;
constexpr std::uint8_t kI2CMicroseconds = 0x40;
constexpr std::uint8_t kI2CMilliseconds = 0x50;
constexpr std::uint8_t kI2CEnd = 0x00;

constexpr std::uint8_t kUioIn = 0x00;
constexpr std::uint8_t kUioDir = 0x40;
constexpr std::uint8_t kUioOut = 0x80;
constexpr std::uint8_t kUioMicroseconds = 0xC0;
constexpr std::uint8_t kUioEnd = 0x20;

constexpr std::array<std::uint32_t, 4> kI2CSpeeds = {20'000, 100'000, 400'000, 750'000};

// The socket's pins on the UIO port.
constexpr int kCS = 0;   // D0: 25C /CS, 93C CS (through the adapter)
constexpr int kSCK = 3;  // D3: SCK, 93C SK
constexpr int kMOSI = 5; // D5: SI, 93C DI
constexpr int kMISO = 7; // D7: SO, 93C DO

} // namespace

TCh341Emulator::TCh341Emulator() {
    PowerUp();
}

TCh341Emulator::~TCh341Emulator() {
    if (FChip) FChip->AttachClock(nullptr);
}

std::unique_ptr<TSimChip> TCh341Emulator::InsertChip(std::unique_ptr<TSimChip> Chip) {
    if (Chip) Chip->AttachClock(&FClock);
    std::swap(FChip, Chip);
    if (Chip) Chip->AttachClock(nullptr);
    FChipSelected = false;
    return Chip;
}

void TCh341Emulator::PowerUp() {
    FReply.clear();
    FPacketReply.clear();
    FTurnaround = false;
    FI2CHz = 100'000;
    FPinOut = 0;
    FPinDir = 0;
    FChipSelected = false;
}

void TCh341Emulator::Unplug() {
    FPlugged = false;
}

void TCh341Emulator::Replug() {
    FPlugged = true;
    FOutSincePlug = 0;
    FFaults.UnplugAfterOutBytes.reset();
    PowerUp();
    // The socket is powered from the USB bus: the chip starts afresh too,
    // and a write cycle cut by the power loss is over (nobody replugs a
    // board in less than a second).
    FClock.Advance(std::chrono::seconds(1));
    if (FChip) FChip->PowerOn();
}

void TCh341Emulator::Busy(TSimDuration Time) {
    FClock.Advance(Time);
    FStats.BusTime += Time;
}

void TCh341Emulator::Delay(TSimDuration Time) {
    Busy(Time);
    FStats.DelayTime += Time;
}

TSimDuration TCh341Emulator::I2CBits(int Bits) const {
    return TSimDuration(static_cast<std::int64_t>(Bits) * 1'000'000'000LL / FI2CHz);
}

void TCh341Emulator::Malformed(const std::string& Why) {
    ++FStats.Malformed;
    if (FMalformedReasons.size() < 16)
        FMalformedReasons.push_back("packet " + std::to_string(FStats.OutPackets) + ": " + Why);
}

TUsbResult TCh341Emulator::BulkOut(std::span<const std::uint8_t> Data) {
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
        ++FStats.OutPackets;
        FPacketReply.clear();
        Packet(Data.subspan(at, std::min(PacketSize, take - at)));
        if (FPacketReply.empty()) continue;
        if (FPacketReply.size() > MaxReply) {
            Malformed("its commands produce " + std::to_string(FPacketReply.size()) +
                      " reply bytes, more than the " + std::to_string(MaxReply) + " of a packet");
            FPacketReply.resize(MaxReply);
        }
        FReply.push_back(std::move(FPacketReply));
        FPacketReply.clear();
    }
    if (unplug) {
        Unplug();
        return TUsbResult::NoDevice;
    }
    return TUsbResult::Ok;
}

std::size_t TCh341Emulator::PendingReply() const {
    std::size_t n = 0;
    for (const auto& p : FReply)
        n += p.size();
    return n;
}

TUsbResult TCh341Emulator::BulkIn(std::size_t Max, std::vector<std::uint8_t>& Into) {
    Into.clear();
    if (!FPlugged) return TUsbResult::NoDevice;
    ++FStats.InTransfers;
    if (FReply.empty()) {
        FClock.Advance(InTimeout);
        return TUsbResult::Timeout;
    }
    const TSimDuration wait = FTurnaround ? RoundTrip : InPacketTime;
    if (FTurnaround) ++FStats.RoundTrips;
    FTurnaround = false;
    FClock.Advance(wait);
    FStats.RoundTripTime += wait;
    std::vector<std::uint8_t> packet = std::move(FReply.front());
    FReply.pop_front();
    if (packet.size() > Max) return TUsbResult::Overflow;
    FStats.InBytes += packet.size();
    Into = std::move(packet);
    return TUsbResult::Ok;
}

void TCh341Emulator::Packet(std::span<const std::uint8_t> P) {
    if (P.empty()) return;
    switch (P[0]) {
    case kI2CStream:
        I2CStream(P.subspan(1));
        break;
    case kSpiStream:
        SpiStream(P.subspan(1));
        break;
    case kUioStream:
        UioStream(P.subspan(1));
        break;
    default:
        Malformed("unknown command " + HexByte(P[0]));
        break;
    }
}

void TCh341Emulator::I2CStream(std::span<const std::uint8_t> P) {
    TI2CTarget* bus = FChip ? FChip->AsI2C() : nullptr;
    for (std::size_t i = 0; i < P.size(); ++i) {
        const std::uint8_t c = P[i];
        if (c == kI2CEnd) return;
        if (c == kI2CStart) {
            if (bus) bus->Start();
            Busy(I2CBits(1));
        } else if (c == kI2CStop) {
            if (bus) bus->Stop();
            Busy(I2CBits(1));
        } else if ((c & 0xC0) == kI2COut) {
            const std::size_t n = c & 0x3F;
            const std::size_t count = n == 0 ? 1 : n;
            if (count > MaxRun) {
                Malformed("I2C output of " + std::to_string(count) + " bytes, more than " +
                          std::to_string(MaxRun));
                return;
            }
            if (i + count >= P.size()) {
                Malformed("I2C output of " + std::to_string(count) + " bytes runs past the packet");
                return;
            }
            for (std::size_t k = 1; k <= count; ++k) {
                const bool ack = bus ? bus->Write(P[i + k]) : false;
                Busy(I2CBits(9));
                if (n == 0) FPacketReply.push_back(ack ? 0x00 : 0x80);
            }
            i += count;
        } else if ((c & 0xC0) == kI2CIn) {
            const std::size_t n = c & 0x3F;
            if (n > MaxRun) {
                Malformed("I2C input of " + std::to_string(n) + " bytes, more than " +
                          std::to_string(MaxRun));
                return;
            }
            for (std::size_t k = 0; k < (n == 0 ? 1 : n); ++k) {
                FPacketReply.push_back(bus ? bus->Read(n != 0) : 0xFF);
                Busy(I2CBits(9));
            }
        } else if ((c & 0xF0) == kI2CSet) {
            FI2CHz = kI2CSpeeds[c & 3];
        } else if ((c & 0xF0) == kI2CMicroseconds) {
            Delay(std::chrono::microseconds(c & 0x0F));
        } else if ((c & 0xF0) == kI2CMilliseconds) {
            Delay(std::chrono::milliseconds(c & 0x0F));
        } else {
            Malformed("unknown I2C command " + HexByte(c));
            return;
        }
    }
}

void TCh341Emulator::SpiStream(std::span<const std::uint8_t> P) {
    TSpiTarget* spi = FChip ? FChip->AsSpi() : nullptr;
    for (std::uint8_t b : P) {
        std::uint8_t in = 0xFF; // SO pulled up
        if (spi && FChipSelected) in = spi->Transfer(ReverseBits(b));
        FPacketReply.push_back(ReverseBits(in));
        Busy(TSimDuration(8LL * 1'000'000'000LL / SpiClockHz));
    }
}

void TCh341Emulator::UioStream(std::span<const std::uint8_t> P) {
    for (std::uint8_t c : P) {
        if (c == kUioEnd) return;
        const std::uint8_t op = c & 0xC0;
        if (op == kUioOut) {
            SetPins(c & 0x3F, FPinDir);
        } else if (op == kUioDir) {
            SetPins(FPinOut, c & 0x3F);
        } else if (c == kUioIn) {
            FPacketReply.push_back(ReadPins());
        } else if (op == kUioMicroseconds) {
            Delay(std::chrono::microseconds(c & 0x3F));
            continue;
        } else {
            Malformed("unknown UIO command " + HexByte(c));
            return;
        }
        Busy(UioStep);
    }
}

bool TCh341Emulator::PinLevel(int Bit) const {
    // An output drives its latch; an input floats high (pull-up).
    return ((FPinDir >> Bit) & 1) == 0 || ((FPinOut >> Bit) & 1) != 0;
}

void TCh341Emulator::SetPins(std::uint8_t Outputs, std::uint8_t Directions) {
    const bool sckBefore = PinLevel(kSCK);
    FPinOut = Outputs;
    FPinDir = Directions;
    if (!FChip) return;
    if (auto* spi = FChip->AsSpi()) {
        const bool selected = !PinLevel(kCS); // /CS active low
        if (selected != FChipSelected) spi->Select(selected);
        FChipSelected = selected;
    } else if (auto* mw = FChip->AsMicrowire()) {
        const bool selected = PinLevel(kCS); // CS active high
        if (selected != FChipSelected) mw->Select(selected);
        FChipSelected = selected;
        if (selected && !sckBefore && PinLevel(kSCK)) mw->Clock(PinLevel(kMOSI)); // rising edge
    }
}

std::uint8_t TCh341Emulator::ReadPins() const {
    std::uint8_t levels = 0;
    for (int bit = 0; bit < 6; ++bit)
        if (PinLevel(bit)) levels |= static_cast<std::uint8_t>(1u << bit);
    bool so = true; // D6 and D7 are inputs, pulled up
    if (FChip && FChipSelected)
        if (auto* mw = FChip->AsMicrowire()) so = mw->DataOut();
    levels |= 0x40;
    if (so) levels |= static_cast<std::uint8_t>(1u << kMISO);
    return levels;
}
