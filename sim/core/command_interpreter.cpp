#include "core/command_interpreter.h"

namespace {

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1; // the PC always sends upper case; anything else is a bad number
}

} // namespace

TCommandInterpreter::TCommandInterpreter(TInterpreterHost& Host, const TUnitIdentity& Identity,
                                         uint8_t DefaultWriteDelayMs)
    : FHost(Host), FIdentity(Identity), FDefaultWriteDelay(DefaultWriteDelayMs),
      FWriteDelay(DefaultWriteDelayMs) {}

TTargetReset TCommandInterpreter::TargetReset() const {
    if (!FOperation || FPolarity > 1) return TTargetReset::Released;
    return FPolarity == 0 ? TTargetReset::DrivenLow : TTargetReset::DrivenHigh;
}

// ---------------------------------------------------------------- framing

void TCommandInterpreter::Receive(uint8_t Byte) {
    if (FLetter)
        ArgumentByte(Byte);
    else
        StartCommand(Byte);
}

void TCommandInterpreter::StartCommand(uint8_t Letter) {
    // Line ends between commands (a terminal's Enter key) are not commands.
    if (Letter == '\r' || Letter == '\n') return;
    FLetter = Letter;
    FArgCount = 0;
    FPendingError = 0;
    FOverride = FHost.CommandStarted(Letter);
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
    case 'L':
        FArgsNeeded = FIdentity.FastestRate ? 2 : 0;
        break;
    default:
        FArgsNeeded = 0;
        break;
    }
    if (FArgsNeeded == 0) Execute();
}

void TCommandInterpreter::ArgumentByte(uint8_t Byte) {
    const bool failing = FOverride.Kind == TCommandOverride::TKind::Error;
    if (FLetter == 'W') {
        if (FArgCount == 0) {
            // The count: bytes follow (bits on Microwire, ceil(n/8) bytes).
            FArgs[0] = Byte;
            FArgCount = 1;
            FPageBytes = 0;
            FPageDataLeft = FBus == TUnitBus::Microwire ? static_cast<uint16_t>((Byte + 7u) / 8u) : Byte;
            if (!failing) BeginPage(Byte);
        } else {
            if (!failing) PageByte(Byte);
            ++FPageBytes;
            --FPageDataLeft;
            if (!failing) StreamPage();
        }
        if (!FHost.PageContinues(FPageBytes, FPageDataLeft)) return;
        if (FPageDataLeft == 0) Execute();
        return;
    }
    FArgs[FArgCount++] = Byte;
    if (FArgCount == FArgsNeeded) Execute();
}

void TCommandInterpreter::EndCommand() {
    FLetter = 0;
    FArgCount = 0;
    FOverride = TCommandOverride();
    FPendingError = 0;
    FHost.CommandEnded();
}

void TCommandInterpreter::Abandon() {
    if (FLetter) EndCommand();
}

void TCommandInterpreter::LinkError(uint8_t Code) {
    Abandon();
    FHost.Send('?');
    FHost.Send(Code);
}

bool TCommandInterpreter::TakeRateRequest(uint8_t& Code) {
    if (!FRateRequest) return false;
    Code = static_cast<uint8_t>(FRateRequest - 1);
    FRateRequest = 0;
    return true;
}

void TCommandInterpreter::SendText(const TUnitText& Text) {
    for (uint8_t i = 0; i < Text.Size; ++i)
        FHost.Send(static_cast<uint8_t>(Text.Text[i]));
}

void TCommandInterpreter::Reply(uint8_t Error) {
    if (Error) {
        FHost.Send('?');
        FHost.Send(Error);
    } else if (FOverride.Kind == TCommandOverride::TKind::Acknowledge) {
        FHost.Send(FOverride.Byte);
    } else {
        FHost.Send('\r');
    }
}

bool TCommandInterpreter::HexArgument(uint8_t& Value) const {
    const int hi = HexDigit(FArgs[0]);
    const int lo = HexDigit(FArgs[1]);
    if (hi < 0 || lo < 0) return false;
    Value = static_cast<uint8_t>(hi * 16 + lo);
    return true;
}

void TCommandInterpreter::SetOperation(bool Active) {
    FOperation = Active;
    FHost.TargetResetChanged(TargetReset());
}

