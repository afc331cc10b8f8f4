#include "unit.h"

#include <algorithm>
#include <chrono>

namespace {

// Poll interval of the unit's ready wait on the Microwire bus.
constexpr TSimDuration kReadyPoll = std::chrono::microseconds(10);

std::string HexByte(std::uint8_t b) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 15]};
}

} // namespace

TUnitText TProgrammerUnit::Text(const std::string& s) {
    return {s.data(), static_cast<std::uint8_t>(std::min<std::size_t>(s.size(), 255))};
}

TProgrammerUnit::TProgrammerUnit(TUnitConfig Config)
    : FConfig(std::move(Config)), FIdentity{Text(FConfig.Identification), Text(FConfig.HardwareVersion),
                                            Text(FConfig.FirmwareVersion), FConfig.BuffersCommands},
      FCore(*this, FIdentity, FConfig.DefaultWriteDelayMs) {}

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

// ---------------------------------------------------------------- framing

void TProgrammerUnit::Receive(std::uint8_t Byte) {
    if (FCut || FHung) return;
    const auto& hang = FConfig.Faults.HangAfterBytes;
    if (hang && FBytesReceived >= *hang) {
        FHung = true;
        if (FCore.CommandPending()) AbandonCommand("unit hung");
        FTranscript.AddEvent(FClock.Now(), "unit hung after " + std::to_string(*hang) + " bytes");
        return;
    }
    ++FBytesReceived;
    const TSimTime now = FClock.Now();
    // A command whose arguments stopped coming is dropped, so the PC can
    // start afresh (the serial probe relies on this after a broken transfer).
    if (FCore.CommandPending() && FConfig.CommandTimeout > TSimDuration::zero() &&
        now - FLastByteTime > FConfig.CommandTimeout)
        AbandonCommand("abandoned: the arguments stopped arriving");
    FLastByteTime = now;
    if (FCore.CommandPending()) {
        FTranscript.AddSent(Byte);
        // The count of an "R" that will be carried out: its data bytes come next.
        if (FLetter == 'R' && !FFailing) FReadLeft = Byte;
    }
    FCore.Receive(Byte);
}

TCommandOverride TProgrammerUnit::CommandStarted(std::uint8_t Letter) {
    ++FCommandCount;
    FLetter = Letter;
    FFailing = false;
    FTranscript.BeginCommand(FCommandCount, FClock.Now(), Letter);
    TCommandOverride answer;
    if (const auto fault = MatchFault(Letter)) {
        answer.Byte = fault->Byte;
        if (fault->Kind == TCommandFault::TKind::Stall) {
            FHoldUntil = std::max(FHoldUntil, FClock.Now()) + fault->Delay;
            FStallTime += fault->Delay;
            FTranscript.AddNote("fault: reply held up");
        } else if (fault->Kind == TCommandFault::TKind::Garble) {
            FGarble = fault->Byte;
            FTranscript.AddNote("fault: reply garbled");
        } else if (fault->Kind == TCommandFault::TKind::Error) {
            answer.Kind = TCommandOverride::TKind::Error;
            FFailing = true;
            FTranscript.AddNote("fault: error code " + HexByte(fault->Byte));
        } else {
            answer.Kind = TCommandOverride::TKind::Acknowledge;
            FTranscript.AddNote("fault: acknowledgement " + HexByte(fault->Byte));
        }
    }
    return answer;
}

bool TProgrammerUnit::PageContinues(std::uint16_t Done, std::uint16_t Left) {
    // Called first right after the count byte.
    if (Done == 0) ++FPageCommands;
    return !CheckCut(Done, Left);
}

void TProgrammerUnit::CommandEnded() {
    FTranscript.EndCommand();
}

