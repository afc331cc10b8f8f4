// The CH347 bus master and its SPI engine on the CH347 emulator: 25C parts
// programmed and read through it, every frame within the bridge's limits,
// and the failures a board or a part can bring (unplugged, busy for ever,
// an empty socket, a bridge answering out of turn).
#include "catalogue/device.h"
#include "ch347/ch347_emulator.h"
#include "chips/chip_factory.h"
#include "errors/errors.h"
#include "programmer/ch347/ch347_bus_master.h"

#include <gtest/gtest.h>

namespace {

using TBytes = std::vector<std::uint8_t>;

// The emulator behind the transfer interface the bus master uses.
class TBoardLink : public TUsbTransfer, public TLinkClock {
  public:
    explicit TBoardLink(TCh347Emulator& Board) : FBoard(Board) {}
    std::vector<std::uint8_t> Exchange(const std::vector<std::vector<std::uint8_t>>& Out,
                                       std::span<const std::size_t> InPackets) override {
        ++Exchanges;
        for (const auto& t : Out)
            Check(FBoard.BulkOut(t));
        TBytes in;
        for (std::size_t expected : InPackets) {
            TBytes packet;
            Check(FBoard.BulkIn(TCh347Emulator::PacketSize, packet));
            CheckReplyPacket(packet.size(), expected);
            in.insert(in.end(), packet.begin(), packet.end());
        }
        return in;
    }
    TLinkClock& Clock() override { return *this; }
    std::string Description() const override { return "emulated CH347"; }
    TLinkTime Now() override { return FBoard.Clock().Now(); }
    void Sleep(TLinkDuration Time) override { FBoard.Clock().Advance(Time); }
    int Exchanges = 0;

