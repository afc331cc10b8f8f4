#include "unit.h"

#include <algorithm>
#include <chrono>

namespace {

// Poll interval of the unit's ready wait on the Microwire bus.
constexpr TSimDuration kReadyPoll = std::chrono::microseconds(10);

int HexDigit(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1; // the PC always sends upper case; anything else is a bad number
}

bool ParseHex(const std::vector<std::uint8_t>& Args, std::uint8_t& Value) {
    const int hi = HexDigit(Args.at(0));
    const int lo = HexDigit(Args.at(1));
    if (hi < 0 || lo < 0) return false;
    Value = static_cast<std::uint8_t>(hi * 16 + lo);
    return true;
}

std::string HexByte(std::uint8_t b) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 15]};
}

} // namespace

TProgrammerUnit::TProgrammerUnit(TUnitConfig Config) : FConfig(std::move(Config)) {
    FWriteDelay = FConfig.DefaultWriteDelayMs;
}

TProgrammerUnit::~TProgrammerUnit() {
    if (FChip) FChip->AttachClock(nullptr);
}

std::unique_ptr<TSimChip> TProgrammerUnit::InsertChip(std::unique_ptr<TSimChip> Chip) {
    if (Chip) Chip->AttachClock(&FClock);
    std::swap(FChip, Chip);
    if (Chip) Chip->AttachClock(nullptr);
    return Chip;
}

TUnitOutput TProgrammerUnit::TakeOutput() {
    TUnitOutput out = FOutput.front();
    FOutput.pop_front();
    return out;
}

TTargetReset TProgrammerUnit::TargetReset() const {
    if (!FOperation || FPolarity > 1) return TTargetReset::Released;
    return FPolarity == 0 ? TTargetReset::DrivenLow : TTargetReset::DrivenHigh;
}

TSimDuration TProgrammerUnit::WriteDelay() const {
    return std::chrono::milliseconds(FWriteDelay);
}

// ---------------------------------------------------------------- framing

void TProgrammerUnit::Receive(std::uint8_t Byte) {
    if (FCut || FHung) return;
    const auto& hang = FConfig.Faults.HangAfterBytes;
    if (hang && FBytesReceived >= *hang) {
        FHung = true;
        if (FLetter) AbandonCommand("unit hung");
        FTranscript.AddEvent(FClock.Now(), "unit hung after " + std::to_string(*hang) + " bytes");
        return;
    }
    ++FBytesReceived;
    const TSimTime now = FClock.Now();
    // A command whose arguments stopped coming is dropped, so the PC can
    // start afresh (the serial probe relies on this after a broken transfer).
    if (FLetter && FConfig.CommandTimeout > TSimDuration::zero() &&
        now - FLastByteTime > FConfig.CommandTimeout)
        AbandonCommand("abandoned: the arguments stopped arriving");
    FLastByteTime = now;
    if (FLetter)
        ArgumentByte(Byte);
    else
        StartCommand(Byte);
}

void TProgrammerUnit::StartCommand(std::uint8_t Letter) {
    // Line ends between commands (a terminal's Enter key) are not commands.
    if (Letter == '\r' || Letter == '\n') return;
    ++FCommandCount;
    FTranscript.BeginCommand(FCommandCount, FClock.Now(), Letter);
    FLetter = Letter;
    FArgs.clear();
    FPendingError = 0;
    FFault = MatchFault(Letter);
    if (FFault) {
        if (FFault->Kind == TCommandFault::TKind::Error)
            FTranscript.AddNote("fault: error code " + HexByte(FFault->Byte));
        else
            FTranscript.AddNote("fault: acknowledgement " + HexByte(FFault->Byte));
    }
    switch (Letter) {
    case 'w':
    case 'R':
    case 'W':
        FArgsNeeded = 1;
        break;
    case 'M':
    case 'P':
    case 'E':
    case 'D':
        FArgsNeeded = 2;
        break;
    default:
        FArgsNeeded = 0;
        break;
    }
    if (FArgsNeeded == 0) Execute();
}

