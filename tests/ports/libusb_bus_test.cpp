// The libusb bus (libusb_bus.cpp) on the stand-in libusb with the CH341A
// board behind it: finding and opening the board, exchanges of packets and
// their replies, and what goes wrong: no permission, a board in use,
// unplugged, pulled out with transfers in flight, hung, and a host stalled
// while transfers are in flight.
#include "common/temp_dir.h"
#include "ports/usb_bulk_device.h"
#include "standin_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using TBytes = std::vector<std::uint8_t>;
using TClock = std::chrono::steady_clock;

// A UIO packet that reads the board's port: one reply byte. After power-up
// every pin is an input, pulled up.
const TBytes kReadPort{0xAB, 0x00, 0x20};

// Count packets that each read the port, in one transfer.
TBytes PortReads(std::size_t Count) {
    TBytes out;
    for (std::size_t i = 0; i < Count; ++i) {
        out.resize(i * 32, 0);
        out.insert(out.end(), kReadPort.begin(), kReadPort.end());
    }
    return out;
}

// Count packets that each read 31 bytes of the 24C02 after its select
// byte: a whole reply packet of 32 bytes each.
TBytes PageReads(std::size_t Count) {
    TBytes out;
    for (std::size_t i = 0; i < Count; ++i) {
        out.resize(i * 32, 0);
        out.insert(out.end(), {0xAA, 0x74, 0x80, 0xA1, 0xDF, 0x75, 0x00});
    }
    return out;
}

TUsbOpenRequest Board(std::chrono::milliseconds Timeout = std::chrono::milliseconds(1000)) {
    TUsbOpenRequest r;
    r.VendorId = 0x1A86;
    r.ProductId = 0x5512;
    r.OutEndpoint = 0x02;
    r.InEndpoint = 0x82;
    r.PacketSize = 32;
    r.Timeout = Timeout;
    return r;
}

TUsbErrorKind KindOf(const std::function<void()>& Work, std::string* Message = nullptr) {
    try {
        Work();
    } catch (const EUsbError& e) {
        if (Message) *Message = e.Message();
        return e.Kind();
    }
    ADD_FAILURE() << "no EUsbError";
    return TUsbErrorKind::Io;
}

class LibUsbBus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!OnLibUsbStandIn()) GTEST_SKIP() << "runs on the stand-in libusb only";
    }
    TScopedEnv FChip{"NORVOISP_LIBUSB_CHIP", "24C02"};
    std::unique_ptr<TUsbBulkBus> FBus = NewLibUsbBus();
};

TEST_F(LibUsbBus, FindsTheBoardAmongTheDevicesAndExchangesPackets) {
    const auto boards = FBus->Find(0x1A86, 0x5512);
    ASSERT_EQ(boards.size(), 1u);
    EXPECT_EQ(boards[0].Path, "1-1");
    EXPECT_EQ(boards[0].Bus, 1);
    // The root hub has no port numbers.
    const auto hubs = FBus->Find(0x1D6B, 0x0002);
    ASSERT_EQ(hubs.size(), 1u);
    EXPECT_EQ(hubs[0].Path, "1-0");
    EXPECT_EQ(UsbPlaceName(hubs[0].Path), "USB bus 1, port 0");

    auto board = FBus->Open(Board());
    EXPECT_EQ(board->Description(), "USB bus 1, port 1");
    const standin_stats s0 = LibUsbStandInStats();
    // A command without replies, then an I2C probe and a port read in two
    // packets of one transfer: two reply packets.
    EXPECT_TRUE(board->Exchange({{0xAA, 0x62, 0x00}}, {}).empty());
    TBytes two{0xAA, 0x74, 0x80, 0xA0, 0x75, 0x00};
    two.resize(32, 0);
    two.insert(two.end(), kReadPort.begin(), kReadPort.end());
    const std::size_t replies[] = {1, 1};
    EXPECT_EQ(board->Exchange({two}, replies), (TBytes{0x00, 0xFF}));
    const standin_stats s1 = LibUsbStandInStats();
    EXPECT_EQ(s1.out_submitted - s0.out_submitted, 2u);
    EXPECT_EQ(s1.in_submitted - s0.in_submitted, 2u);
    EXPECT_EQ(s1.in_cancelled, s0.in_cancelled);
    EXPECT_EQ(s1.handles_open, 1u);
    board.reset();
    EXPECT_EQ(LibUsbStandInStats().handles_open, 0u);
}

