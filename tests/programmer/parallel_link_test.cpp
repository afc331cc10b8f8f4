// The byte layer of the parallel link over the printer port object and the
// simulated port with the unit plugged in: the bit pattern and echo of a
// byte, replies, error codes and acknowledgements, direction mismatches, and
// every bound (10 s waits, the write poll count, the MaxReadTimeOut budget,
// a unit that stops mid-bit).
#include "errors/errors.h"
#include "lpt_rig.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const char kTimedOut[] = "ISP timed out during operation";
const char kFailed[] = "Communications with ISP failed during this operation";

TEST(ParallelLink, AByteGoesMsbFirstAndComesBackAsTheEcho) {
    TLptRig rig("24C02");
    rig.Open();
    rig.Port().Io().SetKeepLog(true);
    rig.Driver.Writedata(std::uint8_t{0x57}); // "W"
    const TWireView wire = WireView(rig.Port().Io().Log(), 0x378);
    EXPECT_EQ(wire.MosiAtRise, (std::vector<int>{0, 1, 0, 1, 0, 1, 1, 1}));
    EXPECT_EQ(wire.MisoAtFall, (std::vector<int>{0, 0, 1, 0, 1, 0, 1, 0}));
    rig.Driver.Writedata(std::uint8_t{0}); // no data bytes follow
    rig.Driver.GetAcknowledge();
    EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"W 00"}));

    // Another echo pattern fails the byte.
    rig.Port().Pins().Config().EchoPattern = 0x2B;
    std::string hardware;
    EXPECT_EQ(MessageOf([&] { rig.Driver.Writedata('v'); }, &hardware), kFailed);
    EXPECT_EQ(hardware, "NORVO ISP (LPT)");
}

TEST(ParallelLink, CommandsAndReplies) {
    TLptRig rig("24C02");
    rig.Open();
    EXPECT_EQ(rig.Driver.readstring('v', 4), "000A");
    EXPECT_EQ(rig.Driver.readstring('S', 9), "VORIZORUV");
    EXPECT_EQ(rig.Driver.readstring('V', 4), "0102");
    rig.Driver.WriteString('M', "02");
    EXPECT_EQ(rig.Unit().Bus(), TUnitBus::Microwire);
    EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"v", "S", "V", "M02"}));
}

TEST(ParallelLink, ErrorCodesAndAcknowledgements) {
    struct TCase {
        TCommandFault::TKind Kind;
        std::uint8_t Byte;
        const char* Message;
    };
    const TCase cases[] = {
        {TCommandFault::TKind::Error, 'T', "Program/erase BUSY timed out"},
        {TCommandFault::TKind::Error, 'V', "EVerifyError: Your target device failed verification"},
        {TCommandFault::TKind::Error, 'A', kFailed},
        {TCommandFault::TKind::Error, '!', "Command not known here"},
        {TCommandFault::TKind::Error, 'm', "Microwire exchange out of sync"},
        {TCommandFault::TKind::Acknowledge, 0x0A, kFailed},
        {TCommandFault::TKind::Acknowledge, '*', kFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Byte);
        TLptRig rig("24C02");
        rig.Open();
        rig.Unit().Faults().CommandFaults.push_back({c.Kind, 'X', 1, c.Byte});
        EXPECT_EQ(MessageOf([&] { rig.Driver.Start(); }), c.Message);
        // The link is still in step: the next command goes through.
        EXPECT_NO_THROW(rig.Driver.Start());
    }
}

TEST(ParallelLink, TheDirectionFlagDecidesWhichWayABytesMayGo) {
    TLptRig rig("24C02");
    rig.Open();
    EXPECT_FALSE(rig.Driver.WaitReady()); // idle: waits to receive
    EXPECT_EQ(MessageOf([&] { rig.Driver.ReadData(false); }), kFailed);
    rig.Driver.Writedata('v');
    EXPECT_TRUE(rig.Driver.WaitReady()); // it has the reply to send
    EXPECT_EQ(MessageOf([&] { rig.Driver.Writedata('x'); }), kTimedOut);
    std::string reply;
    for (int i = 0; i < 5; ++i)
        reply.push_back(static_cast<char>(rig.Driver.ReadData(true)));
    EXPECT_EQ(reply, "000A\r");
}

TEST(ParallelLink, AUnitThatNeverRaisesSyncFailsTheFirstByteAfterTenSeconds) {
    TSimLptSetup setup;
    setup.Pins.SyncNeverRises = true;
    TLptRig rig("24C02", setup);
    TStepClock clock;
    rig.Driver.SetClock(&clock);
    rig.Port().SetActive(1);
    rig.Port().SetCurrentLPT(1);
    const TLinkTime start = clock.Now();
    EXPECT_EQ(MessageOf([&] { rig.Driver.Start(); }), kTimedOut);
    const TLinkTime waited = clock.Now() - start;
    EXPECT_GT(waited, 10s);
    EXPECT_LT(waited, 10s + 5ms);
    EXPECT_EQ(rig.Unit().BytesReceived(), 0u);

    // Opening waits as long for the identification, then reports no programmer.
    std::string hardware = "?";
    EXPECT_EQ(MessageOf([&] { rig.Driver.HardwareOpen(); }, &hardware), "Programmer was not detected");
    EXPECT_EQ(hardware, "");
}