void TProgrammerUnit::ArgumentByte(std::uint8_t Byte) {
    FTranscript.AddSent(Byte);
    const bool failing = FFault && FFault->Kind == TCommandFault::TKind::Error;
    if (FLetter == 'W') {
        if (FArgs.empty()) {
            // The count: bytes follow (bits on Microwire, ceil(n/8) bytes).
            FArgs.push_back(Byte);
            ++FPageCommands;
            FPageBytes = 0;
            FPageDataLeft = FBus == TUnitBus::Microwire ? (Byte + 7u) / 8u : Byte;
            if (!failing) BeginPage(Byte);
        } else {
            if (!failing) PageByte(Byte);
            ++FPageBytes;
            --FPageDataLeft;
        }
        if (CheckCut()) return;
        if (FPageDataLeft == 0) Execute();
        return;
    }
    FArgs.push_back(Byte);
    if (FArgs.size() == FArgsNeeded) Execute();
}

bool TProgrammerUnit::CheckCut() {
    const auto& cut = FConfig.Faults.CutInPage;
    if (!cut || FPageCommands != cut->Page) return false;
    // After AfterBytes data bytes, or after the last one of a shorter page
    // (then before the command is carried out).
    const std::uint32_t total = FPageBytes + FPageDataLeft;
    if (FPageBytes != std::min(cut->AfterBytes, total)) return false;
    CutLink();
    return true;
}

std::optional<TCommandFault> TProgrammerUnit::MatchFault(std::uint8_t Letter) {
    const auto& faults = FConfig.Faults.CommandFaults;
    FFaultCounts.resize(faults.size(), 0);
    std::optional<TCommandFault> hit;
    for (std::size_t i = 0; i < faults.size(); ++i) {
        const auto& f = faults[i];
        if (f.Letter != '\0' && static_cast<std::uint8_t>(f.Letter) != Letter) continue;
        ++FFaultCounts[i];
        if (!hit && (f.Nth == 0 || FFaultCounts[i] == f.Nth)) hit = f;
    }
    return hit;
}

void TProgrammerUnit::Send(std::uint8_t Byte) {
    FOutput.push_back({Byte, FClock.Now()});
    FTranscript.AddReceived(Byte);
}

void TProgrammerUnit::SendText(const std::string& Text) {
    for (char c : Text)
        Send(static_cast<std::uint8_t>(c));
}

void TProgrammerUnit::Reply(std::uint8_t Error) {
    if (Error) {
        Send('?');
        Send(Error);
    } else if (FFault && FFault->Kind == TCommandFault::TKind::Acknowledge) {
        Send(FFault->Byte);
    } else {
        Send('\r');
    }
}

void TProgrammerUnit::FinishCommand() {
    FLetter = 0;
    FArgs.clear();
    FFault.reset();
    FPendingError = 0;
    FTranscript.EndCommand();
}

void TProgrammerUnit::AbandonCommand(const std::string& Why) {
    FTranscript.AddNote(Why);
    FLetter = 0;
    FArgs.clear();
    FFault.reset();
    FPendingError = 0;
    FTranscript.EndCommand();
}