void TCommandInterpreter::ExecuteOverridden() {
    // Not carried out; a data reply keeps its length so the PC's framing
    // holds, and the error code takes the acknowledgement's place.
    uint16_t filler = 0;
    switch (FLetter) {
    case 'S':
        filler = FIdentity.Identification.Size;
        break;
    case 'V':
        filler = FIdentity.HardwareVersion.Size;
        break;
    case 'v':
        filler = FIdentity.FirmwareVersion.Size;
        break;
    case 'r':
        filler = 1;
        break;
    case 'R':
        filler = FArgs[0] == 0 && FIdentity.FastestRate ? 256 : FArgs[0];
        break;
    case 'l':
        filler = FIdentity.FastestRate ? 4 : 0;
        break;
    default:
        break;
    }
    for (uint16_t i = 0; i < filler; ++i)
        FHost.Send(0xFF);
    FHost.Send('?');
    FHost.Send(FOverride.Byte);
    EndCommand();
}

void TCommandInterpreter::Execute() {
    if (FOverride.Kind == TCommandOverride::TKind::Error) {
        ExecuteOverridden();
        return;
    }

    uint8_t value = 0;
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
        Reply(BusWrite(FArgs[0]));
        break;
    case 'r': {
        uint8_t error = 0;
        FHost.Send(BusRead(true, error));
        Reply(error);
        break;
    }
    case 'W':
        Reply(PageDone());
        break;
    case 'R': {
        // Data replies always have their full length; a failure shows in the
        // acknowledgement. A fast-link unit reads 256 bytes for a count of 0.
        uint8_t error = 0;
        const uint16_t count = FArgs[0] == 0 && FIdentity.FastestRate ? 256 : FArgs[0];
        if (FBus == TUnitBus::SPI && FSpiSelected) {
            FHost.SpiReadBlock(count);
        } else if (FBus == TUnitBus::I2C) {
            FHost.I2CReadBlock(count);
        } else {
            for (uint16_t i = 0; i < count; ++i)
                FHost.Send(BusRead(i + 1u == count, error));
        }
        Reply(error);
        break;
    }
    case 'M':
        if (!HexArgument(value) || value > 2) {
            Reply('#');
        } else {
            ReleaseBus();
            FBus = static_cast<TUnitBus>(value);
            FHost.BusChanged(FBus);
            Reply(0);
        }
        break;
    case 'P':
        if (!HexArgument(value) || value > 2) {
            Reply('#');
        } else {
            FPolarity = value;
            FHost.TargetResetChanged(TargetReset());
            Reply(0);
        }
        break;
    case 'E':
        // Any divider is taken; the PC sends 01, 10 or 20.
        if (!HexArgument(value)) {
            Reply('#');
        } else {
            FClockSpeed = value;
            FHost.ClockSpeedChanged(value);
            Reply(0);
        }
        break;
    case 'D':
        if (!HexArgument(value)) {
            Reply('#');
        } else {
            FWriteDelay = value;
            Reply(0);
        }
        break;
    case '%':
        SetOperation(true);
        Reply(0);
        break;
    case '$':
        SetOperation(false);
        Reply(0);
        break;
    case 'S':
        SendText(FIdentity.Identification);
        Reply(0);
        break;
    case 'V':
        SendText(FIdentity.HardwareVersion);
        Reply(0);
        break;
    case 'v':
        SendText(FIdentity.FirmwareVersion);
        Reply(0);
        break;
    case '*':
        Reply(FIdentity.FastestRate ? kFastLinkCode : FIdentity.Buffers ? kBuffersCode : 0);
        break;
    case 'l':
    case 'L':
        ExecuteLink();
        break;
    default:
        Reply('!');
        break;
    }
    EndCommand();
}

void TCommandInterpreter::ExecuteLink() {
    // Only a fast-link unit knows the two; any other answers as to an
    // unknown letter.
    if (!FIdentity.FastestRate) {
        Reply('!');
        return;
    }
    if (FLetter == 'l') {
        static const char digits[] = "0123456789ABCDEF";
        const uint8_t ring = static_cast<uint8_t>(FIdentity.RingSize / 16);
        FHost.Send(static_cast<uint8_t>(digits[FIdentity.FastestRate >> 4]));
        FHost.Send(static_cast<uint8_t>(digits[FIdentity.FastestRate & 15]));
        FHost.Send(static_cast<uint8_t>(digits[ring >> 4]));
        FHost.Send(static_cast<uint8_t>(digits[ring & 15]));
        Reply(0);
        return;
    }
    uint8_t value = 0;
    if (!HexArgument(value) || value > FIdentity.FastestRate) {
        Reply('#');
        return;
    }
    Reply(0);
    FRateRequest = static_cast<uint8_t>(value + 1);
}