TEST(ParallelLink, WritePollBudgetForSyncToFall) {
    // SYNC is seen high this many more polls after the unit lowered it.
    for (const auto& [lag, message] :
         {std::pair<std::uint64_t, const char*>{0xFFFE, ""}, {0xFFFF, kTimedOut}}) {
        SCOPED_TRACE(lag);
        TLptRig rig("24C02");
        rig.Open();
        rig.Port().Pins().Config().SlowSyncFallPolls = lag;
        const std::string got = MessageOf([&] { rig.Driver.Writedata('v'); });
        EXPECT_EQ(got, *message ? message : "(nothing raised)");
    }
}

TEST(ParallelLink, ReadPollBudgetIsMaxReadTimeOut) {
    struct TCase {
        int Budget;
        std::uint64_t Lag; // polls SYNC is still seen low after the unit raised it
        bool Passes;
    };
    const TCase cases[] = {{50000, 49998, true},
                           {50000, 49999, false},
                           {50000, 50000, false},
                           {1000, 998, true},
                           {1000, 999, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Budget) + " " + std::to_string(c.Lag));
        TLptRig rig("24C02");
        rig.Open();
        EXPECT_EQ(rig.Driver.MaxReadTimeOut(), 50000); // as the open's settings set it
        rig.Driver.SetMaxReadTimeOut(c.Budget);
        rig.Driver.Writedata('v');
        rig.Port().Pins().Config().SlowSyncRisePolls = c.Lag;
        if (c.Passes)
            EXPECT_EQ(rig.Driver.ReadData(false), '0');
        else
            EXPECT_EQ(MessageOf([&] { rig.Driver.ReadData(false); }), kFailed);
    }
}

TEST(ParallelLink, AUnitThatStopsInTheMiddleOfABitTimesOut) {
    // Reading: SCK rose, SYNC never falls.
    {
        TLptRig rig("24C02");
        rig.Open();
        rig.Driver.Writedata('v');
        rig.Unit().CutLink();
        TStepClock clock;
        rig.Driver.SetClock(&clock);
        EXPECT_EQ(MessageOf([&] { rig.Driver.ReadData(false); }), kTimedOut);
        EXPECT_GT(clock.Now(), 10s);
    }
    // Writing: the byte went in, SYNC never rises again.
    {
        TUnitConfig unit;
        unit.Faults.HangAfterBytes = 0;
        unit.IdentifyOnReset = false;
        TSimLptSetup setup;
        setup.Unit = unit;
        TLptRig rig("24C02", setup);
        rig.Port().SetActive(1);
        rig.Port().SetCurrentLPT(1);
        rig.Port().SetPin(1, true); // out of the reset the port's tests left it in
        TStepClock clock;
        rig.Driver.SetClock(&clock);
        EXPECT_EQ(MessageOf([&] { rig.Driver.Writedata('v'); }), kTimedOut);
        EXPECT_GT(clock.Now(), 10s);
    }
}

TEST(ParallelLink, WithoutAnOpenPortNothingIsWaitedFor) {
    TLptRig rig("24C02");
    const TSimTime start = rig.Unit().Clock().Now();
    EXPECT_EQ(MessageOf([&] { rig.Driver.Start(); }), "LPT port not found or in use by another program");
    EXPECT_EQ(MessageOf([&] { rig.Driver.ReadData(false); }),
              "LPT port not found or in use by another program");
    EXPECT_EQ(rig.Unit().Clock().Now(), start);
    EXPECT_EQ(rig.Port().Io().Accesses(), 0u);
}

TEST(ParallelLink, EveryPinAccessIsOnePortAccess) {
    TLptRig rig("24C02");
    rig.Open();
    TSimLptIo& io = rig.Port().Io();
    const TSimDuration tick = 1us;
    for (int pin : {1, 10, 11, 14, 16, 17}) {
        const std::uint64_t before = io.Accesses();
        const TSimTime t = rig.Unit().Clock().Now();
        rig.Port().Pin(pin);
        EXPECT_EQ(io.Accesses(), before + 1) << pin;
        EXPECT_EQ(rig.Unit().Clock().Now(), t + tick);
    }
    for (int pin : {1, 14, 16, 17, 2, 10}) {
        const std::uint64_t writes = io.Writes();
        const std::uint64_t reads = io.Reads();
        rig.Port().SetPin(pin, pin != 1);
        EXPECT_EQ(io.Writes(), writes + 1) << pin;
        EXPECT_EQ(io.Reads(), reads) << pin;
    }
}

} // namespace
