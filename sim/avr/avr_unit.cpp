#include "avr/avr_unit.h"

#include "chips/eeprom_25c.h"

namespace {

// firmware/board.h
constexpr std::uint8_t kSda = 1 << 4, kScl = 1 << 5;                               // port C
constexpr std::uint8_t kWp = 1 << 0, kHold = 1 << 1, kCs = 1 << 2, kMosi = 1 << 3; // port B
constexpr std::uint8_t kMiso = 1 << 4, kSck = 1 << 5;
constexpr std::uint8_t kTargetReset = 1 << 7; // port D

} // namespace

TAvrUnit::TAvrUnit(TAvrUnitConfig Config) : FConfig(std::move(Config)), FMcu(FConfig.Firmware) {
    FMcu.OnPortChange = [this](char Port) { PortChanged(Port); };
    FMcu.OnPinRead = [this](char Port) { PinRead(Port); };
    FMcu.OnWake = [this] {
        Sync();
        FMicrowire.Refresh();
        WirePortB();
    };
    FMcu.OnSpiTransfer = [this](std::uint8_t Mosi, TSimTime Start, TSimDuration Bit) {
        Sync();
        const std::uint8_t ddr = FMcu.Ddr('B'), port = FMcu.PortLatch('B');
        const bool hold = (ddr & kHold) ? (port & kHold) != 0 : true;
        return FChip && FChip->AsSpi() ? FSpi.HardwareByte(Mosi, Start, Bit, hold) : std::uint8_t{0xFF};
    };
    FMcu.OnReset = [this] { FI2C.MasterRestarted(); };
    WirePortB();
    WirePortC();
}

TAvrUnit::~TAvrUnit() {
    if (FChip) FChip->AttachClock(nullptr);
}

std::unique_ptr<TSimChip> TAvrUnit::InsertChip(std::unique_ptr<TSimChip> Chip) {
    Sync();
    if (Chip) Chip->AttachClock(&FChipClock);
    std::swap(FChip, Chip);
    if (Chip) Chip->AttachClock(nullptr);
    auto* eeprom25 = dynamic_cast<T25CChip*>(FChip.get());
    FI2C.SetTarget(FChip ? FChip->AsI2C() : nullptr);
    // A 25C can also be clocked bit by bit (the pins need its next output
    // byte before its first clock); any SPI chip through the SPI unit.
    if (eeprom25)
        FSpi.SetTarget(eeprom25, [eeprom25] { return eeprom25->NextOutput(); });
    else
        FSpi.SetTarget(FChip ? FChip->AsSpi() : nullptr, {});
    FMicrowire.SetTarget(FChip ? FChip->AsMicrowire() : nullptr);
    WirePortB();
    WirePortC();
    return Chip;
}

void TAvrUnit::Sync() {
    FChipClock.AdvanceTo(FMcu.Now());
}

void TAvrUnit::SetDTR(bool Set) {
    // The auto-reset capacitor passes the falling edge of the DTR# pin, that
    // is DTR being asserted.
    const bool edge = Set && !FDTR;
    FDTR = Set;
    if (edge && FConfig.AutoReset) FMcu.Reset(FMcu.Now() + FConfig.BootloaderTime);
}

TTargetReset TAvrUnit::TargetReset() const {
    if (!(FMcu.Ddr('D') & kTargetReset)) return TTargetReset::Released;
    return (FMcu.PortLatch('D') & kTargetReset) ? TTargetReset::DrivenHigh : TTargetReset::DrivenLow;
}

void TAvrUnit::SetI2CPullUps(bool Present) {
    Sync();
    FI2C.SetPullUps(Present);
    WirePortC();
}

void TAvrUnit::PortChanged(char Port) {
    if (Port == 'B') WirePortB();
    if (Port == 'C') WirePortC();
}

void TAvrUnit::PinRead(char Port) {
    Sync();
    const TSimTime now = FMcu.Now();
    if (Port == 'C') FI2C.Sampled(now);
    if (Port == 'B') {
        FSpi.Sampled(now);
        FMicrowire.Sampled(now);
    }
}

void TAvrUnit::WirePortC() {
    Sync();
    const std::uint8_t ddr = FMcu.Ddr('C'), port = FMcu.PortLatch('C');
    // Open drain: the MCU may only pull SDA and SCL low.
    if (ddr & port & (kSda | kScl)) FWiring.Fault("MCU drives an I2C line high", FMcu.Now());
    const bool sclLow = (ddr & kScl) && !(port & kScl);
    const bool sdaLow = (ddr & kSda) && !(port & kSda);
    FI2C.Drive(sclLow, sdaLow, FMcu.Now());
    std::uint8_t levels = 0xFF;
    if (!FI2C.Sda()) levels &= static_cast<std::uint8_t>(~kSda);
    if (!FI2C.Scl()) levels &= static_cast<std::uint8_t>(~kScl);
    FMcu.SetPinLevels('C', levels);
}

void TAvrUnit::WirePortB() {
    Sync();
    const std::uint8_t ddr = FMcu.Ddr('B'), port = FMcu.PortLatch('B');
    // An output drives its latch; an input floats, and the board's pull
    // resistors decide (/CS, /WP and /HOLD up, 93C CS, SK and DI down).
    auto level = [&](std::uint8_t Bit, bool Floating) { return (ddr & Bit) ? (port & Bit) != 0 : Floating; };
    const TSimTime now = FMcu.Now();
    bool dataOut = true;
    // With the SPI unit on, it drives SCK (low between bytes, mode 0) and
    // MOSI; its bytes come through OnSpiTransfer.
    const bool spiUnit = FMcu.SpiEnabled();
    const bool sck = spiUnit ? false : level(kSck, false);
    const bool mosi = spiUnit ? false : level(kMosi, false);
    if (FChip && FChip->AsSpi()) {
        const bool wp = level(kWp, true);
        if (auto* chip = dynamic_cast<T25CChip*>(FChip.get())) chip->SetWriteProtectPin(!wp);
        FSpi.Drive(level(kCs, true), sck, mosi, level(kHold, true), now);
        dataOut = FSpi.So();
    } else if (FChip && FChip->AsMicrowire()) {
        FMicrowire.Drive(level(kCs, false), sck, mosi, now);
        dataOut = FMicrowire.Do();
        WakeForStatus();
    }
    // SO / DO has a pull-up; a driven MISO pin would fight the chip.
    if ((ddr & kMiso) && FChip && !FChip->AsI2C()) FWiring.Fault("MCU drives the chip's data output", now);
    FMcu.SetPinLevels('B', dataOut ? 0xFF : static_cast<std::uint8_t>(~kMiso));
}

void TAvrUnit::WakeForStatus() {
    // While CS is high a 93C shows ready/busy on DO: the end of its write
    // cycle changes DO without any edge from the MCU.
    if (FMicrowire.Selected() && FChip->Busy()) FMcu.WakeAt(FChip->BusyUntil());
}

std::vector<std::string> TAvrUnit::Breaches() {
    std::vector<std::string> all;
    for (TPinTimingLog* log : {&FI2C.Log(), &FSpi.Log(), &FMicrowire.Log(), &FWiring})
        all.insert(all.end(), log->Breaches().begin(), log->Breaches().end());
    return all;
}

void TAvrUnit::ClearBreaches() {
    for (TPinTimingLog* log : {&FI2C.Log(), &FSpi.Log(), &FMicrowire.Log(), &FWiring})
        log->Clear();
}
