#include "ports/sim_lpt_io.h"

TSimPrinterPort& TSimLptIo::AddPort(std::uint16_t Base, TSimLptKind Kind, TLptConnector* Connector) {
    FPorts.push_back(std::make_unique<TSimPrinterPort>(Base, Kind, Connector));
    return *FPorts.back();
}

TSimPrinterPort* TSimLptIo::PortAt(std::uint16_t Base) const {
    for (const auto& p : FPorts)
        if (p->Base() == Base) return p.get();
    return nullptr;
}

TSimPrinterPort* TSimLptIo::Decoder(std::uint16_t Address) const {
    for (const auto& p : FPorts)
        if (p->Decode(Address) >= 0) return p.get();
    return nullptr;
}

bool TSimLptIo::Open(std::uint8_t) {
    FOpen = CanOpen;
    return FOpen;
}

void TSimLptIo::Close() {
    FOpen = false;
}

std::uint8_t TSimLptIo::GetPort(std::uint16_t Address) {
    ++FReads;
    TSimPrinterPort* port = Decoder(Address);
    const std::uint8_t value = port ? port->Read(Address) : 0xFF;
    if (FKeepLog) FLog.push_back({Address, value, false});
    return value;
}

void TSimLptIo::SetPort(std::uint16_t Address, std::uint8_t Value) {
    ++FWrites;
    if (FKeepLog) FLog.push_back({Address, Value, true});
    if (TSimPrinterPort* port = Decoder(Address)) port->Write(Address, Value);
}

void TSimLptIo::RequestRange(std::uint16_t First, std::uint16_t Last) {
    FRanges.emplace_back(First, Last);
}

bool TSimLptIo::AcquirePrinter(int Number) {
    if (FPrinter != 0) return true;
    if (PrinterBusy || Number < 1 || Number > 3) return false;
    FPrinter = Number;
    return true;
}

void TSimLptIo::ReleasePrinter() {
    FPrinter = 0;
}
