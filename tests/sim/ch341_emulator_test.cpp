// The CH341A board emulator at its USB boundary: packets, the three stream
// commands on the chips in the socket, the timing model and the unplug fault.
#include "ch341a/ch341_emulator.h"
#include "chips/chip_factory.h"

#include <gtest/gtest.h>

namespace {

using TBytes = std::vector<std::uint8_t>;

struct TBoard {
    TCh341Emulator board;
    explicit TBoard(const char* Chip) { board.InsertChip(MakeChip(Chip)); }
    TBytes Exchange(const TBytes& Out, std::size_t In) {
        EXPECT_EQ(board.BulkOut(Out), TUsbResult::Ok);
        TBytes reply;
        if (In) {
            EXPECT_EQ(board.BulkIn(In, reply), TUsbResult::Ok);
        }
        return reply;
    }
};

// Packet with padding to 32 bytes.
TBytes Padded(TBytes P) {
    P.resize(32, 0);
    return P;
}

TEST(Ch341Emulator, I2CStreamWithAcknowledgeBitsOnA24C02) {
    TBoard b("24C02");
    b.board.Chip()->Memory()[0x10] = 0x5A;
    // Select acknowledged, address acknowledged; a select for another chip not.
    EXPECT_EQ(b.Exchange({0xAA, 0x74, 0x80, 0xA0, 0x80, 0x10, 0x74, 0x80, 0xA1, 0xC0, 0x75, 0x00}, 4),
              (TBytes{0x00, 0x00, 0x00, 0x5A}));
    EXPECT_EQ(b.Exchange({0xAA, 0x74, 0x80, 0xA8, 0x75, 0x00}, 1), (TBytes{0x80}));
    // A run of bytes without replies writes a page; two acknowledged reads follow.
    b.Exchange({0xAA, 0x74, 0x83, 0xA0, 0x20, 0x11, 0x75, 0x00}, 0);
    b.board.Clock().Advance(std::chrono::milliseconds(10)); // the write cycle
    EXPECT_EQ(b.Exchange({0xAA, 0x74, 0x82, 0xA0, 0x20, 0x74, 0x80, 0xA1, 0xC1, 0xC0, 0x75, 0x00}, 3),
              (TBytes{0x00, 0x11, 0xFF}));
    EXPECT_EQ(b.board.Stats().Malformed, 0u);
}

TEST(Ch341Emulator, SpiStreamIsLeastSignificantBitFirst) {
    TBoard b("25C040");
    // /CS low on D0 (outputs D0-D5), read status, /CS high.
    b.Exchange(Padded({0xAB, 0xB7, 0x7F, 0x20}), 0);
    b.Exchange(Padded({0xAB, 0xB6, 0x20}), 0);
    EXPECT_EQ(b.Exchange({0xA8, 0x60 /* 0x06 reversed */}, 1), (TBytes{0xFF}));
    b.Exchange(Padded({0xAB, 0xB7, 0x20}), 0);
    b.Exchange(Padded({0xAB, 0xB6, 0x20}), 0);
    // RDSR (0x05 reversed is 0xA0): WEL set, reversed 0x02 is 0x40.
    EXPECT_EQ(b.Exchange({0xA8, 0xA0, 0xFF}, 2), (TBytes{0xFF, 0x40}));
    // Without /CS the chip does not listen: SO stays high.
    b.Exchange(Padded({0xAB, 0xB7, 0x20}), 0);
    EXPECT_EQ(b.Exchange({0xA8, 0xA0, 0xFF}, 2), (TBytes{0xFF, 0xFF}));
}

TEST(Ch341Emulator, UioStreamBitBangsA93C46OnItsAdapter) {
    TBoard b("93C46"); // x16: read 110 + six address bits, then 16 data bits
    b.board.Chip()->Memory()[0] = 0x34;
    b.board.Chip()->Memory()[1] = 0x12;
    const std::uint8_t cs = 0x01, sk = 0x08, di = 0x20;
    TBytes out{0xAB, 0x80, 0x40 | cs | sk | di, 0x80 | cs};
    const int command[] = {1, 1, 0, 0, 0, 0, 0, 0, 0};
    for (int bit : command) {
        out.push_back(static_cast<std::uint8_t>(0x80 | cs | (bit ? di : 0)));
        out.push_back(static_cast<std::uint8_t>(0x80 | cs | sk | (bit ? di : 0)));
    }
    out.push_back(0x00); // the dummy 0
    out.push_back(0x20);
    EXPECT_EQ(b.Exchange(Padded(out), 1).at(0) & 0x80, 0);
    std::uint16_t word = 0;
    for (int i = 0; i < 16; ++i) {
        const TBytes reply = b.Exchange({0xAB, 0x80 | cs, 0x80 | cs | sk, 0x00, 0x20}, 1);
        word = static_cast<std::uint16_t>(word << 1 | ((reply.at(0) >> 7) & 1));
    }
    EXPECT_EQ(word, 0x1234);
}

TEST(Ch341Emulator, ATransferIsCutIntoPacketsAndBrokenPacketsAreCounted) {
    TBoard b("24C02");
    // Two packets in one transfer: the second begins at byte 32, and each
    // answers with its own bulk IN packet.
    TBytes two = Padded({0xAA, 0x74, 0x80, 0xA0, 0x00});
    two.insert(two.end(), {0xAB, 0x00, 0x20});
    EXPECT_EQ(b.Exchange(two, 32), (TBytes{0x00}));
    EXPECT_EQ(b.board.PendingPackets(), 1u);
    TBytes pins;
    EXPECT_EQ(b.board.BulkIn(32, pins), TUsbResult::Ok);
    EXPECT_EQ(pins.size(), 1u);
    EXPECT_EQ(b.board.Stats().OutPackets, 2u);
    EXPECT_EQ(b.board.Stats().Malformed, 0u);
    // An I2C run that would continue in the next packet, an unknown stream.
    TBytes broken{0xAA, 0x74, 0x9F};
    broken.resize(32, 0x11);
    broken.push_back(0x55);
    b.board.BulkOut(broken);
    EXPECT_EQ(b.board.Stats().Malformed, 2u);
    ASSERT_EQ(b.board.MalformedReasons().size(), 2u);
    EXPECT_NE(b.board.MalformedReasons()[0].find("runs past the packet"), std::string::npos);
    EXPECT_NE(b.board.MalformedReasons()[1].find("unknown command 55"), std::string::npos);
}

TEST(Ch341Emulator, APacketsReplyIsOneBulkInPacketOfAtMost32Bytes) {
    TBoard b("24C256");
    for (std::size_t i = 0; i < 64; ++i)
        b.board.Chip()->Memory()[i] = static_cast<std::uint8_t>(i + 1);
    // A random read of 28 bytes: four acknowledge bits and 27 + 1 data bytes
    // fill the reply to its 32 bytes.
    const TBytes read28{0xAA, 0x74, 0x80, 0xA0, 0x80, 0x00, 0x80, 0x00,
                        0x74, 0x80, 0xA1, 0xDB, 0xC0, 0x75, 0x00};
    const TBytes full = b.Exchange(read28, 32);
    ASSERT_EQ(full.size(), 32u);
    EXPECT_EQ(full[4], 1);
    EXPECT_EQ(full[31], 28);
    // One byte more is a reply the packet cannot carry: an error of the
    // sender; only the first 32 bytes leave.
    TBytes read29 = read28;
    read29[11] = 0xDC;
    EXPECT_EQ(b.Exchange(read29, 32).size(), 32u);
    EXPECT_EQ(b.board.PendingPackets(), 0u);
    EXPECT_EQ(b.board.Stats().Malformed, 1u);
    EXPECT_NE(b.board.MalformedReasons().at(0).find("produce 33 reply bytes, more than the 32 of a packet"),
              std::string::npos)
        << b.board.MalformedReasons().at(0);
    // A bulk IN shorter than the packet overflows and loses it; a run of
    // more than 32 bytes is refused.
    b.board.BulkOut(read28);
    TBytes reply;
    EXPECT_EQ(b.board.BulkIn(16, reply), TUsbResult::Overflow);
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(b.board.PendingPackets(), 0u);
    b.board.BulkOut(TBytes{0xAA, 0xE1, 0x00});
    EXPECT_EQ(b.board.Stats().Malformed, 2u);
    EXPECT_EQ(b.board.PendingPackets(), 0u);
}

TEST(Ch341Emulator, TimeIsBusBitsAndOneRoundTripPerBulkIn) {
    TBoard b("24C02");
    const auto t0 = b.board.Clock().Now();
    b.board.BulkOut(TBytes{0xAA, 0x61, 0x74, 0x80, 0xA0, 0x75, 0x00}); // 100 kHz: 1 + 9 + 1 bits
    EXPECT_EQ(b.board.Clock().Now() - t0, std::chrono::microseconds(110));
    TBytes reply;
    b.board.BulkIn(8, reply);
    EXPECT_EQ(b.board.Clock().Now() - t0, std::chrono::microseconds(1110));
    // Delay commands take their time; a bulk IN with nothing to read times out.
    b.board.BulkOut(TBytes{0xAA, 0x53, 0x45, 0x00});
    EXPECT_EQ(b.board.Clock().Now() - t0, std::chrono::microseconds(1110 + 3000 + 5));
    EXPECT_EQ(b.board.BulkIn(8, reply), TUsbResult::Timeout);
    EXPECT_EQ(b.board.Clock().Now() - t0, std::chrono::microseconds(1'004'115));
    // The second reply packet of a transfer comes in the packet slot after
    // the first, not after another round trip.
    TBytes two = Padded({0xAA, 0x74, 0x80, 0xA0, 0x75, 0x00});
    two.insert(two.end(), {0xAB, 0x00, 0x20});
    b.board.BulkOut(two);
    const auto t1 = b.board.Clock().Now();
    b.board.BulkIn(32, reply);
    b.board.BulkIn(32, reply);
    EXPECT_EQ(b.board.Clock().Now() - t1, TCh341Emulator::RoundTrip + TCh341Emulator::InPacketTime);
}

TEST(Ch341Emulator, PulledOutAfterSomeBytes) {
    TBoard b("24C02");
    b.board.Faults().UnplugAfterOutBytes = 4;
    // START and the select byte reach the chip, the rest is lost.
    EXPECT_EQ(b.board.BulkOut(TBytes{0xAA, 0x74, 0x80, 0xA0, 0x80, 0x10, 0x75, 0x00}), TUsbResult::NoDevice);
    EXPECT_FALSE(b.board.Plugged());
    TBytes reply;
    EXPECT_EQ(b.board.BulkIn(1, reply), TUsbResult::NoDevice);
    EXPECT_TRUE(reply.empty());
    b.board.Replug();
    EXPECT_EQ(b.board.PendingReply(), 0u);
    EXPECT_EQ(b.board.I2CSpeedHz(), 100'000u);
    EXPECT_EQ(b.Exchange({0xAA, 0x74, 0x80, 0xA0, 0x75, 0x00}, 1), (TBytes{0x00}));
}

} // namespace
