// The byte layer of the printer-port link: each byte crosses six connector
// pins bit by bit with a handshake. The PC is the clock master (SCK, MOSI);
// the unit paces every bit with SYNC and answers on MISO. Between bytes, with
// SYNC high, MISO tells the direction of the next byte: high, the unit waits
// to receive; low, it has a byte to send.
//
// No sleeps and no timers inside a byte: every wait polls a pin and is
// bounded, by a poll count (65 535 polls for SYNC to fall while writing a
// bit, MaxReadTimeOut for SYNC to rise while reading one) or by 10 seconds on
// the driver's clock. Every pin access is one port access, so the poll
// budgets count port accesses.
//
// TSmartSerial replaces all three operations with its serial port.
#include "programmer/unit/parallel_port.h"
#include "programmer/unit/smart_parallel.h"

using SmartDongle::Port;

namespace {

using namespace std::chrono_literals;

const char kTimedOut[] = "ISP timed out during operation";
const char kCommsFailed[] = "Communications with ISP failed during this operation";
const char kNoPort[] = "LPT port not found or in use by another program";

constexpr TLinkDuration kLinkLimit = 10s;
// Polls of SYNC still high after SCK rose, while writing a bit.
constexpr std::uint16_t kWritePolls = 0xFFFF;

// The open port; nullptr when there is none (a closed port never answers,
// so there is nothing to wait for).
TParallelPort* OpenPort() {
    return Port && Port->Active() != 0 ? Port.get() : nullptr;
}

} // namespace

bool TSmartParallel::WaitReady() {
    TParallelPort* port = OpenPort();
    if (!port) Fail(kNoPort);
    TLinkClock& clock = Clock();
    const TLinkTime limit = clock.Now() + kLinkLimit;
    for (;;) {
        if (clock.Now() > limit) Fail(kTimedOut);
        if (port->Pin(FSYNC)) break;
    }
    return !port->Pin(FMISO);
}

void TSmartParallel::Writedata(std::uint8_t Adata) {
    if (WaitReady()) Fail(kTimedOut); // the unit wants to send, not to receive
    TParallelPort& port = *Port;
    TLinkClock& clock = Clock();
    std::uint8_t echo = 0;
    for (int bit = 7; bit >= 0; --bit) {
        echo = static_cast<std::uint8_t>(echo << 1);
        port.SetPin(FPARR, false);
        port.SetPin(FSCK, false);
        port.SetPin(FMOSI, ((Adata >> bit) & 1) != 0);
        port.SetPin(FSCK, true);
        std::uint16_t polls = 0;
        while (port.Pin(FSYNC))
            if (++polls == kWritePolls) Fail(kTimedOut);
        if (port.Pin(FMISO)) echo = static_cast<std::uint8_t>(echo | 1);
        port.SetPin(FSCK, false);
        const TLinkTime limit = clock.Now() + kLinkLimit;
        for (;;) {
            if (clock.Now() > limit) Fail(kTimedOut);
            if (port.Pin(FSYNC)) break;
        }
    }
    // The unit shifts out "*" while it receives.
    if (echo != 0x2A) Fail(kCommsFailed);
}

void TSmartParallel::Writedata(char Adata) {
    Writedata(static_cast<std::uint8_t>(Adata));
}

std::uint8_t TSmartParallel::ReadData(bool) {
    if (!WaitReady()) Fail(kCommsFailed); // the unit has nothing to send
    TParallelPort& port = *Port;
    TLinkClock& clock = Clock();
    std::uint8_t result = 0;
    for (int i = 0; i < 8; ++i) {
        result = static_cast<std::uint8_t>(result << 1);
        int polls = 1;
        while (!port.Pin(FSYNC))
            if (++polls >= FMaxReadTimeOut) Fail(kCommsFailed);
        port.SetPin(FSCK, true);
        // The unit presents the bit and lowers SYNC; a dead unit never does.
        const TLinkTime limit = clock.Now() + kLinkLimit;
        for (;;) {
            if (clock.Now() > limit) Fail(kTimedOut);
            if (!port.Pin(FSYNC)) break;
        }
        if (port.Pin(FMISO)) result = static_cast<std::uint8_t>(result | 1);
        port.SetPin(FSCK, false);
    }
    return result;
}
