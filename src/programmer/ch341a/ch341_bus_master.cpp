#include "programmer/ch341a/ch341_bus_master.h"

#include "buffer/hex_text.h"
#include "catalogue/device.h"
#include "errors/errors.h"
#include "programmer/algorithms/poll_until_ready.h"
#include "programmer/ch341a/ch341a_driver.h"
#include "programmer/ch341a/ch341a_protocol.h"

#include <algorithm>

using K = TCh341Reply::TKind;
using S = TCh341Stream;

void TCh341BusMaster::Fail(const std::string& Message) const {
    throw EISPException(Message, false, FDriver.HardwareName());
}

std::uint8_t TCh341BusMaster::Family() const {
    // SPI flash parts sit on the 25C socket's SPI pins.
    return FDriver.Device() ? FamilyBus(FDriver.Device()->ProgrammerId())
                            : static_cast<std::uint8_t>(FAMILY_24C);
}

void TCh341BusMaster::Reset() {
    FQueue.Clear();
    FAfterStart = false;
}

std::vector<std::uint8_t> TCh341BusMaster::Flush() {
    return FQueue.Flush(FDriver.Transfer(), [this](const TCh341Reply& r) { Failed(r); });
}

void TCh341BusMaster::Failed(const TCh341Reply& Reply) const {
    const std::string device = FDriver.Device() ? FDriver.Device()->DeviceName() : "chip";
    if (Reply.Kind == K::DummyZero && Reply.Bit == 1) // the probe before writing
        Fail("The " + device +
             " does not answer (DO stays high after a read command): check that it sits in its adapter the "
             "right way round and that its ORG pin matches the organisation chosen");
    if (Reply.Kind == K::DummyZero)
        Fail("Microwire exchange out of sync: the " + device +
             " sent no dummy 0 after the read command; check that it sits in its adapter and that its ORG "
             "pin matches the organisation chosen");
    if (Reply.Bit == 1) // a select byte
        Fail("The " + device + " does not answer (select byte " + IntToHex(Reply.Written, 2) +
             "h not acknowledged): check that it sits in the socket the right way round and that the device "
             "bus number matches its address pins");
    Fail("The " + device + " did not acknowledge the byte " + IntToHex(Reply.Written, 2) + "h");
}

void TCh341BusMaster::StillBusy() const {
    Fail("Program/erase BUSY timed out (still busy after " +
         std::to_string(
             std::chrono::duration_cast<std::chrono::milliseconds>(FDriver.WriteCycleLimit()).count()) +
         " ms)");
}

void TCh341BusMaster::Room() {
    if (FQueue.Full()) Flush();
}

void TCh341BusMaster::Uio(std::uint8_t Levels) {
    FQueue.Append(S::Uio, {static_cast<std::uint8_t>(Ch341::UioOut | (Levels & 0x3F))});
}

// ------------------------------------------------------------- the frame

void TCh341BusMaster::ConfigureBus() {
    Reset();
    FFamily = Family();
    const auto speed = static_cast<std::uint8_t>(Ch341::I2CSet | FDriver.SpeedCode());
    switch (FFamily) {
    case FAMILY_25C:
        FQueue.Append(S::I2C, {speed}); // also the single-width SPI setting
        FQueue.Append(S::Uio, {Ch341::UioOut | Ch341::SpiIdle, Ch341::UioDir | 0x3F});
        break;
    case FAMILY_93C:
        FQueue.Append(S::Uio, {Ch341::UioOut, Ch341::UioDir | Ch341::MicrowireOutputs});
        break;
    default:
        // The 24C socket is on SDA/SCL; the UIO pins keep off the bus.
        FQueue.Append(S::Uio, {Ch341::UioDir});
        FQueue.Append(S::I2C, {speed});
        break;
    }
    Flush();
}

std::uint8_t TCh341BusMaster::ReadPort() {
    Reset();
    FQueue.Append(S::Uio, {Ch341::UioIn}, {{K::Keep}});
    return Flush().at(0);
}

void TCh341BusMaster::ReleasePins() {
    Reset();
    FQueue.Append(S::Uio, {Ch341::UioDir});
    Flush();
}

void TCh341BusMaster::SelectBus(const TOperationParameters&, bool) {
    // The board has no reset line for the target: the polarity has nowhere to go.
    FDriver.CheckISPMode();
}

void TCh341BusMaster::BeginOperation(const TOperationParameters&, bool) {
    FMicrowireAnswered = false;
}

void TCh341BusMaster::EndOperation() {
    Sync();
}

void TCh341BusMaster::Sync() {
    if (!FQueue.Empty()) Flush();
}