TEST_F(LibUsbBus, OneInTransferInFlightForEachReplyPacketStillExpected) {
    // Each IN transfer asks for a whole packet and receives one: as many
    // are submitted as reply packets are expected, sixteen at most in
    // flight, and none is left to cancel.
    auto board = FBus->Open(Board());
    for (const std::size_t packets : {1, 8, 40}) {
        const standin_stats s0 = LibUsbStandInStats();
        const std::vector<std::size_t> full(packets, 32);
        EXPECT_EQ(board->Exchange({PageReads(packets)}, full).size(), 32 * packets);
        const std::vector<std::size_t> small(packets, 1);
        EXPECT_EQ(board->Exchange({PortReads(packets)}, small), TBytes(packets, 0xFF));
        const standin_stats s1 = LibUsbStandInStats();
        EXPECT_EQ(s1.in_submitted - s0.in_submitted, 2 * packets);
        EXPECT_EQ(s1.in_cancelled - s0.in_cancelled, 0u) << packets;
        EXPECT_LE(s1.max_in_flight, 16u);
    }
}

TEST_F(LibUsbBus, AReplyPacketOfAnotherLengthIsAnError) {
    auto board = FBus->Open(Board());
    const std::size_t two[] = {2};
    std::string message;
    EXPECT_EQ(KindOf([&] { board->Exchange({kReadPort}, two); }, &message), TUsbErrorKind::Io);
    EXPECT_EQ(message, "USB read: a reply packet of 1 bytes where one of 2 was due");
    // The board is in step again for the next exchange.
    const std::size_t one[] = {1};
    EXPECT_EQ(board->Exchange({kReadPort}, one).size(), 1u);
    // A reply that came in after the one that failed is lost with the
    // exchange, and the message says so.
    const std::size_t two_then_one[] = {2, 1};
    EXPECT_EQ(KindOf([&] { board->Exchange({PortReads(2)}, two_then_one); }, &message), TUsbErrorKind::Io);
    EXPECT_EQ(message,
              "USB read: a reply packet of 1 bytes where one of 2 was due (1 reply bytes more came in "
              "while the transfers were cancelled)");
}

TEST_F(LibUsbBus, OpenFailsWithTheReasonTheStackGives) {
    std::string message;
    TUsbOpenRequest elsewhere = Board();
    elsewhere.Path = "2-3";
    EXPECT_EQ(KindOf([&] { FBus->Open(elsewhere); }), TUsbErrorKind::NotFound);
    {
        TScopedEnv access("NORVOISP_LIBUSB_OPEN", "access");
        EXPECT_EQ(KindOf([&] { FBus->Open(Board()); }, &message), TUsbErrorKind::Access);
        EXPECT_EQ(message, "cannot open the device at USB bus 1, port 1: LIBUSB_ERROR_ACCESS");
    }
    {
        TScopedEnv busy("NORVOISP_LIBUSB_CLAIM", "busy");
        EXPECT_EQ(KindOf([&] { FBus->Open(Board()); }, &message), TUsbErrorKind::Busy);
        EXPECT_EQ(message,
                  "cannot claim the interface of the device at USB bus 1, port 1: LIBUSB_ERROR_BUSY");
    }
    // Held by another bus (another program) until that one lets go.
    auto held = NewLibUsbBus()->Open(Board());
    EXPECT_EQ(KindOf([&] { FBus->Open(Board()); }), TUsbErrorKind::Busy);
    held.reset();
    EXPECT_NO_THROW(FBus->Open(Board()));
    EXPECT_EQ(LibUsbStandInStats().handles_open, 0u);
}

TEST_F(LibUsbBus, UnpluggedTheBoardIsGoneUntilItIsPluggedInAgain) {
    auto board = FBus->Open(Board());
    const std::size_t one[] = {1};
    {
        TScopedEnv unplug("NORVOISP_LIBUSB_UNPLUG", "3");
        board->Exchange({kReadPort}, one); // two transfers
        std::string message;
        EXPECT_EQ(KindOf([&] { board->Exchange({kReadPort}, one); }, &message), TUsbErrorKind::NoDevice);
        EXPECT_EQ(message, "USB read: device gone");
        EXPECT_EQ(KindOf([&] { board->Exchange({kReadPort}, one); }, &message), TUsbErrorKind::NoDevice);
        EXPECT_EQ(message, "USB transfer: LIBUSB_ERROR_NO_DEVICE");
        EXPECT_TRUE(FBus->Find(0x1A86, 0x5512).empty());
        EXPECT_EQ(KindOf([&] { FBus->Open(Board()); }), TUsbErrorKind::NotFound);
    }
    // Plugged in again: a new address, a fresh handle.
    ASSERT_EQ(FBus->Find(0x1A86, 0x5512).size(), 1u);
    EXPECT_EQ(KindOf([&] { board->Exchange({kReadPort}, one); }), TUsbErrorKind::NoDevice);
    board = FBus->Open(Board());
    EXPECT_EQ(board->Exchange({kReadPort}, one).size(), 1u);
}

