// The fast link of a unit that answers the probe with "?F": at open the
// driver asks its fastest rate and its ring ("l"), then for each rate from
// the fastest down (within the operator's cap) sends "L" with the rate's
// code, switches the port once the acknowledgement is in, and probes at the
// new rate. An answer within kRateConfirm keeps the rate; otherwise the port
// goes back to 115 200 baud and, once the unit has gone back too (it does
// so by itself when no probe confirms the rate), the next rate is tried. A
// USB-serial chip that cannot make a rate fails this way and costs about
// 0.2 s. A unit without the fast link never sees "l" or "L".
#include "errors/errors.h"
#include "programmer/unit/smart_serial.h"
#include "settings/settings_store.h"

#include <algorithm>

namespace {

// The rates of "L" (index = code), as the unit numbers them.
constexpr std::uint32_t kRates[] = {115200, 1000000, 2000000};
constexpr std::uint8_t kRateCount = 3;
// Bytes of the reply to "l": the fastest rate code and the ring in 16-byte
// units, two hex digits each.
constexpr int kLinkReply = 4;
// Time for the unit to let its acknowledgement out and switch.
constexpr auto kRateSettle = std::chrono::milliseconds(2);

int HexPair(const std::string& Text, std::size_t At) {
    int value = 0;
    for (std::size_t i = At; i < At + 2; ++i) {
        const char c = Text.at(i);
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

} // namespace

std::uint32_t TSmartSerial::LineBaud() const {
    return FCommDriver && FCommDriver->Active() ? static_cast<std::uint32_t>(FCommDriver->BaudRate()) : 0;
}

void TSmartSerial::DropInput() {
    TComPort& port = *FCommDriver;
    for (std::size_t stale = port.InputCount(); stale > 0; stale = port.InputCount())
        while (stale-- > 0)
            port.ReadByte();
}

void TSmartSerial::Quiet(TLinkDuration Time) {
    // On the line's own clock, even where the driver's skips its pauses:
    // the unit's end of the exchange runs in the line's time.
    TComPort& port = *FCommDriver;
    TLinkClock& clock = port.Clock();
    const TLinkTime until = clock.Now() + Time;
    for (TLinkTime now = clock.Now(); now < until; now = clock.Now())
        if (port.WaitForInput(until - now)) DropInput();
}

bool TSmartSerial::ProbeAnswers(std::uint8_t Code, TLinkDuration Timeout) {
    // "?" and Code; a carriage return from a unit whose probe answers so
    // (Code 0).
    TComPort& port = *FCommDriver;
    TLinkClock& clock = port.Clock();
    Writedata('*');
    const TLinkTime limit = clock.Now() + Timeout;
    const std::uint8_t expected[2] = {Code ? std::uint8_t{'?'} : std::uint8_t{'\r'}, Code};
    for (std::size_t i = 0; i < (Code ? 2u : 1u); ++i) {
        const TLinkDuration left = std::max(limit - clock.Now(), TLinkDuration::zero());
        if (!port.WaitForInput(left) || port.ReadByte() != expected[i]) return false;
    }
    return true;
}

void TSmartSerial::NegotiateLink() {
    if (FProbeCode != kFastLinkCode) return;
    std::uint32_t cap = 0;
    if (TISPSettings* s = SaveLocation())
        cap = static_cast<std::uint32_t>(std::max(0, s->GetInteger(HardwareName(), kMaxBaudKey, 0)));
    // At 115 200 baud, or a cap below every fast rate, the unit is driven as
    // one without the fast link (its probe answer aside).
    if (cap != 0 && cap < kRates[1]) return;
    const std::string link = readstring('l', kLinkReply);
    const int fastest = HexPair(link, 0);
    const int ring = HexPair(link, 2);
    if (fastest < 1 || ring < 1) return; // not what a fast-link unit says
    FUnitFastLink = true;
    FUnitFastestRate = static_cast<std::uint8_t>(std::min<int>(fastest, kRateCount - 1));
    FUnitRing = static_cast<std::size_t>(ring) * 16;
    for (int code = FUnitFastestRate; code >= 1; --code) {
        if (cap != 0 && kRates[code] > cap) continue;
        if (TryRate(static_cast<std::uint8_t>(code))) return;
    }
}

bool TSmartSerial::TryRate(std::uint8_t Code) {
    TComPort& port = *FCommDriver;
    TLinkClock& clock = port.Clock();
    WriteString('L', Hex2(Code)); // acknowledged at the old rate
    const TLinkTime switched = clock.Now();
    port.SetBaudRate(static_cast<TBaudRate>(kRates[Code]));
    Quiet(kRateSettle);
    if (ProbeAnswers(kFastLinkCode, kRateConfirm)) return true;

    // Back to 115 200: the unit has gone back too by the time its wait for
    // the probe is over (or at once, when what it heard was garbage). If it
    // heard the probe and only its answer was lost, the next byte at 115 200
    // is a framing error to it, which sends it back; that probe goes
    // unanswered and the second one is heard.
    port.SetBaudRate(br115200);
    const TLinkTime back = switched + kUnitRateFallback;
    if (clock.Now() < back) Quiet(back - clock.Now());
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (ProbeAnswers(kFastLinkCode, AckTimeout)) return false;
        Quiet(kResyncQuiet);
    }
    throw EISPException("Programmer was not detected", false, "");
}

void TSmartSerial::ReturnToBaseRate() {
    // A unit at a fast rate is left at 115 200, so that the next program
    // to open the port finds it there. A unit that no longer answers goes
    // back by itself at the first byte it cannot read.
    if (!FCommDriver || !FCommDriver->Active() || !FUnitFastLink || LineBaud() == kRates[0]) return;
    const TLinkDuration ack = AckTimeout;
    AckTimeout = kRateConfirm;
    try {
        WriteString('L', Hex2(0));
        FCommDriver->SetBaudRate(br115200);
    } catch (const EISPException&) {
    } catch (const EComError&) {
    }
    AckTimeout = ack;
}

void TSmartSerial::ResyncLink() {
    // The unit dropped received bytes and ignores everything until a probe
    // after a quiet line: wait, drop what came, probe.
    FResynced = true;
    if (!FCommDriver || !FCommDriver->Active()) return;
    Quiet(kResyncQuiet);
    if (!ProbeAnswers(FProbeCode, AckTimeout)) {
        Quiet(kResyncQuiet);
        ProbeAnswers(FProbeCode, AckTimeout);
    }
    DropInput();
}

int TSmartSerial::ReadBlockSize(int PageSize, int DeviceSize) const {
    // A whole "R" of 256 bytes (count 0), never past the device.
    if (!FUnitFastLink) return PageSize;
    return std::max(PageSize, std::min(256, DeviceSize));
}

void TSmartSerial::ReadBlock(std::span<std::uint8_t> Into) {
    if (Into.size() != 256 || !FUnitFastLink || !FCommDriver) {
        TSmartParallel::ReadBlock(Into);
        return;
    }
    TComPort& port = *FCommDriver;
    if (Pipelining()) MakeRoom(2);
    WriteStringNOACK('R', std::string(1, '\0'));
    if (FPendingAcks) CollectAcknowledgements();
    port.SetReadTimeout(PageReadTimeout);
    port.Read(Into.data(), 256, true);
    GetAcknowledge();
}

void TSmartSerial::ReadSequential(std::span<std::uint8_t> Into) {
    constexpr std::size_t kBlock = 256;
    if (!FUnitFastLink || !FCommDriver || Into.size() % kBlock != 0) {
        for (std::size_t at = 0; at < Into.size(); at += kBlock)
            ReadBlock(Into.subspan(at, std::min(kBlock, Into.size() - at)));
        return;
    }
    TComPort& port = *FCommDriver;
    if (FPendingAcks) CollectAcknowledgements();
    port.SetReadTimeout(PageReadTimeout);
    const std::size_t blocks = Into.size() / kBlock;
    std::size_t sent = 0;
    try {
        for (std::size_t done = 0; done < blocks; ++done) {
            // Each "R" is two bytes in the unit's ring; its reply waits in
            // the port until it is read.
            for (; sent < blocks && sent - done < kReadAhead; ++sent)
                WriteStringNOACK('R', std::string(1, '\0'));
            port.Read(Into.data() + done * kBlock, kBlock, true);
            GetAcknowledge();
        }
    } catch (...) {
        // The replies to the reads still under way are let go by.
        Quiet(kResyncQuiet);
        throw;
    }
}
