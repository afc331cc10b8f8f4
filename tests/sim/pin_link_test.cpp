// The unit's side of the printer-port pins, driven by a PC side that follows
// the link's bit handshake exactly (poll budgets, 10 s limits on the clock).
#include "pin_link.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;

const char* const kTimedOut = "ISP timed out during operation";
const char* const kFailed = "Communications with ISP failed during this operation";

struct TPcSide {
    explicit TPcSide(TPinLink& Pins) : pins(Pins) {}

    TPinLink& pins;
    std::uint64_t maxReadTimeOut = 50000;
    std::vector<int> mosiAtRise; // MOSI level at every SCK rising edge
    std::vector<int> misoTaken;  // MISO level read after SYNC fell

    TSimTime Now() { return pins.Clock().Now(); }
    bool Sync() { return pins.GetPin(TUnitPin::SYNC); }

    bool WaitReady() {
        const TSimTime limit = Now() + 10s;
        while (!Sync())
            if (Now() > limit) throw std::runtime_error(kTimedOut);
        return !pins.GetPin(TUnitPin::MISO);
    }
    void WriteByte(std::uint8_t data) {
        if (WaitReady()) throw std::runtime_error(kTimedOut);
        std::uint8_t echo = 0;
        for (int i = 7; i >= 0; --i) {
            echo = static_cast<std::uint8_t>(echo << 1);
            pins.SetPin(TUnitPin::PARR, false);
            pins.SetPin(TUnitPin::SCK, false);
            pins.SetPin(TUnitPin::MOSI, ((data >> i) & 1) != 0);
            pins.SetPin(TUnitPin::SCK, true);
            mosiAtRise.push_back((data >> i) & 1);
            std::uint16_t polls = 0;
            while (Sync())
                if (++polls == 0xFFFF) throw std::runtime_error(kTimedOut);
            const bool miso = pins.GetPin(TUnitPin::MISO);
            misoTaken.push_back(miso ? 1 : 0);
            if (miso) echo |= 1;
            pins.SetPin(TUnitPin::SCK, false);
            const TSimTime limit = Now() + 10s;
            while (!Sync())
                if (Now() > limit) throw std::runtime_error(kTimedOut);
        }
        if (echo != 0x2A) throw std::runtime_error(kFailed);
    }
    std::uint8_t ReadByte() {
        if (!WaitReady()) throw std::runtime_error(kFailed);
        std::uint8_t result = 0;
        for (int i = 0; i < 8; ++i) {
            result = static_cast<std::uint8_t>(result << 1);
            std::uint64_t polls = 1;
            while (!Sync())
                if (++polls >= maxReadTimeOut) throw std::runtime_error(kFailed);
            pins.SetPin(TUnitPin::SCK, true);
            const TSimTime limit = Now() + 10s;
            while (Sync())
                if (Now() > limit) throw std::runtime_error(kTimedOut);
            if (pins.GetPin(TUnitPin::MISO)) result |= 1;
            pins.SetPin(TUnitPin::SCK, false);
        }
        return result;
    }
    void Write(const std::string& s) {
        for (char c : s)
            WriteByte(static_cast<std::uint8_t>(c));
    }
    std::string Read(int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s.push_back(static_cast<char>(ReadByte()));
        return s;
    }
    void ResetUnit() {
        pins.SetPin(TUnitPin::RESET, false);
        pins.SetPin(TUnitPin::RESET, true);
    }
};

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(PinLink, ByteToTheUnitGoesMsbFirstAndComesBackAsTheEchoPattern) {
    TProgrammerUnit unit;
    TPinLink pins(unit);
    TPcSide pc(pins);
    pc.WriteByte(0x57); // "W"
    EXPECT_EQ(pc.mosiAtRise, (std::vector<int>{0, 1, 0, 1, 0, 1, 1, 1}));
    EXPECT_EQ(pc.misoTaken, (std::vector<int>{0, 0, 1, 0, 1, 0, 1, 0}));
    EXPECT_TRUE(unit.CommandPending());
    pc.WriteByte(0); // count 0: no data follows
    EXPECT_EQ(pc.Read(1), "\r");
}

TEST(PinLink, AfterResetTheUnitOffersItsIdentification) {
    TProgrammerUnit unit;
    TPinLink pins(unit);
    TPcSide pc(pins);
    pins.SetPin(TUnitPin::RESET, false);
    EXPECT_FALSE(pins.GetPin(TUnitPin::SYNC));
    pins.SetPin(TUnitPin::SCK, true); // ignored while held in reset
    pins.SetPin(TUnitPin::SCK, false);
    pins.SetPin(TUnitPin::RESET, true);
    EXPECT_TRUE(pins.GetPin(TUnitPin::SYNC));
    EXPECT_FALSE(pins.GetPin(TUnitPin::MISO)); // a byte to send
    EXPECT_EQ(pc.Read(9), "VORIZORUV");
    EXPECT_FALSE(pc.WaitReady()); // now it waits to receive
}