void TProgrammerUnit::Execute() {
    if (FFault && FFault->Kind == TCommandFault::TKind::Error) {
        // Not carried out; a data reply keeps its length so the PC's framing
        // holds, and the error code takes the acknowledgement's place.
        std::size_t filler = 0;
        switch (FLetter) {
        case 'S':
            filler = FConfig.Identification.size();
            break;
        case 'V':
            filler = FConfig.HardwareVersion.size();
            break;
        case 'v':
            filler = FConfig.FirmwareVersion.size();
            break;
        case 'r':
            filler = 1;
            break;
        case 'R':
            filler = FArgs.at(0);
            break;
        default:
            break;
        }
        for (std::size_t i = 0; i < filler; ++i)
            Send(0xFF);
        Send('?');
        Send(FFault->Byte);
        FinishCommand();
        return;
    }

    std::uint8_t value = 0;
    switch (FLetter) {
    case 'X':
        Reply(BusStart());
        break;
    case 'x':
        BusStop();
        Reply(0);
        break;
    case 'Z':
        Reply(BusRecover());
        break;
    case 'w':
        Reply(BusWrite(FArgs.at(0)));
        break;
    case 'r': {
        std::uint8_t error = 0;
        Send(BusRead(true, error));
        Reply(error);
        break;
    }
    case 'W':
        Reply(PageDone());
        break;
    case 'R': {
        // Data replies always have their full length; a failure shows in the
        // acknowledgement.
        std::uint8_t error = 0;
        const int count = FArgs.at(0);
        const auto& noisy = FConfig.Faults.NoisyReadEvery;
        for (int i = 0; i < count; ++i) {
            std::uint8_t b = BusRead(i == count - 1, error);
            if (noisy && *noisy && ++FReadBytesSent % *noisy == 0) b ^= 1;
            Send(b);
        }
        Reply(error);
        break;
    }
    case 'M':
        if (!ParseHex(FArgs, value) || value > 2) {
            Reply('#');
        } else {
            ReleaseBus();
            FBus = static_cast<TUnitBus>(value);
            Reply(0);
        }
        break;
    case 'P':
        if (!ParseHex(FArgs, value) || value > 2) {
            Reply('#');
        } else {
            FPolarity = value;
            Reply(0);
        }
        break;
    case 'E':
        // Any divider is taken; the PC sends 01, 10 or 20.
        if (!ParseHex(FArgs, value)) {
            Reply('#');
        } else {
            FClockSpeed = value;
            Reply(0);
        }
        break;
    case 'D':
        if (!ParseHex(FArgs, value)) {
            Reply('#');
        } else {
            FWriteDelay = value;
            Reply(0);
        }
        break;
    case '%':
        FOperation = true;
        Reply(0);
        break;
    case '$':
        FOperation = false;
        Reply(0);
        break;
    case 'S':
        SendText(FConfig.Identification);
        Reply(0);
        break;
    case 'V':
        SendText(FConfig.HardwareVersion);
        Reply(0);
        break;
    case 'v':
        SendText(FConfig.FirmwareVersion);
        Reply(0);
        break;
    case '*':
        Reply(0);
        break;
    default:
        Reply('!');
        break;
    }
    FinishCommand();
}

// ---------------------------------------------------------------- reset, faults

void TProgrammerUnit::Reset() {
    if (FLetter) AbandonCommand("abandoned by reset");
    ReleaseBus();
    FOutput.clear();
    FBus = TUnitBus::I2C;
    FWriteDelay = FConfig.DefaultWriteDelayMs;
    FPolarity = 2;
    FClockSpeed = 1;
    FOperation = false;
    FTranscript.AddEvent(FClock.Now(), "reset");
    // A frozen unit or a cut cable sends nothing, not even after a reset.
    if (FConfig.IdentifyOnReset && !FConfig.Identification.empty() && !FHung && !FCut) {
        std::vector<std::uint8_t> id(FConfig.Identification.begin(), FConfig.Identification.end());
        for (std::uint8_t b : id)
            FOutput.push_back({b, FClock.Now()});
        FTranscript.AddUnasked(FClock.Now(), id, "identification after reset");
    }
}

void TProgrammerUnit::CutLink() {
    if (FCut) return;
    FCut = true;
    FTranscript.AddEvent(FClock.Now(), "link cut");
}

void TProgrammerUnit::Reconnect() {
    if (!FCut) return;
    FCut = false;
    // Replugging takes longer than the command time-out: a command cut in
    // the middle is gone.
    if (FLetter) AbandonCommand("dropped: the link was cut");
    FTranscript.AddEvent(FClock.Now(), "link reconnected");
}

// ---------------------------------------------------------------- buses

