#include "ports/sim_printer_port.h"

namespace {

// Output pins in the order a register write drives them: data, then the
// control lines with the clock line SCK (pin 14) last.
constexpr int kDriveOrder[] = {2, 3, 4, 5, 6, 7, 8, 9, 17, 16, 1, 14};

} // namespace

TSimPrinterPort::TSimPrinterPort(std::uint16_t Base, TSimLptKind Kind, TLptConnector* Connector)
    : FBase(Base), FKind(Kind), FConnector(&FNothing) {
    if (Connector) Plug(Connector);
}

void TSimPrinterPort::Plug(TLptConnector* Connector) {
    FConnector = Connector ? Connector : &FNothing;
    for (int pin : kDriveOrder)
        FConnector->SetPin(pin, OutputLevel(pin));
}

int TSimPrinterPort::Decode(std::uint16_t Address) const {
    const int registers = FKind == TSimLptKind::Epp || FKind == TSimLptKind::Ecp ? 8 : 3;
    const std::uint16_t distance = static_cast<std::uint16_t>(Address - FBase);
    if (distance < registers) return distance;
    if (FKind == TSimLptKind::Ecp) return distance >= 0x400 && distance <= 0x402 ? distance : -1;
    // Ten decoded address bits: base+0x400.. is base+0.. again.
    const int alias = distance & 0x3FF;
    return alias < registers ? alias : -1;
}

bool TSimPrinterPort::Bidirectional() const {
    switch (FKind) {
    case TSimLptKind::Ps2:
    case TSimLptKind::Epp:
        return true;
    case TSimLptKind::Ecp:
        return EcrMode() == 0b001 || EcrMode() == 0b100;
    default:
        return false;
    }
}

bool TSimPrinterPort::EppActive() const {
    return FKind == TSimLptKind::Epp || (FKind == TSimLptKind::Ecp && EcrMode() == 0b100);
}

bool TSimPrinterPort::DataInput() const {
    return Bidirectional() && (FControl & 0x20) != 0;
}

bool TSimPrinterPort::OutputLevel(int Pin) const {
    if (Pin >= 2 && Pin <= 9) return DataInput() || ((FData >> (Pin - 2)) & 1) != 0; // released: pulled up
    switch (Pin) {
    case 1:
        return (FControl & 0x01) == 0;
    case 14:
        return (FControl & 0x02) == 0;
    case 16:
        return (FControl & 0x04) != 0;
    case 17:
        return (FControl & 0x08) == 0;
    default:
        return false;
    }
}

void TSimPrinterPort::Levels(bool (&Out)[18]) const {
    for (int pin : kDriveOrder)
        Out[pin] = OutputLevel(pin);
}

void TSimPrinterPort::DriveChanges(const bool (&Before)[18]) {
    for (int pin : kDriveOrder) {
        const bool level = OutputLevel(pin);
        if (level != Before[pin]) FConnector->SetPin(pin, level);
    }
}

std::uint8_t TSimPrinterPort::ReadStatus() {
    const bool busy = FConnector->GetPin(11); // inverted into bit 7
    const bool ack = FConnector->GetPin(10);
    const bool paperOut = FConnector->GetPin(12);
    const bool select = FConnector->GetPin(13);
    const bool error = FConnector->GetPin(15);
    const bool timeoutBit = FKind == TSimLptKind::Epp || FKind == TSimLptKind::Ecp ? FTimeout : true;
    return static_cast<std::uint8_t>((busy ? 0 : 0x80) | (ack ? 0x40 : 0) | (paperOut ? 0x20 : 0) |
                                     (select ? 0x10 : 0) | (error ? 0x08 : 0) | 0x06 | (timeoutBit ? 1 : 0));
}

std::uint8_t TSimPrinterPort::Read(std::uint16_t Address) {
    const int reg = Decode(Address);
    if (reg < 0) return 0xFF;
    FConnector->IoCycle();
    switch (reg) {
    case 0: {
        if (!DataInput()) return FData;
        std::uint8_t v = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (FConnector->GetPin(2 + bit)) v = static_cast<std::uint8_t>(v | (1 << bit));
        return v;
    }
    case 1:
        return ReadStatus();
    case 2:
        return FKind == TSimLptKind::Spp || FKind == TSimLptKind::ThreeRegisters
                   ? static_cast<std::uint8_t>((FControl & 0x1F) | 0xE0)
                   : static_cast<std::uint8_t>((FControl & 0x3F) | 0xC0);
    case 0x400:
        return 0x10; // configuration A: 8-bit implementation
    case 0x401:
        return 0x00;
    case 0x402:
        return static_cast<std::uint8_t>((FEcr & 0xFC) | 0x01); // FIFO empty, not full
    default:                                                    // 3..7
        if (!EppActive()) return 0xFF;
        FTimeout = true;
        return reg == 3 ? FEppAddress : FEppData[reg - 4];
    }
}

void TSimPrinterPort::Write(std::uint16_t Address, std::uint8_t Value) {
    const int reg = Decode(Address);
    if (reg < 0) return;
    FConnector->IoCycle();
    bool before[18] = {};
    Levels(before);
    switch (reg) {
    case 0:
        FData = Value;
        break;
    case 1:
        if (Value & 0x01) FTimeout = false; // the rest of the status register is read-only
        return;
    case 2:
        FControl = Value;
        break;
    case 0x400:
    case 0x401:
        return;
    case 0x402:
        FEcr = static_cast<std::uint8_t>(Value & 0xFC);
        break;
    default: // 3..7
        if (!EppActive()) return;
        FTimeout = true;
        if (reg == 3)
            FEppAddress = Value;
        else
            FEppData[reg - 4] = Value;
        return;
    }
    DriveChanges(before);
}