  private:
    static void Check(TUsbResult R) {
        if (R == TUsbResult::NoDevice) throw EUsbError(TUsbErrorKind::NoDevice, "USB: device gone");
        if (R == TUsbResult::Timeout) throw EUsbError(TUsbErrorKind::Timeout, "USB: timed out");
        if (R == TUsbResult::Overflow) throw EUsbError(TUsbErrorKind::Io, "USB: overflow");
    }
    TCh347Emulator& FBoard;
};

struct TRig {
    TCh347Emulator board;
    TBoardLink link{board};
    TCh347BusMaster master;
    explicit TRig(const char* Chip, TCh347Settings Settings = {})
        : master(link, FAMILY_25C, std::move(Settings)) {
        if (*Chip) board.InsertChip(MakeChip(Chip));
        master.ConfigureBus();
    }
    // The 25C sequence of the shared SPI algorithm for a part with two
    // address bytes: write enable, the page, its write cycle.
    void ProgramPage(int Address, std::span<const std::uint8_t> Bytes) {
        master.Start();
        master.WriteByte(0x06);
        master.Stop();
        master.Start();
        const std::uint8_t head[] = {0x02, static_cast<std::uint8_t>(Address >> 8),
                                     static_cast<std::uint8_t>(Address)};
        master.WritePage(head);
        master.WritePage(Bytes);
        master.Stop();
        master.WaitWriteCycle(TWriteCycle::Page);
    }
    TBytes ReadAll(std::size_t Size) {
        TBytes data(Size);
        master.Start();
        const std::uint8_t head[] = {0x03, 0, 0};
        master.WritePage(head);
        master.ReadPage(data);
        master.Stop();
        master.Sync();
        return data;
    }
};

TEST(Ch347BusMaster, ProgramsAndReadsBack25CPartsAtEveryClockWithinTheFrameLimits) {
    struct TCase {
        const char* Chip;
        int Prescaler;
        int Mode;
    };
    for (const TCase c :
         {TCase{"25C256", 2, 0}, TCase{"25C256", 0, 3}, TCase{"25C128", 7, 0}, TCase{"25HP512", 1, 0}}) {
        SCOPED_TRACE(std::string(c.Chip) + " prescaler " + std::to_string(c.Prescaler));
        TCh347Settings s;
        s.Prescaler = c.Prescaler;
        s.SpiMode = c.Mode;
        TRig rig(c.Chip, s);
        EXPECT_EQ(rig.board.SpiClockHz(), 60'000'000u >> c.Prescaler);
        const std::size_t size = rig.board.Chip()->Size();
        const std::size_t page = rig.board.Chip()->PageSize();
        TBytes image(size);
        for (std::size_t i = 0; i < size; ++i)
            image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
        for (std::size_t a = 0; a < size; a += page)
            rig.ProgramPage(static_cast<int>(a), std::span(image).subspan(a, page));
        EXPECT_EQ(rig.board.Chip()->Memory(), image);
        const int before = rig.link.Exchanges;
        EXPECT_EQ(rig.ReadAll(size), image);
        EXPECT_EQ(rig.link.Exchanges - before, 1) << "a whole-device read is one round trip";
        EXPECT_EQ(rig.board.Stats().Malformed, 0u);
        EXPECT_LE(rig.board.Stats().LargestOutPacket, TCh347Emulator::PacketSize);
        EXPECT_FALSE(rig.board.Selected());
    }
}

TEST(Ch347BusMaster, WriteCycleFailures) {
    // A part that never ends its write cycle: the polls give up, after the limit.
    {
        TRig rig("25C256");
        rig.board.Chip()->SetWriteTime(std::chrono::seconds(5));
        const auto t0 = rig.board.Clock().Now();
        const TBytes page(64, 0x5A);
        try {
            rig.ProgramPage(0, page);
            FAIL() << "no error";
        } catch (const EISPException& e) {
            EXPECT_EQ(std::string(e.what()), "Program/erase BUSY timed out (still busy after 30 ms)");
        }
        EXPECT_GE(rig.board.Clock().Now() - t0, std::chrono::milliseconds(30));
        EXPECT_LT(rig.board.Clock().Now() - t0, std::chrono::milliseconds(40));
    }
    // An empty socket: SO pulled up, the status reads FFh.
    {
        TRig rig("");
        const TBytes page(64, 0x5A);
        EXPECT_THROW(
            {
                try {
                    rig.ProgramPage(0, page);
                } catch (const EISPException& e) {
                    EXPECT_NE(std::string(e.what()).find("does not answer"), std::string::npos) << e.what();
                    throw;
                }
            },
            EISPException);
    }
}

TEST(Ch347BusMaster, UnpluggedBoardAndOtherBusesAreErrors) {
    TRig rig("25C256");
    rig.board.Unplug();
    TBytes data(16);
    try {
        rig.ReadAll(16);
        FAIL() << "no error";
    } catch (const EUsbError& e) {
        EXPECT_EQ(e.Kind(), TUsbErrorKind::NoDevice);
    }
    rig.board.Replug();
    TCh347BusMaster again(rig.link, FAMILY_25C, {});
    again.ConfigureBus(); // a fresh bridge is configured again and answers
    EXPECT_TRUE(rig.board.Configured());

    TCh347BusMaster i2c(rig.link, FAMILY_24C, {});
    EXPECT_THROW(i2c.ConfigureBus(), EISPException);
    EXPECT_THROW(again.WriteBits(9, 0xC000), EISPException);
}

TEST(Ch347Spi, AnAnswerOutOfTurnIsAnErrorAndNeverData) {
    // A link whose device answers a C2 frame with a C3 frame.
    class TWrongLink : public TBoardLink {
      public:
        using TBoardLink::TBoardLink;
        std::vector<std::uint8_t> Exchange(const std::vector<std::vector<std::uint8_t>>& Out,
                                           std::span<const std::size_t> In) override {
            TBytes r = TBoardLink::Exchange(Out, In);
            if (!r.empty() && r[0] == 0xC2) r[0] = 0xC3;
            return r;
        }
    };
    TCh347Emulator board;
    board.InsertChip(MakeChip("25C040"));
    TWrongLink link(board);
    TCh347Spi spi(link);
    spi.Configure(2, 0);
    std::uint8_t status[] = {0x05, 0xFF};
    spi.Select(true);
    spi.Exchange(status, status);
    spi.Select(false);
    EXPECT_THROW(spi.Flush(), EUsbError);
}

} // namespace