std::uint8_t TProgrammerUnit::BusStart() {
    switch (FBus) {
    case TUnitBus::I2C:
        // START, or a repeated START inside a transfer.
        if (auto* t = I2C()) t->Start();
        FI2CTransfer = true;
        FI2CFirst = true;
        FI2CWriting = false;
        FI2CWroteData = false;
        return 0;
    case TUnitBus::SPI:
        // A fresh selection: /CS goes high first if it was low.
        if (FSpiSelected) SpiDeselect();
        if (auto* t = Spi()) t->Select(true);
        FSpiSelected = true;
        FSpiFirst = true;
        FSpiWriteInstr = false;
        FSpiWroteData = false;
        return 0;
    case TUnitBus::Microwire: {
        auto* t = Microwire();
        if (FMwSelected && t) t->Select(false);
        if (t) t->Select(true);
        FMwSelected = true;
        // A chip still in its write cycle would ignore the instruction.
        if (!MicrowireReadyWait()) {
            if (t) t->Select(false);
            FMwSelected = false;
            return 'T';
        }
        return 0;
    }
    }
    return 0;
}

void TProgrammerUnit::BusStop() {
    switch (FBus) {
    case TUnitBus::I2C:
        if (auto* t = I2C()) t->Stop();
        // A STOP after written bytes starts the chip's write cycle.
        if (FI2CTransfer && FI2CWriting && FI2CWroteData) Wait(WriteDelay());
        FI2CTransfer = false;
        FI2CWriting = false;
        FI2CWroteData = false;
        break;
    case TUnitBus::SPI:
        SpiDeselect();
        break;
    case TUnitBus::Microwire:
        if (auto* t = Microwire()) t->Select(false);
        FMwSelected = false;
        break;
    }
}

std::uint8_t TProgrammerUnit::BusRecover() {
    switch (FBus) {
    case TUnitBus::I2C:
        // START then STOP: frees a chip stuck in a transfer and abandons a
        // page that was never stopped, without writing it.
        if (auto* t = I2C()) {
            t->Start();
            t->Stop();
        }
        FI2CTransfer = false;
        FI2CWriting = false;
        FI2CWroteData = false;
        return 0;
    case TUnitBus::SPI:
        SpiDeselect();
        return 0;
    case TUnitBus::Microwire: {
        // Wait for the end of the write cycle the last instruction started.
        auto* t = Microwire();
        if (!FMwSelected && t) t->Select(true);
        const bool ready = MicrowireReadyWait();
        if (t) t->Select(false);
        FMwSelected = false;
        return ready ? 0 : 'T';
    }
    }
    return 0;
}

std::uint8_t TProgrammerUnit::BusWrite(std::uint8_t Byte) {
    switch (FBus) {
    case TUnitBus::I2C:
        return I2CWrite(Byte);
    case TUnitBus::SPI:
        SpiWrite(Byte);
        return 0;
    case TUnitBus::Microwire:
        if (!FMwSelected) return 'M';
        for (int i = 7; i >= 0; --i)
            MicrowireClock(((Byte >> i) & 1) != 0);
        return 0;
    }
    return 0;
}

std::uint8_t TProgrammerUnit::BusRead(bool Last, std::uint8_t& Error) {
    switch (FBus) {
    case TUnitBus::I2C: {
        auto* t = I2C();
        return t ? t->Read(!Last) : 0xFF;
    }
    case TUnitBus::SPI: {
        auto* t = Spi();
        return t && FSpiSelected ? t->Transfer(0xFF) : 0xFF;
    }
    case TUnitBus::Microwire: {
        if (!FMwSelected) {
            Error = 'M';
            return 0xFF;
        }
        std::uint8_t value = 0;
        for (int i = 0; i < 8; ++i)
            value = static_cast<std::uint8_t>((value << 1) | (MicrowireClock(false) ? 1 : 0));
        return value;
    }
    }
    return 0xFF;
}

std::uint8_t TProgrammerUnit::I2CWrite(std::uint8_t Byte) {
    auto* t = I2C();
    const bool ack = t ? t->Write(Byte) : false;
    if (FI2CFirst) {
        FI2CFirst = false;
        FI2CWriting = (Byte & 1) == 0;
    } else if (FI2CWriting) {
        FI2CWroteData = true;
    }
    if (!ack) {
        // Not acknowledged: the chip is absent, busy or not addressed. The
        // unit frees the bus with a STOP and reports it as a busy time-out.
        if (t) t->Stop();
        FI2CTransfer = false;
        FI2CWriting = false;
        FI2CWroteData = false;
        return 'T';
    }
    return 0;
}

