#include "ports/com_port.h"

#include "errors/errors.h"
#include "ports/serial_device.h"

#include <algorithm>

namespace {

constexpr std::size_t kGatherLimit = 4096;
// Flush looks again after a short pause that doubles up to a millisecond: a
// pseudo-terminal is drained within microseconds, a real line in wire time.
constexpr TLinkDuration kFlushPollFirst = std::chrono::microseconds(20);
constexpr TLinkDuration kFlushPollMax = std::chrono::milliseconds(1);

} // namespace

TComPort::TComPort() : FFactory(OpenSerialDevice) {}

TComPort::~TComPort() {
    Close();
}

void TComPort::SetDeviceName(const std::string& Name) {
    if (Name == FDeviceName) return;
    Close();
    FDeviceName = Name;
}

TSerialLine& TComPort::Opened() {
    if (!FLine) throw EComError("Can't perform this operation on a closed port");
    return *FLine;
}

void TComPort::Open() {
    if (FLine) return;
    const std::string path = FTable.Resolve(FDeviceName);
    if (path.empty()) throw EComError(FDeviceName + ": no device is assigned to this port");
    auto line = FFactory(path);
    line->SetBaudRate(FBaudRate);
    if (FDataBits != dbDefault) line->SetDataBits(FDataBits);
    line->SetParity(FParity);
    FLine = std::move(line);
    FDevicePath = path;
    FIn.clear();
    FOut.clear();
}

void TComPort::Close() {
    if (!FLine) return;
    try {
        SendPending();
    } catch (const EComError&) {
        // The port goes away anyway; what could not be sent is dropped.
    }
    FLine.reset();
    FIn.clear();
    FOut.clear();
    FDevicePath.clear();
}

void TComPort::SetBaudRate(TBaudRate Value) {
    FBaudRate = Value;
    if (FLine) {
        SendPending();
        FLine->SetBaudRate(Value);
    }
}

void TComPort::SetDataBits(TDataBits Value) {
    FDataBits = Value;
    if (FLine && Value != dbDefault) {
        SendPending();
        FLine->SetDataBits(Value);
    }
}

void TComPort::SetParity(TParity Value) {
    FParity = Value;
    if (FLine) {
        SendPending();
        FLine->SetParity(Value);
    }
}

void TComPort::ModemLine(bool Dtr, bool Active) {
    TSerialLine& line = Opened();
    SendPending();
    if (Dtr)
        line.SetDTR(Active);
    else
        line.SetRTS(Active);
}

void TComPort::SendPending() {
    if (FOut.empty() || !FLine) return;
    const std::size_t sent = FLine->Write(FOut.data(), FOut.size(), FWriteTimeout);
    FOut.erase(FOut.begin(), FOut.begin() + static_cast<std::ptrdiff_t>(sent));
    if (!FOut.empty()) throw EComError("Timeout");
}

void TComPort::Fill() {
    std::uint8_t buffer[4096];
    const std::size_t n = FLine->ReadAvailable(buffer, sizeof buffer);
    FIn.insert(FIn.end(), buffer, buffer + n);
}

void TComPort::Flush() {
    TSerialLine& line = Opened();
    SendPending();
    const TLinkTime deadline = line.Clock().Now() + FWriteTimeout;
    TLinkDuration pause = kFlushPollFirst;
    while (line.OutputCount() > 0) {
        if (line.Clock().Now() >= deadline) throw EComError("Timeout");
        line.Clock().Sleep(pause);
        pause = std::min(pause * 2, kFlushPollMax);
    }
}

std::size_t TComPort::InputCount() {
    Opened();
    SendPending();
    if (FIn.empty()) Fill();
    return FIn.size();
}

std::size_t TComPort::OutputCount() {
    TSerialLine& line = Opened();
    SendPending();
    return line.OutputCount() + FOut.size();
}

bool TComPort::WaitForInput(TLinkDuration Timeout) {
    TSerialLine& line = Opened();
    SendPending();
    if (!FIn.empty()) return true;
    // One wait (it returns at once when input is there), then one read.
    if (!line.WaitInput(Timeout)) return false;
    Fill();
    return !FIn.empty();
}

std::size_t TComPort::Read(void* Buffer, std::size_t Count, bool Wait) {
    TSerialLine& line = Opened();
    SendPending();
    auto* out = static_cast<std::uint8_t*>(Buffer);
    std::size_t got = 0;
    const TLinkTime deadline = line.Clock().Now() + FReadTimeout;
    for (;;) {
        const std::size_t take = std::min(Count - got, FIn.size());
        std::copy_n(FIn.begin(), take, out + got);
        FIn.erase(FIn.begin(), FIn.begin() + static_cast<std::ptrdiff_t>(take));
        got += take;
        if (got == Count) return got;
        Fill();
        if (!FIn.empty()) continue;
        if (!Wait) return got;
        const TLinkDuration left = deadline - line.Clock().Now();
        if (left <= TLinkDuration::zero() || !line.WaitInput(left)) {
            Fill();
            if (FIn.empty()) throw EComError("Timeout");
        }
    }
}

std::uint8_t TComPort::ReadByte() {
    std::uint8_t b = 0;
    Read(&b, 1, true);
    return b;
}

void TComPort::WriteByte(std::uint8_t Value) {
    Opened();
    FOut.push_back(Value);
    if (FOut.size() >= kGatherLimit) SendPending();
}

void TComPort::WriteString(const std::string& Value) {
    Opened();
    FOut.insert(FOut.end(), Value.begin(), Value.end());
    if (FOut.size() >= kGatherLimit) SendPending();
}

void TComPort::EnumComDevicesFromRegistry(std::vector<std::string>& List) const {
    for (const auto& entry : FTable.Entries())
        List.push_back("COM" + std::to_string(entry.first));
}

TLinkClock& TComPort::Clock() {
    return FLine ? FLine->Clock() : SystemLinkClock();
}

TSerialStats TComPort::Stats() const {
    return FLine ? FLine->Stats() : TSerialStats{};
}
