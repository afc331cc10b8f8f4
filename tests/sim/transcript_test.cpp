// The transcript: exact exchanges in order, and its printed form.
#include "unit_bench.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(std::string_view s) {
    return {s.begin(), s.end()};
}

TEST(Transcript, RecordsEveryCommandWithItsReply) {
    TUnitBench b;
    b.unit.Reset();
    b.ReadAll();
    b.Cmd("S");
    b.Cmd(B({'W', 2, 0x41, 0x42}));
    b.Cmd("Q");
    const auto& all = b.unit.Transcript().Exchanges();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0].Kind, TExchangeKind::Event);
    EXPECT_EQ(all[0].Note, "reset");
    EXPECT_EQ(all[1].Kind, TExchangeKind::Unasked);
    EXPECT_EQ(all[1].Received, Of("VORIZORUV"));
    const auto commands = b.unit.Transcript().Commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].Index, 1u);
    EXPECT_EQ(commands[0].Sent, Of("S"));
    EXPECT_EQ(commands[0].Received, Of("VORIZORUV\r"));
    EXPECT_EQ(commands[1].Letter(), 'W');
    EXPECT_EQ(commands[1].Sent, (Bytes{'W', 2, 0x41, 0x42}));
    EXPECT_EQ(commands[1].Received, Of("?T")); // no START, nobody acknowledges
    EXPECT_EQ(commands[2].Received, Of("?!"));
    EXPECT_EQ(b.unit.Transcript().AllSent(), (Bytes{'S', 'W', 2, 0x41, 0x42, 'Q'}));
    EXPECT_EQ(b.unit.Transcript().AllReceived(), Of("VORIZORUVVORIZORUV\r?T?!"));
}

TEST(Transcript, PrintedFormShowsHexTextAndNotes) {
    TExchange e;
    e.Index = 12;
    e.Time = std::chrono::microseconds(4321);
    e.Sent = {'W', 2, 0x41, 0x42};
    e.Received = {'\r'};
    e.Note = "fault: acknowledgement 0D";
    const std::string text = TTranscript::Format(e);
    EXPECT_NE(text.find("#12"), std::string::npos) << text;
    EXPECT_NE(text.find("0.004321s"), std::string::npos) << text;
    EXPECT_NE(text.find("> 57 02 41 42"), std::string::npos) << text;
    EXPECT_NE(text.find("W.AB"), std::string::npos) << text;
    EXPECT_NE(text.find("< 0D"), std::string::npos) << text;
    EXPECT_NE(text.find("! fault: acknowledgement 0D"), std::string::npos) << text;
    // Long replies wrap at 16 bytes a line.
    e.Received.assign(40, 'x');
    const std::string wrapped = TTranscript::Format(e);
    EXPECT_EQ(std::count(wrapped.begin(), wrapped.end(), '\n'), 5) << wrapped;
}

TEST(Transcript, SinkSeesCompletedExchangesWithoutKeepingThem) {
    TUnitBench b;
    std::vector<std::string> seen;
    b.unit.Transcript().SetKeep(false);
    b.unit.Transcript().SetSink([&](const TExchange& e) { seen.emplace_back(e.Sent.begin(), e.Sent.end()); });
    b.Cmd("M01");
    b.link.Write("M0"); // still open
    EXPECT_EQ(seen, std::vector<std::string>{"M01"});
    EXPECT_TRUE(b.unit.Transcript().Exchanges().empty());
    ASSERT_NE(b.unit.Transcript().Open(), nullptr);
    EXPECT_EQ(b.unit.Transcript().Open()->Sent, Of("M0"));
}

} // namespace