void TProgrammerUnit::SpiWrite(std::uint8_t Byte) {
    if (!FSpiSelected) return;
    if (auto* t = Spi()) t->Transfer(Byte);
    if (FSpiFirst) {
        FSpiFirst = false;
        // WRITE (0x02, 0x0A with A8) and WRSR (0x01) start a write cycle when
        // the chip is deselected; the unit waits the write delay then.
        FSpiWriteInstr = (Byte & 0xF7) == 0x02 || Byte == 0x01;
    } else if (FSpiWriteInstr) {
        FSpiWroteData = true;
    }
}

void TProgrammerUnit::SpiDeselect() {
    if (auto* t = Spi()) t->Select(false);
    if (FSpiSelected && FSpiWriteInstr && FSpiWroteData) Wait(WriteDelay());
    FSpiSelected = false;
    FSpiFirst = false;
    FSpiWriteInstr = false;
    FSpiWroteData = false;
}

bool TProgrammerUnit::MicrowireClock(bool Bit) {
    auto* t = Microwire();
    return t ? t->Clock(Bit) : true;
}

bool TProgrammerUnit::MicrowireReadyWait() {
    auto* t = Microwire();
    if (!t) return true; // DO pulled up: reads as ready
    const TSimTime limit = FClock.Now() + FConfig.ReadyTimeout;
    while (!t->DataOut()) {
        if (FClock.Now() >= limit) return false;
        FClock.Advance(std::min(kReadyPoll, limit - FClock.Now()));
    }
    return true;
}

void TProgrammerUnit::BeginPage(std::uint8_t Count) {
    if (FBus != TUnitBus::Microwire) return;
    FMwBits = 0;
    FMwBitCount = Count;
    FMwBitsLeft = Count;
    FMwLastDO = true;
    // The unit shifts at most 16 bits per command, and only inside "X".
    if (Count < 1 || Count > 16 || !FMwSelected) FPendingError = 'M';
}

void TProgrammerUnit::PageByte(std::uint8_t Byte) {
    switch (FBus) {
    case TUnitBus::I2C:
        if (!FPendingError) FPendingError = I2CWrite(Byte);
        break;
    case TUnitBus::SPI:
        SpiWrite(Byte);
        break;
    case TUnitBus::Microwire: {
        if (FPendingError) break;
        const int bits = std::min(8, FMwBitsLeft);
        for (int i = 0; i < bits; ++i) {
            const bool bit = ((Byte >> (7 - i)) & 1) != 0;
            FMwBits = (FMwBits << 1) | (bit ? 1u : 0u);
            FMwLastDO = MicrowireClock(bit);
        }
        FMwBitsLeft -= bits;
        break;
    }
    }
}

std::uint8_t TProgrammerUnit::PageDone() {
    switch (FBus) {
    case TUnitBus::I2C:
        if (FPendingError) return FPendingError; // the STOP went out with the error
        // The page command ends the transfer itself and waits the write delay.
        BusStop();
        return 0;
    case TUnitBus::SPI:
        return 0;
    case TUnitBus::Microwire:
        if (FPendingError) return FPendingError;
        // After a READ instruction (start bit, opcode 10) the chip must show
        // its dummy 0; a 1 means the bit count and the chip disagree, or no
        // chip answers.
        if (FMwBitCount >= 3 && ((FMwBits >> (FMwBitCount - 3)) & 7) == 6 && FMwLastDO) return 'm';
        return 0;
    }
    return 0;
}

void TProgrammerUnit::ReleaseBus() {
    if (FI2CTransfer)
        if (auto* t = I2C()) t->Stop();
    if (FSpiSelected)
        if (auto* t = Spi()) t->Select(false);
    if (FMwSelected)
        if (auto* t = Microwire()) t->Select(false);
    FI2CTransfer = FI2CFirst = FI2CWriting = FI2CWroteData = false;
    FSpiSelected = FSpiFirst = FSpiWriteInstr = FSpiWroteData = false;
    FMwSelected = false;
}
