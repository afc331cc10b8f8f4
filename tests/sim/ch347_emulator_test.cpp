// The CH347 emulator at its USB boundary: frames, the SPI commands on a 25C
// in the socket, the limits it holds a host to, its timing and unplugging.
#include "ch347/ch347_emulator.h"
#include "chips/chip_factory.h"

#include <gtest/gtest.h>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Frame(std::uint8_t Command, TBytes Payload) {
    TBytes f{Command, static_cast<std::uint8_t>(Payload.size() & 0xFF),
             static_cast<std::uint8_t>(Payload.size() >> 8)};
    f.insert(f.end(), Payload.begin(), Payload.end());
    return f;
}

TBytes Config(int Mode, int Prescaler, bool LsbFirst = false) {
    TBytes p(26, 0);
    p[6] = (Mode & 2) ? 2 : 0;
    p[8] = Mode & 1;
    p[12] = static_cast<std::uint8_t>(Prescaler << 3);
    p[14] = LsbFirst ? 1 : 0;
    return Frame(0xC0, p);
}

TBytes Cs(bool Select) {
    TBytes p(10, 0);
    p[0] = Select ? 0x80 : 0xC0;
    return Frame(0xC1, p);
}

struct TBoard {
    TCh347Emulator board;
    explicit TBoard(const char* Chip) { board.InsertChip(MakeChip(Chip)); }
    void Out(const TBytes& Data) { ASSERT_EQ(board.BulkOut(Data), TUsbResult::Ok); }
    TBytes In() {
        TBytes reply;
        EXPECT_EQ(board.BulkIn(510, reply), TUsbResult::Ok);
        return reply;
    }
    // One SPI exchange inside a select, its answer's data.
    TBytes Spi(const TBytes& Bytes) {
        Out(Cs(true));
        Out(Frame(0xC2, Bytes));
        Out(Cs(false));
        TBytes r = In();
        EXPECT_EQ(r.size(), Bytes.size() + 3);
        return {r.begin() + 3, r.end()};
    }
};

TEST(Ch347Emulator, WritesAndReadsA25C256PageWithEitherReadCommand) {
    TBoard b("25C256");
    b.Out(Config(0, 2));
    EXPECT_EQ(b.In(), (TBytes{0xC0, 1, 0, 0}));
    EXPECT_EQ(b.board.SpiClockHz(), 15'000'000u);
    b.Spi({0x06}); // write enable
    b.Out(Cs(true));
    b.Out(Frame(0xC4, {0x02, 0x00, 0x40, 1, 2, 3, 4}));
    b.Out(Cs(false));
    EXPECT_EQ(b.In(), (TBytes{0xC4, 1, 0, 0}));
    EXPECT_EQ(b.Spi({0x05, 0xFF})[1] & 1, 1) << "WIP during the write cycle";
    b.board.Clock().Advance(std::chrono::milliseconds(10));
    EXPECT_EQ(b.Spi({0x05, 0xFF})[1] & 1, 0);
    EXPECT_EQ(b.Spi({0x03, 0x00, 0x40, 0, 0, 0, 0}), (TBytes{0xFF, 0xFF, 0xFF, 1, 2, 3, 4}));

    // A long read: C3 answers in frames of at most 507 bytes.
    b.board.Chip()->Memory()[0x40 + 600] = 0x5A;
    b.Out(Cs(true));
    b.Out(Frame(0xC4, {0x03, 0x00, 0x40}));
    b.Out(Frame(0xC3, {0x00, 0x04, 0, 0})); // 1024 bytes
    b.Out(Cs(false));
    EXPECT_EQ(b.In(), (TBytes{0xC4, 1, 0, 0}));
    TBytes data;
    for (std::size_t expect : {507u, 507u, 10u}) {
        TBytes r = b.In();
        ASSERT_EQ(r.size(), expect + 3);
        EXPECT_EQ(r[0], 0xC3);
        EXPECT_EQ(r[1] | r[2] << 8, static_cast<int>(expect));
        data.insert(data.end(), r.begin() + 3, r.end());
    }
    EXPECT_EQ(data.at(600), 0x5A);
    EXPECT_EQ(data.at(0), 1);
    EXPECT_EQ(b.board.Stats().Malformed, 0u);
}

