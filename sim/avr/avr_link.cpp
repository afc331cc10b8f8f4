#include "avr/avr_link.h"

#include "serial_character.h"

#include <algorithm>

TAvrLink::TAvrLink(TAvrUnit& Unit, std::uint32_t BaudRate, TSimDuration Turnaround)
    : FUnit(Unit), FBaud(BaudRate), FLineBaud(BaudRate), FByteTime(SerialByteTime(BaudRate)),
      FTurnaround(Turnaround) {
    // The PC's clock starts where the MCU is.
    FClock.AdvanceTo(FUnit.Mcu().Now());
}

void TAvrLink::SetBaudRate(std::uint32_t Baud) {
    FBaud = Baud;
    Rate();
}

void TAvrLink::SetAdapter(TUsbSerialChip Chip) {
    FChip = Chip;
    Rate();
}

void TAvrLink::Rate() {
    // A chip that has no setting for the rate runs at some other one: taken
    // as half of it.
    FLineBaud = ActualBaud(FChip, FBaud);
    if (FLineBaud == 0) FLineBaud = FBaud / 2;
    FByteTime = SerialByteTime(FLineBaud);
}

void TAvrLink::Write(std::span<const std::uint8_t> Bytes) {
    while (!FOutgoing.empty() && FOutgoing.front() <= FClock.Now())
        FOutgoing.pop_front();
    for (std::uint8_t b : Bytes) {
        const TSimTime arrival = std::max(FClock.Now(), FTxFree) + FByteTime;
        FTxFree = arrival;
        FOutgoing.push_back(arrival);
        FSent.push_back(b);
        FUnit.Mcu().ScheduleInput(b, arrival, FLineBaud);
    }
}

void TAvrLink::Write(std::string_view Text) {
    Write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size()));
}

void TAvrLink::Collect() {
    TAvrMcu& mcu = FUnit.Mcu();
    while (mcu.HasOutput()) {
        const TMcuOutput out = mcu.TakeOutput();
        ++FReceived;
        if (RatesAgree(out.Baud, FLineBaud)) {
            FIncoming.push_back({out.Byte, out.Time + FTurnaround});
            continue;
        }
        // Read at the PC's rate: other bytes, a framing error reads as 0.
        const TSimTime start = out.Time - SerialByteTime(out.Baud);
        for (const TReceivedCharacter& c : ReceiveCharacter(out.Byte, out.Baud, FLineBaud))
            FIncoming.push_back({c.Framing ? std::uint8_t{0} : c.Byte, start + c.End + FTurnaround});
    }
}

void TAvrLink::CatchUp() {
    FUnit.Mcu().RunUntil(FClock.Now());
    Collect();
}

std::size_t TAvrLink::Read(std::uint8_t* Buffer, std::size_t Count, TSimDuration Timeout) {
    const TSimTime deadline = FClock.Now() + std::max(Timeout, TSimDuration::zero());
    TAvrMcu& mcu = FUnit.Mcu();
    std::size_t got = 0;
    TSimTime last = FClock.Now();
    while (got < Count) {
        Collect();
        if (!FIncoming.empty() && FIncoming.front().Arrival <= deadline) {
            Buffer[got++] = FIncoming.front().Byte;
            last = std::max(last, FIncoming.front().Arrival);
            FIncoming.pop_front();
            continue;
        }
        if (!FIncoming.empty() || mcu.Now() >= deadline) break;
        // Nothing sent yet: run until the MCU starts a byte (it then still
        // needs a byte time on the wire) or the time-out.
        mcu.RunUntil(deadline, true);
    }
    FClock.AdvanceTo(got == Count ? last : deadline);
    return got;
}

std::vector<std::uint8_t> TAvrLink::Read(std::size_t Count, TSimDuration Timeout) {
    std::vector<std::uint8_t> out(Count);
    out.resize(Read(out.data(), Count, Timeout));
    return out;
}

std::size_t TAvrLink::InputCount() {
    CatchUp();
    return static_cast<std::size_t>(std::count_if(
        FIncoming.begin(), FIncoming.end(), [&](const TInFlight& b) { return b.Arrival <= FClock.Now(); }));
}

std::size_t TAvrLink::OutputCount() const {
    return static_cast<std::size_t>(
        std::count_if(FOutgoing.begin(), FOutgoing.end(), [&](TSimTime t) { return t > FClock.Now(); }));
}

void TAvrLink::Drain() {
    FClock.AdvanceTo(FTxFree);
    FOutgoing.clear();
}

void TAvrLink::FlushInput() {
    CatchUp();
    while (!FIncoming.empty() && FIncoming.front().Arrival <= FClock.Now())
        FIncoming.pop_front();
}

void TAvrLink::SetDTR(bool Set) {
    CatchUp();
    FUnit.SetDTR(Set);
}
