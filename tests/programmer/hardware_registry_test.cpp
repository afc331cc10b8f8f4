#include "errors/errors.h"
#include "programmer/hardware_registry.h"
#include "programmer/isp_programmer.h"

#include <gtest/gtest.h>

namespace {

struct FakeDriver : TISPProgrammer {
    int created = 0;
};

THardwareRegistry TwoKinds() {
    THardwareRegistry r;
    r.RegisterNewHardware(
        "Norvo ISP (LPT)", TProgrammerSupport{pk_eisp}, [] { return std::make_unique<FakeDriver>(); }, true);
    r.RegisterNewHardware(
        "Norvo ISP (COM)", TProgrammerSupport{pk_eisp}, [] { return std::make_unique<FakeDriver>(); }, true);
    return r;
}

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EISPException& e) {
        EXPECT_EQ(e.HardwareName, "");
        EXPECT_FALSE(e.Important());
        return e.Message();
    }
    return "(nothing raised)";
}

TEST(HardwareRegistry, NamesAreUpperCasedAndLookedUpIgnoringCase) {
    THardwareRegistry r = TwoKinds();
    EXPECT_EQ(r.NumHardware(), 1);
    EXPECT_EQ(r.GetAllHardwareAsList(), (std::vector<std::string>{"NORVO ISP (LPT)", "NORVO ISP (COM)"}));
    EXPECT_EQ(r.GetHardwareIndex("norvo isp (com)"), 1);
    EXPECT_EQ(r.GetHardwareIndex("Norvo ISP (USB)"), -1);
    EXPECT_EQ(r.GetHardware("Norvo ISP (COM)").HardwareName, "NORVO ISP (COM)");
    EXPECT_EQ(r.GetHardwareType(0).AsByte(), 0x04);

    // Registered names come back with the caller's own letter case; others fall back to entry 0.
    EXPECT_EQ(r.CheckValidHardware("Norvo ISP (com)"), "Norvo ISP (com)");
    EXPECT_EQ(r.CheckValidHardware("Parallel dongle"), "NORVO ISP (LPT)");
    EXPECT_EQ(r.CheckValidHardware(""), "NORVO ISP (LPT)");
}

TEST(HardwareRegistry, BadSelectionsRaise) {
    THardwareRegistry r = TwoKinds();
    for (auto f : std::vector<std::function<void()>>{[&] { r.GetHardware(2); }, [&] { r.GetHardware(-1); },
                                                     [&] { r.GetHardware("unknown"); },
                                                     [&] { r.GetNewHardwareInstance(5); }})
        EXPECT_EQ(MessageOf(f), "Internal error: Invalid Hardware Select");
    THardwareRegistry empty;
    EXPECT_EQ(empty.GetHardwareIndex("x"), -1);
    EXPECT_TRUE(empty.GetAllHardwareAsList().empty());
}

TEST(HardwareRegistry, HiddenKindsAndDuplicates) {
    THardwareRegistry r = TwoKinds();
    r.RegisterNewHardware(
        "Norvo ISP (SIM)", TProgrammerSupport{pk_eisp}, [] { return std::make_unique<FakeDriver>(); }, false);
    r.RegisterNewHardware(
        "norvo isp (lpt)", TProgrammerSupport{pk_usb}, [] { return std::make_unique<FakeDriver>(); }, false);
    EXPECT_EQ(r.GetAllHardwareAsList().size(), 2u);
    EXPECT_EQ(r.GetHardwareIndex("NORVO ISP (SIM)"), 2);
    EXPECT_EQ(r.GetHardwareIndex("Norvo ISP (LPT)"), 3) << "the last match wins";
}

TEST(HardwareRegistry, NewInstanceCarriesTheEntryName) {
    THardwareRegistry r = TwoKinds();
    auto d = r.GetNewHardwareInstance(1);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->HardwareName(), "NORVO ISP (COM)");
    EXPECT_FALSE(d->HasOptions());
    EXPECT_FALSE(d->HasStatus());
    EXPECT_FALSE(d->SlowSCK);
}

TEST(ISPProgrammer, ProgressCallbackAndMissingOperations) {
    FakeDriver d;
    d.DoUpdateProgress(1, 2); // no callback: nothing happens
    std::vector<std::pair<int, int>> seen;
    d.SetOnProgressUpdate([&](int i, int m) { seen.emplace_back(i, m); });
    d.DoUpdateProgress(0, 128);
    d.DoUpdateProgress(-1, -1);
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, 128}, {-1, -1}}));

    // An abort raised by the callback reaches the caller unchanged.
    d.SetOnProgressUpdate([](int, int) { throw EAbortOp(); });
    EXPECT_THROW(d.DoUpdateProgress(1, 1), EAbortOp);

    d.SetHardwareName("NORVO ISP (COM)");
    THexList buffer;
    try {
        d.ProgramEEPROM(buffer);
        FAIL() << "not provided";
    } catch (const EISPException& e) {
        EXPECT_EQ(e.HardwareName, "NORVO ISP (COM)");
        EXPECT_EQ(e.Message(), "ProgramEEPROM is not supported by this programmer");
    }
    EXPECT_THROW(d.TargetFound(), EISPException);
}

} // namespace