TEST(Ch347Emulator, ModesAndBitOrder) {
    // Modes 0 and 3 reach the chip; in 1 and 2 it samples on the wrong edge.
    for (int mode : {0, 1, 2, 3}) {
        TBoard b("25C040");
        b.board.Chip()->Memory()[5] = 0xA5;
        b.Out(Config(mode, 7));
        b.In();
        EXPECT_EQ(b.board.SpiMode(), mode);
        const std::uint8_t expect = (mode == 0 || mode == 3) ? 0xA5 : 0xFF;
        EXPECT_EQ(b.Spi({0x03, 0x05, 0xFF})[2], expect) << "mode " << mode;
    }
    // LSB first: a host that forgets to reverse its bytes sends the chip
    // another command.
    TBoard b("25C040");
    b.board.Chip()->Memory()[5] = 0xA5;
    b.Out(Config(0, 7, true));
    b.In();
    EXPECT_EQ(b.Spi({0xC0, 0xA0, 0xFF})[2], 0xA5); // 03 05 reversed; A5 reversed is A5
    EXPECT_EQ(b.board.SpiClockHz(), 468'750u);
}

TEST(Ch347Emulator, FramesOutsideTheLimitsAreRejectedWithoutEffect) {
    struct TCase {
        const char* What;
        TBytes Packet;
    };
    // 511 bytes: the frame says 508 and the rest spills into a second packet.
    const TBytes tooLong = Frame(0xC4, TBytes(508, 0x06));
    const TCase cases[] = {
        {"short of a header", {0xC2, 0x01}},
        {"length beyond the packet", {0xC2, 0x05, 0x00, 0x06}},
        {"length short of the packet", {0xC2, 0x01, 0x00, 0x06, 0x06}},
        {"unknown command", Frame(0xC7, {0x06})},
        {"configuration of the wrong size", Frame(0xC0, TBytes(25, 0))},
        {"prescaler beyond 7",
         [] {
             TBytes c = Config(0, 0);
             c[3 + 13] = 1;
             return c;
         }()},
        {"chip select of the wrong size", Frame(0xC1, {0x80})},
        {"read of nothing", Frame(0xC3, {0, 0, 0, 0})},
        {"read beyond 4096", Frame(0xC3, {0x01, 0x10, 0, 0})},
        {"data-less write", Frame(0xC4, {})},
        {"a frame across two packets", tooLong},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TBoard b("25C040");
        if (c.Packet[0] != 0xC0) {
            b.Out(Config(0, 2));
            b.In();
        }
        b.Out(Cs(true));
        b.Out(c.Packet);
        EXPECT_GE(b.board.Stats().Malformed, 1u);
        EXPECT_EQ(b.board.PendingPackets(), 0u);
        b.Out(Cs(false));
        // A write enable inside a rejected frame never reached the chip.
        b.board.Chip()->Memory()[0] = 0x11;
        if (b.board.Configured()) {
            b.Spi({0x02, 0x00, 0x42});
            b.board.Clock().Advance(std::chrono::milliseconds(20));
            EXPECT_EQ(b.board.Chip()->Memory()[0], 0x11);
        }
    }
    // Before the first configuration nothing but a configuration is taken.
    TBoard b("25C040");
    b.Out(Frame(0xC2, {0x05, 0xFF}));
    EXPECT_EQ(b.board.Stats().Malformed, 1u);
    TBytes reply;
    EXPECT_EQ(b.board.BulkIn(510, reply), TUsbResult::Timeout);
}

TEST(Ch347Emulator, TimingIsAMicroframeARoundTripAndTheBitsAtTheClock) {
    TBoard b("25C256");
    b.Out(Config(0, 0)); // 60 MHz
    const auto t0 = b.board.Clock().Now();
    b.In();
    EXPECT_EQ(b.board.Clock().Now() - t0, std::chrono::microseconds(125));
    const auto t1 = b.board.Clock().Now();
    b.Out(Cs(true));
    b.Out(Frame(0xC4, {0x03, 0, 0}));
    b.Out(Frame(0xC3, {0x00, 0x10, 0, 0})); // 4096 bytes
    b.Out(Cs(false));
    for (int k = 0; k < 10; ++k)
        b.In();
    // 4099 bytes at 60 MHz, one round trip, nine more packets.
    const auto bits = std::chrono::nanoseconds(4099LL * 8 * 1000 / 60);
    const auto expect = bits + TCh347Emulator::RoundTrip + 9 * TCh347Emulator::InPacketTime;
    EXPECT_LE(std::chrono::abs(b.board.Clock().Now() - t1 - expect), std::chrono::microseconds(1));
}

TEST(Ch347Emulator, UnplugLosesTheCutPacketAndReplugPowersUpAfresh) {
    TBoard b("25C040");
    b.Out(Config(0, 2));
    b.In();
    b.Spi({0x06});
    b.board.Faults().UnplugAfterOutBytes = b.board.Stats().OutBytes + 13 + 5;
    b.Out(Cs(true));
    EXPECT_EQ(b.board.BulkOut(Frame(0xC4, {0x02, 0x00, 0x42})), TUsbResult::NoDevice);
    TBytes reply;
    EXPECT_EQ(b.board.BulkIn(510, reply), TUsbResult::NoDevice);
    EXPECT_EQ(b.board.BulkOut(Cs(false)), TUsbResult::NoDevice);
    b.board.Clock().Advance(std::chrono::milliseconds(20));
    EXPECT_EQ(b.board.Chip()->Memory()[0], 0xFF);
    b.board.Replug();
    EXPECT_FALSE(b.board.Configured());
    EXPECT_FALSE(b.board.Selected());
}

} // namespace
