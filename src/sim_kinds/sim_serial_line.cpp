#include "sim_kinds/sim_serial_line.h"

#include <algorithm>

TSimSerialLine::TSimSerialLine(TSimLine& Link) : FLink(Link), FClock(Link) {
    // As a terminal's open does: what has arrived so far is dropped; what
    // is still on its way arrives later.
    FLink.FlushInput();
}

TSimSerialLine::~TSimSerialLine() {
    FLink.SetDTR(false);
    FLink.SetRTS(false);
}

bool TSimSerialLine::SetDTR(bool Active) {
    ++FStats.Controls;
    FLink.SetDTR(Active);
    return true;
}

bool TSimSerialLine::SetRTS(bool Active) {
    ++FStats.Controls;
    FLink.SetRTS(Active);
    return true;
}

std::size_t TSimSerialLine::ReadAvailable(std::uint8_t* Buffer, std::size_t Max) {
    ++FStats.Reads;
    std::size_t n = 0;
    while (n < Max && !FArrived.empty()) {
        Buffer[n++] = FArrived.front();
        FArrived.pop_front();
    }
    const std::size_t ready = std::min(Max - n, FLink.InputCount());
    if (ready) n += FLink.Read(Buffer + n, ready, TSimDuration::zero());
    return n;
}

bool TSimSerialLine::WaitInput(TLinkDuration Timeout) {
    ++FStats.Waits;
    if (!FArrived.empty() || FLink.InputCount() > 0) return true;
    // The link has no "wait without taking": take the next byte and keep it.
    std::uint8_t b = 0;
    if (FLink.Read(&b, 1, Timeout) == 0) return false;
    FArrived.push_back(b);
    return true;
}

std::size_t TSimSerialLine::Write(const std::uint8_t* Bytes, std::size_t Count, TLinkDuration) {
    ++FStats.Writes;
    FLink.Write(std::span<const std::uint8_t>(Bytes, Count));
    return Count;
}

std::size_t TSimSerialLine::OutputCount() {
    ++FStats.Controls;
    return FLink.OutputCount();
}

void TSimSerialLine::Discard() {
    ++FStats.Controls;
    FArrived.clear();
    FLink.FlushInput();
}
