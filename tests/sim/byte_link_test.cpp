// The in-process serial line: wire time, bounded reads, counts.
#include "unit_bench.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(ByteLink, WireTimeAtTheBaudRate) {
    for (std::uint32_t baud : {115200u, 9600u}) {
        SCOPED_TRACE(baud);
        TByteLinkConfig line;
        line.BaudRate = baud;
        TUnitBench b({}, line);
        const TSimDuration byte = SerialByteTime(baud);
        EXPECT_EQ(byte, TSimDuration(10'000'000'000LL / baud));
        EXPECT_EQ(b.Cmd("S"), "VORIZORUV\r");
        // One byte out, ten back, back to back.
        EXPECT_EQ(b.link.Clock().Now(), 11 * byte);
    }
}

TEST(ByteLink, TheUnitsWriteDelayShowsInTheTime) {
    const auto pageTime = [](int delay) {
        TUnitBench b;
        b.Insert("24C64");
        b.AllAcknowledged({"M00", "Z", delay ? "D05" : "D00", "X", B({'w', 0xA0}), B({'w', 0}), B({'w', 0})});
        const TSimTime start = b.link.Clock().Now();
        EXPECT_EQ(b.Cmd(B({'W', 4, 1, 2, 3, 4})), "\r");
        return b.link.Clock().Now() - start;
    };
    EXPECT_EQ(pageTime(5) - pageTime(0), 5ms);
    EXPECT_EQ(pageTime(0), 7 * SerialByteTime(115200));
}

TEST(ByteLink, ReadsAreBoundedByTheTimeout) {
    TUnitBench b;
    EXPECT_TRUE(b.link.Read(1, 1s).empty());
    EXPECT_EQ(b.link.Clock().Now(), 1s);
    b.link.Write("v");
    std::uint8_t buf[8];
    // Five reply bytes, eight asked for: what came, after the whole time-out.
    EXPECT_EQ(b.link.Read(buf, 8, 10ms), 5u);
    EXPECT_EQ(std::string(buf, buf + 5), "000A\r");
    EXPECT_EQ(b.link.Clock().Now(), 1s + 10ms);
    // A time-out shorter than the wire time gets nothing yet.
    b.link.Write("v");
    EXPECT_TRUE(b.link.Read(1, 100us).empty());
    EXPECT_EQ(b.link.Read(5, 1s).size(), 5u);
}

TEST(ByteLink, CountsDrainAndFlush) {
    TUnitBench b;
    const TSimDuration byte = b.link.ByteTime();
    b.link.Write("vvv");
    EXPECT_EQ(b.link.OutputCount(), 3u);
    EXPECT_EQ(b.link.InputCount(), 0u);
    b.link.Sleep(byte);
    EXPECT_EQ(b.link.OutputCount(), 2u);
    b.link.Drain();
    EXPECT_EQ(b.link.OutputCount(), 0u);
    EXPECT_EQ(b.link.Clock().Now(), 3 * byte);
    // Replies: 15 bytes; by now the first two have arrived.
    EXPECT_EQ(b.link.InputCount(), 2u);
    EXPECT_EQ(b.link.UnreadCount(), 15u);
    b.link.FlushInput();
    EXPECT_EQ(b.link.UnreadCount(), 13u);
    EXPECT_EQ(b.ReadAll(), "0A\r000A\r000A\r");
}

TEST(ByteLink, ModemLinesAreRecorded) {
    TUnitBench b;
    b.link.SetDTR(true);
    b.link.SetRTS(true);
    b.link.SetDTR(true); // no change, no record
    b.link.SetDTR(false);
    std::vector<std::string> events;
    for (const auto& e : b.unit.Transcript().Exchanges())
        events.push_back(e.Note);
    EXPECT_EQ(events, (std::vector<std::string>{"DTR set", "RTS set", "DTR cleared"}));
}

} // namespace