void TCh341BusMaster::Pause(TLinkDuration Time) {
    using std::chrono::microseconds;
    constexpr auto kInBatch = std::chrono::milliseconds(2);
    if (Time > kInBatch) return TBusMaster::Pause(Time);
    auto left = std::chrono::duration_cast<microseconds>(Time).count();
    while (left > 0) {
        Room();
        const auto step = std::min<long long>(left, 63);
        FQueue.Append(S::Uio, {static_cast<std::uint8_t>(Ch341::UioMicroseconds | step)});
        left -= step;
    }
}

TLinkClock& TCh341BusMaster::Clock() {
    return FDriver.Transfer().Clock();
}

// ------------------------------------------------------------- the bus

void TCh341BusMaster::Start() {
    Room();
    switch (FFamily) {
    case FAMILY_25C:
        Uio(Ch341::SpiSelected);
        break;
    case FAMILY_93C:
        Uio(Ch341::PinCS); // CS high, SK and DI low
        break;
    default:
        FQueue.Append(S::I2C, {Ch341::I2CStart});
        FAfterStart = true;
        break;
    }
}

void TCh341BusMaster::Stop() {
    Room();
    switch (FFamily) {
    case FAMILY_25C:
        Uio(Ch341::SpiIdle);
        break;
    case FAMILY_93C:
        Uio(0);
        break;
    default:
        FQueue.Append(S::I2C, {Ch341::I2CStop});
        FAfterStart = false;
        break;
    }
}

void TCh341BusMaster::WriteByte(std::uint8_t Byte) {
    Room();
    switch (FFamily) {
    case FAMILY_25C:
        FQueue.Append(S::Spi, {Ch341::ReverseBits(Byte)}, {{K::Discard}});
        break;
    case FAMILY_93C:
        ShiftOut(8, static_cast<std::uint16_t>(Byte << 8));
        break;
    default: {
        // One byte with its acknowledge bit; Bit 1 marks a select byte.
        const bool select = FAfterStart;
        FAfterStart = false;
        if (select && (Byte & 1) == 0) FSelect = Byte;
        FQueue.Append(S::I2C, {Ch341::I2COut, Byte},
                      {{K::AckCheck, nullptr, static_cast<std::uint8_t>(select ? 1 : 0), Byte}});
        break;
    }
    }
}

void TCh341BusMaster::ReadByte(std::uint8_t& Into) {
    Room();
    switch (FFamily) {
    case FAMILY_25C:
        FQueue.Append(S::Spi, {0xFF}, {{K::StoreSpi, &Into}});
        break;
    case FAMILY_93C:
        for (int bit = 7; bit >= 0; --bit) {
            // DO changes after the rising edge; it is sampled there.
            FQueue.Append(
                S::Uio,
                {Ch341::UioOut | Ch341::PinCS, Ch341::UioOut | Ch341::PinCS | Ch341::PinSCK, Ch341::UioIn},
                {{K::PinBit, &Into, static_cast<std::uint8_t>(bit)}});
        }
        break;
    default:
        FQueue.Append(S::I2C, {Ch341::I2CIn}, {{K::Store, &Into}}); // not acknowledged
        break;
    }
}