TEST_F(LibUsbBus, ATransferErrorOfACablePulledOutIsTheDeviceGone) {
    // Linux reports the cable pulled during a transfer as a transfer error;
    // the device leaves the bus when its hub has noticed.
    auto board = FBus->Open(Board());
    TScopedEnv pull("NORVOISP_LIBUSB_PULL", "1");
    const std::size_t one[] = {1};
    std::string message;
    EXPECT_EQ(KindOf([&] { board->Exchange({kReadPort}, one); }, &message), TUsbErrorKind::NoDevice);
    EXPECT_EQ(message, "USB read: transfer error (the device went away)");
}

TEST_F(LibUsbBus, ABoardThatStopsAnsweringTimesOut) {
    auto board = FBus->Open(Board(std::chrono::milliseconds(100)));
    TScopedEnv silent("NORVOISP_LIBUSB_SILENT", "0");
    const std::size_t one[] = {1};
    const auto start = TClock::now();
    std::string message;
    EXPECT_EQ(KindOf([&] { board->Exchange({kReadPort}, one); }, &message), TUsbErrorKind::Timeout);
    EXPECT_EQ(message, "USB write: timed out");
    EXPECT_LT(TClock::now() - start, std::chrono::seconds(2));
    board.reset();
    EXPECT_EQ(LibUsbStandInStats().handles_open, 0u);
}

TEST_F(LibUsbBus, NoTransferInFlightOnceTheLastReplyIsIn) {
    // The host stalls for 2.5 s right after the last reply. Nothing is left
    // in flight then: the exchange returns at once, and the device closes
    // without a transfer to wait for.
    auto board = FBus->Open(Board(std::chrono::milliseconds(5000)));
    TScopedEnv stall("NORVOISP_LIBUSB_STALL", "4:2500");
    const std::vector<std::size_t> replies(4, 32);
    const auto start = TClock::now();
    EXPECT_EQ(board->Exchange({PageReads(4)}, replies).size(), 128u);
    board.reset();
    EXPECT_LT(TClock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(LibUsbStandInStats().handles_open, 0u);
}

TEST_F(LibUsbBus, TransfersThatDoNotComeBackInTimeKeepTheirStateUntilTheyDo) {
    // A reply of the wrong length fails the exchange with the second reply
    // still to be delivered, and the host stalls for 3 s: longer than the
    // cancel waits (the 200 ms time-out plus 1 s, twice). The device is
    // handed over to the context and closed once the transfer is back; a
    // new open waits for that.
    TScopedEnv stall("NORVOISP_LIBUSB_STALL", "1:3000");
    auto board = FBus->Open(Board(std::chrono::milliseconds(200)));
    const std::size_t replies[] = {2, 1};
    std::string message;
    EXPECT_EQ(KindOf([&] { board->Exchange({PortReads(2)}, replies); }, &message), TUsbErrorKind::Io);
    EXPECT_EQ(message, "USB read: a reply packet of 1 bytes where one of 2 was due");
    board.reset();
    EXPECT_EQ(LibUsbStandInStats().handles_open, 1u); // the orphan
    board = FBus->Open(Board());
    EXPECT_EQ(LibUsbStandInStats().handles_open, 1u);
    const std::size_t one[] = {1};
    EXPECT_EQ(board->Exchange({kReadPort}, one).size(), 1u);
}

TEST_F(LibUsbBus, BusesOpenedAtOnceShareOneContext) {
    std::vector<std::unique_ptr<TUsbBulkBus>> buses(6);
    std::vector<std::thread> threads;
    for (auto& bus : buses)
        threads.emplace_back([&bus] {
            bus = NewLibUsbBus();
            bus->Find(0x1A86, 0x5512);
        });
    for (auto& t : threads)
        t.join();
    FBus->Find(0x1A86, 0x5512);
    EXPECT_EQ(LibUsbStandInStats().contexts_live, 1u);
    buses.clear();
    FBus.reset();
    EXPECT_EQ(LibUsbStandInStats().contexts_live, 0u);
}

} // namespace