void TCommandInterpreter::Reset() {
    Abandon();
    ReleaseBus();
    FBus = TUnitBus::I2C;
    FWriteDelay = FDefaultWriteDelay;
    FPolarity = 2;
    FClockSpeed = 1;
    FOperation = false;
    FRateRequest = 0;
    FHost.BusChanged(FBus);
    FHost.ClockSpeedChanged(FClockSpeed);
    FHost.TargetResetChanged(TargetReset());
}

// ---------------------------------------------------------------- buses

uint8_t TCommandInterpreter::BusStart() {
    switch (FBus) {
    case TUnitBus::I2C:
        // START, or a repeated START inside a transfer; none when a line
        // stays low.
        FI2CFirst = true;
        FI2CWriting = false;
        FI2CWroteData = false;
        FI2CTransfer = FHost.I2CStart();
        return FI2CTransfer ? 0 : kBusHeldCode;
    case TUnitBus::SPI:
        // A fresh selection: /CS goes high first if it was low.
        if (FSpiSelected) SpiDeselect();
        FHost.SpiSelect(true);
        FSpiSelected = true;
        FSpiFirst = true;
        FSpiWriteInstr = false;
        FSpiWroteData = false;
        return 0;
    case TUnitBus::Microwire:
        if (FMwSelected) FHost.MwSelect(false);
        FHost.MwSelect(true);
        FMwSelected = true;
        // A chip still in its write cycle would ignore the instruction.
        if (!MicrowireReadyWait()) {
            FHost.MwSelect(false);
            FMwSelected = false;
            return 'T';
        }
        return 0;
    }
    return 0;
}

void TCommandInterpreter::BusStop() {
    switch (FBus) {
    case TUnitBus::I2C:
        FHost.I2CStop();
        // A STOP after written bytes starts the chip's write cycle.
        if (FI2CTransfer && FI2CWriting && FI2CWroteData) FHost.WaitMs(FWriteDelay);
        FI2CTransfer = false;
        FI2CWriting = false;
        FI2CWroteData = false;
        break;
    case TUnitBus::SPI:
        SpiDeselect();
        break;
    case TUnitBus::Microwire:
        FHost.MwSelect(false);
        FMwSelected = false;
        break;
    }
}

uint8_t TCommandInterpreter::BusRecover() {
    switch (FBus) {
    case TUnitBus::I2C: {
        // Frees a chip stuck in a transfer and abandons a page that was
        // never stopped, without writing it.
        const bool free = FHost.I2CBusClear();
        FI2CTransfer = false;
        FI2CWriting = false;
        FI2CWroteData = false;
        return free ? 0 : kBusHeldCode;
    }
    case TUnitBus::SPI:
        SpiDeselect();
        return 0;
    case TUnitBus::Microwire: {
        // Wait for the end of the write cycle the last instruction started.
        if (!FMwSelected) FHost.MwSelect(true);
        const bool ready = MicrowireReadyWait();
        FHost.MwSelect(false);
        FMwSelected = false;
        return ready ? 0 : 'T';
    }
    }
    return 0;
}

uint8_t TCommandInterpreter::BusWrite(uint8_t Byte) {
    switch (FBus) {
    case TUnitBus::I2C:
        return I2CWrite(Byte);
    case TUnitBus::SPI:
        SpiWrite(Byte);
        return 0;
    case TUnitBus::Microwire:
        if (!FMwSelected) return 'M';
        FHost.MwShift(Byte, 8);
        return 0;
    }
    return 0;
}

uint8_t TCommandInterpreter::BusRead(bool Last, uint8_t& Error) {
    switch (FBus) {
    case TUnitBus::I2C:
        return FHost.I2CRead(!Last);
    case TUnitBus::SPI:
        return FSpiSelected ? FHost.SpiTransfer(0xFF) : 0xFF;
    case TUnitBus::Microwire: {
        if (!FMwSelected) {
            Error = 'M';
            return 0xFF;
        }
        return FHost.MwShift(0, 8);
    }
    }
    return 0xFF;
}