TEST(PinLink, CommandsAndRepliesOverThePins) {
    TProgrammerUnit unit;
    TPinLink pins(unit);
    TPcSide pc(pins);
    pc.Write("v");
    EXPECT_EQ(pc.Read(5), "000A\r");
    pc.Write("M02");
    EXPECT_EQ(pc.Read(1), "\r");
    EXPECT_EQ(unit.Bus(), TUnitBus::Microwire);
    pc.Write("Q");
    EXPECT_EQ(pc.Read(2), "?!");
}

TEST(PinLink, DirectionFlagMismatchesFailTheWayThePcExpects) {
    TProgrammerUnit unit;
    TPinLink pins(unit);
    TPcSide pc(pins);
    EXPECT_EQ(ErrorOf([&] { pc.ReadByte(); }), kFailed); // nothing offered
    pc.ResetUnit();
    EXPECT_EQ(ErrorOf([&] { pc.WriteByte('S'); }), kTimedOut); // the unit wants to send
    EXPECT_EQ(pc.Read(9), "VORIZORUV");                        // and still does
}

TEST(PinLink, SlowSyncAppliesToEveryRise) {
    TProgrammerUnit unit;
    TPinLinkConfig config;
    config.SlowSyncRisePolls = 3;
    TPinLink pins(unit, config);
    pins.SetPin(TUnitPin::SCK, true);
    EXPECT_FALSE(pins.GetPin(TUnitPin::SYNC));
    pins.SetPin(TUnitPin::SCK, false);
    const std::vector<bool> seen{pins.GetPin(TUnitPin::SYNC), pins.GetPin(TUnitPin::SYNC),
                                 pins.GetPin(TUnitPin::SYNC), pins.GetPin(TUnitPin::SYNC)};
    EXPECT_EQ(seen, (std::vector<bool>{false, false, false, true}));
}

TEST(PinLink, ASlowRiseBeyondTheReadBudgetFailsTheReadOnly) {
    for (std::uint64_t lag : {1000u, 50000u}) {
        SCOPED_TRACE(lag);
        TProgrammerUnit unit;
        TPinLinkConfig config;
        config.SlowSyncRisePolls = lag;
        TPinLink pins(unit, config);
        TPcSide pc(pins);
        pc.Write("v"); // writes wait on the clock, not on a poll count
        if (lag < 50000)
            EXPECT_EQ(pc.Read(5), "000A\r");
        else
            EXPECT_EQ(ErrorOf([&] { pc.ReadByte(); }), kFailed);
    }
}

TEST(PinLink, AUnitThatNeverRaisesSyncTimesOutAfterTenSeconds) {
    TProgrammerUnit unit;
    TPinLinkConfig config;
    config.SyncNeverRises = true;
    config.AccessTime = 100us; // fewer polls for the same ten seconds
    TPinLink pins(unit, config);
    TPcSide pc(pins);
    EXPECT_EQ(ErrorOf([&] { pc.WriteByte('S'); }), kTimedOut);
    EXPECT_GT(pins.Clock().Now(), 10s);
    EXPECT_LE(pins.Clock().Now(), 10s + 300us);
}

TEST(PinLink, AWrongEchoOrAFrozenUnitFailTheWrite) {
    {
        TProgrammerUnit unit;
        TPinLinkConfig config;
        config.EchoPattern = 0x2B;
        TPinLink pins(unit, config);
        TPcSide pc(pins);
        EXPECT_EQ(ErrorOf([&] { pc.WriteByte('v'); }), kFailed);
    }
    {
        TUnitConfig c;
        c.Faults.HangAfterBytes = 1;
        TProgrammerUnit unit(c);
        TPinLinkConfig config;
        config.AccessTime = 100us;
        TPinLink pins(unit, config);
        TPcSide pc(pins);
        pc.Write("v");
        EXPECT_EQ(pc.Read(5), "000A\r");
        // The second byte goes in, then SYNC never rises again.
        EXPECT_EQ(ErrorOf([&] { pc.WriteByte('v'); }), kTimedOut);
        EXPECT_EQ(pc.misoTaken.size(), 16u);
    }
}

TEST(PinLink, ConnectorPinNumbers) {
    const std::pair<TUnitPin, int> table[] = {{TUnitPin::MOSI, 16}, {TUnitPin::SCK, 14},
                                              {TUnitPin::SYNC, 10}, {TUnitPin::MISO, 11},
                                              {TUnitPin::PARR, 17}, {TUnitPin::RESET, 1}};
    for (const auto& [role, pin] : table) {
        EXPECT_EQ(ConnectorPin(role), pin);
        EXPECT_EQ(PinAtConnector(pin), role);
    }
    EXPECT_EQ(PinAtConnector(2), std::nullopt);
    // Data pins are accepted and read back; the unit's outputs cannot be driven.
    TProgrammerUnit unit;
    TPinLink pins(unit);
    pins.SetConnectorPin(5, true);
    EXPECT_TRUE(pins.GetConnectorPin(5));
    pins.SetConnectorPin(10, false);
    EXPECT_TRUE(pins.GetConnectorPin(10));
}

} // namespace