bool TProgrammerUnit::CheckCut(std::uint16_t Done, std::uint16_t Left) {
    const auto& cut = FConfig.Faults.CutInPage;
    if (!cut || FPageCommands != cut->Page) return false;
    // After AfterBytes data bytes, or after the last one of a shorter page
    // (then before the command is carried out).
    const std::uint32_t total = std::uint32_t{Done} + Left;
    if (Done != std::min(cut->AfterBytes, total)) return false;
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
    if (FReadLeft) {
        // A data byte of an "R" reply, on a noisy line.
        --FReadLeft;
        const auto& noisy = FConfig.Faults.NoisyReadEvery;
        if (noisy && *noisy && ++FReadBytesSent % *noisy == 0) Byte ^= 1;
    }
    FTranscript.AddReceived(Byte);
    Byte ^= FGarble;
    FGarble = 0;
    const auto& noise = FConfig.Faults.ReplyNoise;
    // 53 random bits as a fraction of one.
    if (!noise || static_cast<double>(NextNoise() >> 11) * 0x1.0p-53 >= noise->Rate) {
        Queue(Byte);
        return;
    }
    // The unit's error codes, and one it never sends.
    static constexpr std::uint8_t kCodes[] = {0x21, 0x23, 0x25, 0x4D, 0x54, 0x56, 0x6D, 0x7E};
    switch (NextNoise() % 6) {
    case 0:
        FTranscript.AddNote("noise: a bit flipped");
        Queue(static_cast<std::uint8_t>(Byte ^ (1u << (NextNoise() % 8))));
        break;
    case 1:
        FTranscript.AddNote("noise: a byte dropped");
        break;
    case 2:
        FTranscript.AddNote("noise: a byte doubled");
        Queue(Byte);
        Queue(Byte);
        break;
    case 3:
        FTranscript.AddNote("noise: a byte inserted");
        Queue(static_cast<std::uint8_t>(NextNoise()));
        Queue(Byte);
        break;
    case 4: {
        const auto span = static_cast<std::uint64_t>((noise->StallMax - noise->StallMin).count());
        const TSimDuration stall =
            noise->StallMin +
            TSimDuration(static_cast<TSimDuration::rep>(span ? NextNoise() % (span + 1) : 0));
        FHoldUntil = std::max(FHoldUntil, FClock.Now()) + stall;
        FStallTime += stall;
        FTranscript.AddNote("noise: a stall");
        Queue(Byte);
        break;
    }
    default:
        FTranscript.AddNote("noise: an error code");
        Queue('?');
        Queue(kCodes[NextNoise() % std::size(kCodes)]);
        break;
    }
}

void TProgrammerUnit::Queue(std::uint8_t Byte) {
    FOutput.push_back({Byte, std::max(FClock.Now(), FHoldUntil)});
}

std::uint64_t TProgrammerUnit::NextNoise() {
    // splitmix64: the same sequence on every platform and compiler.
    if (!FNoiseSeeded) {
        FNoise = FConfig.Faults.ReplyNoise ? FConfig.Faults.ReplyNoise->Seed : 0;
        FNoiseSeeded = true;
    }
    std::uint64_t z = (FNoise += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

void TProgrammerUnit::AbandonCommand(const std::string& Why) {
    FTranscript.AddNote(Why);
    FCore.Abandon();
}

// ---------------------------------------------------------------- reset, faults

void TProgrammerUnit::Reset() {
    if (FCore.CommandPending()) AbandonCommand("abandoned by reset");
    FCore.Reset();
    FOutput.clear();
    FHoldUntil = TSimTime{0};
    FGarble = 0;
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
    if (FCore.CommandPending()) AbandonCommand("dropped: the link was cut");
    FTranscript.AddEvent(FClock.Now(), "link reconnected");
}

// ---------------------------------------------------------------- the socket's buses

bool TProgrammerUnit::I2CStart() {
    if (auto* t = I2C()) t->Start();
    return true; // the chip models have no line levels: the pull-ups are always there
}

void TProgrammerUnit::I2CStop() {
    if (auto* t = I2C()) t->Stop();
}

bool TProgrammerUnit::I2CWrite(std::uint8_t Byte) {
    auto* t = I2C();
    return t ? t->Write(Byte) : false;
}

std::uint8_t TProgrammerUnit::I2CRead(bool Ack) {
    auto* t = I2C();
    return t ? t->Read(Ack) : 0xFF;
}

void TProgrammerUnit::SpiSelect(bool Active) {
    if (auto* t = Spi()) t->Select(Active);
}

std::uint8_t TProgrammerUnit::SpiTransfer(std::uint8_t Mosi) {
    auto* t = Spi();
    return t ? t->Transfer(Mosi) : 0xFF;
}

void TProgrammerUnit::MwSelect(bool Active) {
    if (auto* t = Microwire()) t->Select(Active);
}

bool TProgrammerUnit::MwClock(bool DI) {
    auto* t = Microwire();
    return t ? t->Clock(DI) : true;
}

bool TProgrammerUnit::MwWaitReady() {
    auto* t = Microwire();
    if (!t) return true; // DO pulled up: reads as ready
    const TSimTime limit = FClock.Now() + FConfig.ReadyTimeout;
    while (!t->DataOut()) {
        if (FClock.Now() >= limit) return false;
        FClock.Advance(std::min(kReadyPoll, limit - FClock.Now()));
    }
    return true;
}

void TProgrammerUnit::WaitMs(std::uint8_t Ms) {
    FClock.Advance(std::chrono::milliseconds(Ms));
}