uint8_t TCommandInterpreter::I2CWrite(uint8_t Byte) {
    const bool ack = FHost.I2CWrite(Byte);
    if (FI2CFirst) {
        FI2CFirst = false;
        FI2CWriting = (Byte & 1) == 0;
    } else if (FI2CWriting) {
        FI2CWroteData = true;
    }
    if (!ack) {
        // Not acknowledged: the chip is absent, busy or not addressed. The
        // unit frees the bus with a STOP and reports it as a busy time-out.
        FHost.I2CStop();
        FI2CTransfer = false;
        FI2CWriting = false;
        FI2CWroteData = false;
        return 'T';
    }
    return 0;
}

void TCommandInterpreter::SpiWrite(uint8_t Byte) {
    if (!FSpiSelected) return;
    FHost.SpiTransfer(Byte);
    if (FSpiFirst) {
        FSpiFirst = false;
        // WRITE (0x02, 0x0A with A8) and WRSR (0x01) start a write cycle when
        // the chip is deselected; the unit waits the write delay then.
        FSpiWriteInstr = (Byte & 0xF7) == 0x02 || Byte == 0x01;
    } else if (FSpiWriteInstr) {
        FSpiWroteData = true;
    }
}

void TCommandInterpreter::SpiDeselect() {
    FHost.SpiSelect(false);
    if (FSpiSelected && FSpiWriteInstr && FSpiWroteData) FHost.WaitMs(FWriteDelay);
    FSpiSelected = false;
    FSpiFirst = false;
    FSpiWriteInstr = false;
    FSpiWroteData = false;
}

bool TCommandInterpreter::MicrowireReadyWait() {
    return FHost.MwWaitReady();
}

void TCommandInterpreter::BeginPage(uint8_t Count) {
    if (FBus != TUnitBus::Microwire) return;
    FMwBits = 0;
    FMwBitCount = Count;
    FMwBitsLeft = Count;
    FMwLastDO = true;
    // The unit shifts at most 16 bits per command, and only inside "X".
    if (Count < 1 || Count > 16 || !FMwSelected) FPendingError = 'M';
}

void TCommandInterpreter::PageByte(uint8_t Byte) {
    switch (FBus) {
    case TUnitBus::I2C:
        if (!FPendingError) FPendingError = I2CWrite(Byte);
        break;
    case TUnitBus::SPI:
        SpiWrite(Byte);
        break;
    case TUnitBus::Microwire: {
        if (FPendingError) break;
        const uint8_t bits = FMwBitsLeft < 8 ? FMwBitsLeft : 8;
        FMwBits = static_cast<uint16_t>((FMwBits << bits) | (Byte >> (8 - bits)));
        FMwLastDO = (FHost.MwShift(Byte, bits) & 1) != 0;
        FMwBitsLeft = static_cast<uint8_t>(FMwBitsLeft - bits);
        break;
    }
    }
}

void TCommandInterpreter::StreamPage() {
    // The rest of an I2C page that is already there, in one go (a host that
    // takes it saves the work of a command byte for every data byte).
    if (FBus != TUnitBus::I2C || FPendingError || !FPageDataLeft || !FI2CTransfer) return;
    bool nacked = false;
    const uint16_t taken = FHost.I2CWritePageData(FPageDataLeft, nacked);
    FPageBytes = static_cast<uint16_t>(FPageBytes + taken);
    FPageDataLeft = static_cast<uint16_t>(FPageDataLeft - taken);
    if (taken && FI2CWriting) FI2CWroteData = true;
    if (nacked) {
        // As I2CWrite does for a byte not acknowledged.
        FHost.I2CStop();
        FI2CTransfer = FI2CWriting = FI2CWroteData = false;
        FPendingError = 'T';
    }
}

uint8_t TCommandInterpreter::PageDone() {
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

void TCommandInterpreter::ReleaseBus() {
    if (FI2CTransfer) FHost.I2CStop();
    if (FSpiSelected) FHost.SpiSelect(false);
    if (FMwSelected) FHost.MwSelect(false);
    FI2CTransfer = FI2CFirst = FI2CWriting = FI2CWroteData = false;
    FSpiSelected = FSpiFirst = FSpiWriteInstr = FSpiWroteData = false;
    FMwSelected = false;
}