void TCh341BusMaster::WritePage(std::span<const std::uint8_t> Bytes) {
    Room();
    if (FFamily != FAMILY_24C) {
        for (std::uint8_t b : Bytes)
            WriteByte(b);
        return;
    }
    // Runs of bytes without acknowledge replies, each run within a packet,
    // then the STOP that ends the page and starts its write cycle.
    std::size_t at = 0;
    while (at < Bytes.size()) {
        std::size_t room = FQueue.Room(S::I2C);
        if (room < 2) room = Ch341::PacketSize - 2; // a fresh packet
        const std::size_t n = std::min({Bytes.size() - at, Ch341::I2CMaxRun, room - 1});
        std::vector<std::uint8_t> run{static_cast<std::uint8_t>(Ch341::I2COut | n)};
        run.insert(run.end(), Bytes.begin() + static_cast<std::ptrdiff_t>(at),
                   Bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        FQueue.Append(S::I2C, run);
        at += n;
    }
    FAfterStart = false;
    FQueue.Append(S::I2C, {Ch341::I2CStop});
}

void TCh341BusMaster::ShiftOut(std::uint8_t Count, std::uint16_t Word) {
    for (int i = 0; i < Count; ++i) {
        const bool bit = ((Word >> (15 - i)) & 1) != 0;
        const auto level = static_cast<std::uint8_t>(Ch341::PinCS | (bit ? Ch341::PinMOSI : 0));
        // DI set up with SK low, sampled by the chip on the rising edge.
        FQueue.Append(S::Uio, {static_cast<std::uint8_t>(Ch341::UioOut | level),
                               static_cast<std::uint8_t>(Ch341::UioOut | level | Ch341::PinSCK)});
    }
}

void TCh341BusMaster::WriteBits(std::uint8_t Count, std::uint16_t Word) {
    Room();
    if (FFamily != FAMILY_93C) Fail("Microwire command on another bus");
    if (Count < 1 || Count > 16) Fail("Microwire command of " + std::to_string(Count) + " bits");
    const bool read = Count >= 3 && (Word >> 13) == 0b110;
    if (!read && !FMicrowireAnswered) ProbeMicrowire(Count);
    ShiftOut(Count, Word);
    // After a read instruction (start bit, opcode 10) the chip answers with
    // a dummy 0 on DO; a 1 means that the lengths disagree or no chip answers.
    if (read) {
        FQueue.Append(S::Uio, {Ch341::UioIn}, {{K::DummyZero}});
    }
}

void TCh341BusMaster::ProbeMicrowire(std::uint8_t Count) {
    // With no part in the adapter DO floats high, and every ready poll would
    // pass: before the first write of an operation, a read of address 0
    // (inside the select the caller began) must bring the dummy 0. Sent at
    // once, so an empty socket stops the operation before anything is said
    // to be written.
    ShiftOut(Count, 0xC000);
    FQueue.Append(S::Uio, {Ch341::UioIn}, {{K::DummyZero, nullptr, 1}});
    Uio(0);            // the read ends with the select,
    Uio(Ch341::PinCS); // and the caller's command begins a new one
    Flush();
    FMicrowireAnswered = true;
}

void TCh341BusMaster::ReadPage(std::span<std::uint8_t> Into) {
    Room();
    if (FFamily != FAMILY_24C) {
        for (std::uint8_t& b : Into)
            ReadByte(b);
        return;
    }
    if (Into.empty()) return;
    // All but the last byte acknowledged, in runs of at most 32, each run as
    // long as the reply budget of its packet allows (the select and address
    // acknowledgements share the first).
    std::size_t at = 0;
    std::vector<TCh341Reply> stores;
    while (at + 1 < Into.size()) {
        std::size_t budget = FQueue.ReplyRoom(S::I2C);
        if (budget == 0) budget = Ch341::MaxReply; // a fresh packet
        const std::size_t n = std::min({Into.size() - 1 - at, Ch341::I2CMaxRun, budget});
        stores.clear();
        for (std::size_t k = 0; k < n; ++k)
            stores.push_back({K::Store, &Into[at + k]});
        const std::uint8_t run[] = {static_cast<std::uint8_t>(Ch341::I2CIn | n)};
        FQueue.Append(S::I2C, run, stores);
        at += n;
    }
    FQueue.Append(S::I2C, {Ch341::I2CIn}, {{K::Store, &Into[at]}});
}

// ------------------------------------------------------------- write cycles

void TCh341BusMaster::WaitWriteCycle(TWriteCycle) {
    switch (FFamily) {
    case FAMILY_25C:
        PollSpi();
        break;
    case FAMILY_93C:
        PollMicrowire();
        break;
    default:
        PollI2C();
        break;
    }
}

void TCh341BusMaster::PollUntilReady(const std::function<bool()>& Ready) {
    if (!::PollUntilReady(FDriver.Transfer().Clock(), FDriver.WriteCycleLimit(), Ready)) StillBusy();
}

void TCh341BusMaster::PollI2C() {
    PollUntilReady([this] {
        // The chip acknowledges its select byte again once the cycle is over.
        FQueue.Append(S::I2C, {Ch341::I2CStart, Ch341::I2COut, FSelect, Ch341::I2CStop}, {{K::Keep}});
        return (Flush().at(0) & Ch341::I2CNak) == 0;
    });
}

void TCh341BusMaster::PollSpi() {
    const std::string device = FDriver.Device() ? FDriver.Device()->DeviceName() : "chip";
    PollUntilReady([&] {
        Uio(Ch341::SpiSelected);
        FQueue.Append(S::Spi, {Ch341::ReverseBits(0x05), 0xFF},
                      {{K::Discard}, {K::Keep}}); // read status register
        Uio(Ch341::SpiIdle);
        const std::uint8_t status = Ch341::ReverseBits(Flush().at(0));
        // Bits 4 to 6 read as 0 on every 25C part: all ones is SO pulled up.
        if (status == 0xFF)
            Fail("The " + device +
                 " does not answer (its status register reads FFh): check that it sits in the socket the "
                 "right way round");
        return (status & 1) == 0; // WIP clear
    });
}

void TCh341BusMaster::PollMicrowire() {
    PollUntilReady([this] {
        // With CS high, DO shows busy (0) or ready (1).
        FQueue.Append(S::Uio, {Ch341::UioOut | Ch341::PinCS, Ch341::UioIn}, {{K::Keep}});
        return (Flush().at(0) & Ch341::PinMISO) != 0;
    });
    Uio(0);
}
