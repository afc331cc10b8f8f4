#include "byte_link.h"

#include <algorithm>

TByteLink::TByteLink(TProgrammerUnit& Unit, TByteLinkConfig Config)
    : FUnit(Unit), FByteTime(SerialByteTime(Config.BaudRate, Config.BitsPerByte)),
      FTurnaround(Config.Turnaround) {}

void TByteLink::Write(std::span<const std::uint8_t> Bytes) {
    while (!FOutgoing.empty() && FOutgoing.front() <= FClock.Now())
        FOutgoing.pop_front();
    for (std::uint8_t b : Bytes) {
        const TSimTime arrival = std::max(FClock.Now(), FTxFree) + FByteTime;
        FTxFree = arrival;
        FOutgoing.push_back(arrival);
        // The unit handles each byte once it has arrived; its replies are
        // stamped with its own time and collected below.
        FUnit.Clock().AdvanceTo(arrival);
        FUnit.Receive(b);
        Collect();
    }
}

void TByteLink::Write(std::string_view Text) {
    Write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size()));
}

void TByteLink::Collect() {
    while (FUnit.HasOutput()) {
        const TUnitOutput out = FUnit.TakeOutput();
        const TSimTime arrival = std::max(out.Time, FRxFree) + FByteTime;
        FRxFree = arrival;
        FIncoming.push_back({out.Byte, arrival + FTurnaround});
    }
}

std::size_t TByteLink::Read(std::uint8_t* Buffer, std::size_t Count, TSimDuration Timeout) {
    Collect();
    const TSimTime deadline = FClock.Now() + std::max(Timeout, TSimDuration::zero());
    std::size_t got = 0;
    TSimTime last = FClock.Now();
    while (got < Count && !FIncoming.empty() && FIncoming.front().Arrival <= deadline) {
        Buffer[got++] = FIncoming.front().Byte;
        last = std::max(last, FIncoming.front().Arrival);
        FIncoming.pop_front();
    }
    FClock.AdvanceTo(got == Count ? last : deadline);
    return got;
}

std::vector<std::uint8_t> TByteLink::Read(std::size_t Count, TSimDuration Timeout) {
    std::vector<std::uint8_t> out(Count);
    out.resize(Read(out.data(), Count, Timeout));
    return out;
}

std::size_t TByteLink::InputCount() {
    Collect();
    return static_cast<std::size_t>(std::count_if(
        FIncoming.begin(), FIncoming.end(), [&](const TInFlight& b) { return b.Arrival <= FClock.Now(); }));
}

std::size_t TByteLink::UnreadCount() {
    Collect();
    return FIncoming.size();
}

std::size_t TByteLink::OutputCount() const {
    return static_cast<std::size_t>(
        std::count_if(FOutgoing.begin(), FOutgoing.end(), [&](TSimTime t) { return t > FClock.Now(); }));
}

void TByteLink::Drain() {
    FClock.AdvanceTo(FTxFree);
    FOutgoing.clear();
}

void TByteLink::FlushInput() {
    Collect();
    while (!FIncoming.empty() && FIncoming.front().Arrival <= FClock.Now())
        FIncoming.pop_front();
}

void TByteLink::SetDTR(bool Set) {
    if (Set == FDTR) return;
    FDTR = Set;
    FUnit.Clock().AdvanceTo(FClock.Now());
    FUnit.Transcript().AddEvent(FUnit.Clock().Now(), Set ? "DTR set" : "DTR cleared");
}

void TByteLink::SetRTS(bool Set) {
    if (Set == FRTS) return;
    FRTS = Set;
    FUnit.Clock().AdvanceTo(FClock.Now());
    FUnit.Transcript().AddEvent(FUnit.Clock().Now(), Set ? "RTS set" : "RTS cleared");
}
