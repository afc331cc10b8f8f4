// The bounds of the port object's waits, on a line that never delivers and
// never drains, with a clock that only moves when someone waits on it.
#include "errors/errors.h"
#include "ports/com_port.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class TManualClock : public TLinkClock {
  public:
    TLinkTime Now() override { return FNow; }
    void Sleep(TLinkDuration Time) override {
        if (Time > TLinkDuration::zero()) FNow += Time;
    }

  private:
    TLinkTime FNow{0};
};

class TStuckLine : public TSerialLine {
  public:
    explicit TStuckLine(TManualClock& Clock) : FClock(Clock) {}
    void SetBaudRate(int) override {}
    void SetDataBits(int) override {}
    void SetParity(TParity) override {}
    bool SetDTR(bool) override { return true; }
    bool SetRTS(bool) override { return true; }
    std::size_t ReadAvailable(std::uint8_t*, std::size_t) override { return 0; }
    bool WaitInput(TLinkDuration Timeout) override {
        ++Waits;
        FClock.Sleep(Timeout);
        return false;
    }
    std::size_t Write(const std::uint8_t*, std::size_t Count, TLinkDuration) override { return Count; }
    std::size_t OutputCount() override { return 1; }
    void Discard() override {}
    TLinkClock& Clock() override { return FClock; }
    std::string Kind() const override { return "stuck"; }
    int Waits = 0;

  private:
    TManualClock& FClock;
};

TEST(ComPortBounds, ReadsAndFlushesGiveUpAtTheirLimits) {
    TManualClock clock;
    TStuckLine* line = nullptr;
    TComPort port;
    port.SetLineFactory([&](const std::string& Path) {
        EXPECT_EQ(Path, "/dev/stuck");
        auto l = std::make_unique<TStuckLine>(clock);
        line = l.get();
        return l;
    });
    port.SetDeviceName("/dev/stuck");
    port.Open();
    EXPECT_EQ(&port.Clock(), &clock);

    std::uint8_t buffer[8];
    try {
        port.Read(buffer, 8, true);
        FAIL();
    } catch (const EComError& e) {
        EXPECT_EQ(e.Message(), "Timeout");
    }
    EXPECT_EQ(clock.Now(), 2s); // the default bound, waited in one piece
    EXPECT_EQ(line->Waits, 1);

    port.SetWriteTimeout(100ms);
    port.WriteByte(1);
    EXPECT_THROW(port.Flush(), EComError);
    EXPECT_GE(clock.Now(), 2100ms);
    EXPECT_LT(clock.Now(), 2102ms);
}

} // namespace
