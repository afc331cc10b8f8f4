// The printer port object: the slot table from discovery and its fall-backs,
// slot selection with saved states, the mode tests on every kind of port,
// ECR mode setting, pins with their inversions, register shadows, the
// closed port, exclusive use of the printer device, and the addresses that
// must never be reached.
#include "errors/errors.h"
#include "lpt_tree.h"
#include "ports/sim_lpt_io.h"
#include "ports/vic_lpt.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using TAccess = TSimLptIo::TAccess;

// An I/O access whose reads are scripted per address (0xFF when not) and
// whose writes are only recorded: what a pin or register operation puts on
// the bus, with nothing answering.
struct TScriptedIo : TLptIo {
    bool CanOpen = true;
    std::optional<std::array<std::uint16_t, 3>> Bios;
    std::map<std::uint16_t, std::uint8_t> Reads;
    std::vector<TAccess> Log;

    bool Open(std::uint8_t) override { return CanOpen; }
    void Close() override {}
    std::uint8_t GetPort(std::uint16_t a) override {
        const auto it = Reads.find(a);
        const std::uint8_t v = it == Reads.end() ? 0xFF : it->second;
        Log.push_back({a, v, false});
        return v;
    }
    void SetPort(std::uint16_t a, std::uint8_t v) override { Log.push_back({a, v, true}); }
    std::optional<std::array<std::uint16_t, 3>> BiosLptTable() override { return Bios; }
};

// A port object over scripted I/O, opened with the BIOS table naming 0x378.
struct TScripted {
    TScripted() {
        auto io = std::make_unique<TScriptedIo>();
        Io = io.get();
        Io->Bios = {{0x378, 0, 0}};
        Lpt = std::make_unique<TVicLPT>(std::move(io), "");
        Lpt->SetActive(1);
        Io->Log.clear();
    }
    TScriptedIo* Io;
    std::unique_ptr<TVicLPT> Lpt;
};

// A port object over simulated printer ports.
struct TSimulated {
    explicit TSimulated(const std::string& Root = "") {
        auto io = std::make_unique<TSimLptIo>();
        Io = io.get();
        Io->SetKeepLog(true);
        Lpt = std::make_unique<TVicLPT>(std::move(io), Root);
    }
    TSimLptIo* Io;
    std::unique_ptr<TVicLPT> Lpt;
};

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EISPException& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

bool Touched(const std::vector<TAccess>& Log, std::uint16_t From, std::uint16_t To) {
    for (const auto& a : Log)
        if (a.Address >= From && a.Address <= To) return true;
    return false;
}

// ---------------------------------------------------------------- slots

TEST(VicLpt, SlotTableFromDiscoveryAndItsFallBacks) {
    struct TCase {
        const char* Name;
        std::vector<std::pair<int, std::string>> Parports; // kernel index, base-addr
        std::optional<std::array<std::uint16_t, 3>> Bios;
        int NumLPTs;
        std::vector<std::uint16_t> Addresses; // slots 1..NumLPTs
    };
    const TCase cases[] = {
        {"LPT1 and LPT2", {{0, "888\t1912\n"}, {1, "632\t0\n"}}, {{0x3BC, 0, 0}}, 2, {0x378, 0x278}},
        {"only LPT2: slot 1 takes its address", {{1, "632\t0\n"}}, std::nullopt, 2, {0x278, 0x278}},
        {"a gap is filled from the slot before",
         {{0, "888\t0\n"}, {2, "956\t0\n"}},
         std::nullopt,
         3,
         {0x378, 0x378, 0x3BC}},
        {"nothing discovered: the BIOS table", {}, {{0x3BC, 0, 0}}, 1, {0x3BC}},
        {"nothing discovered: BIOS LPT1 and LPT2", {}, {{0x378, 0x278, 0}}, 2, {0x378, 0x278}},
        {"nothing anywhere", {}, std::nullopt, 1, {0x378}},
        {"an empty BIOS table", {}, {{0, 0, 0}}, 1, {0x378}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TLptTree tree;
        for (const auto& [index, text] : c.Parports)
            tree.Parport(index, text);
        TSimulated s(tree.Root());
        s.Io->BiosTable = c.Bios;
        s.Lpt->SetActive(1);
        EXPECT_EQ(s.Lpt->Active(), 1);
        EXPECT_EQ(s.Lpt->NumLPTs(), c.NumLPTs);
        for (int i = 1; i <= c.NumLPTs; ++i)
            EXPECT_EQ(s.Lpt->LptAddress(i), c.Addresses[static_cast<std::size_t>(i - 1)]) << "slot " << i;
        EXPECT_EQ(s.Lpt->CurrentLPT(), 1);
        EXPECT_EQ(s.Lpt->BasePortAddress(), c.Addresses[0]);
    }
}

TEST(VicLpt, SelectingASlotMirrorsItsResources) {
    TLptTree tree;
    tree.Parport(0, "888\t1912\n", "7\n", "3\n");
    tree.Parport(1, "632\t0\n", "5\n");
    TSimulated s(tree.Root());
    s.Lpt->SetActive(1);
    EXPECT_EQ(s.Lpt->IrqNumber(), 7);
    EXPECT_EQ(s.Lpt->DMAChannel(), 3);
    EXPECT_TRUE(s.Lpt->Present());
    s.Lpt->SetCurrentLPT(2);
    EXPECT_EQ(s.Lpt->BasePortAddress(), 0x278);
    EXPECT_EQ(s.Lpt->IrqNumber(), 5);
    EXPECT_EQ(s.Lpt->DMAChannel(), 0);
    // Permission is asked for every slot's ranges; none for 0x3BC above +2.
    EXPECT_EQ(s.Io->RequestedRanges().front(), (std::pair<std::uint16_t, std::uint16_t>{0x378, 0x37F}));
    EXPECT_EQ(s.Io->RequestedRanges()[1], (std::pair<std::uint16_t, std::uint16_t>{0x778, 0x77A}));
    s.Lpt->SetActive(0);
    EXPECT_EQ(s.Lpt->IrqNumber(), 0);
    EXPECT_FALSE(s.Lpt->Present());
    EXPECT_EQ(s.Lpt->NumLPTs(), 2); // the table stays until the next open
    EXPECT_EQ(s.Lpt->BasePortAddress(), 0x278);
}

TEST(VicLpt, SlotsWithoutAPortAreRefusedAndLowAddressesNeverReached) {
    // Only LPT3 exists: slots 1 and 2 stay empty after the gap filling.
    TLptTree tree;
    tree.Parport(2, "632\t0\n");
    TSimulated s(tree.Root());
    s.Io->AddPort(0x278, TSimLptKind::Spp);
    s.Lpt->SetActive(1);
    EXPECT_EQ(s.Lpt->NumLPTs(), 3);
    EXPECT_EQ(s.Lpt->LptAddress(1), 0);
    EXPECT_EQ(s.Lpt->MaxLptMode(), LPT_NOT_PRESENT);
    EXPECT_FALSE(s.Lpt->Pin(11));
    s.Lpt->SetPin(2, true);
    s.Lpt->SetDataPort(0x55);
    EXPECT_EQ(s.Lpt->DataPort(), 0xFF);
    EXPECT_EQ(ErrorOf([&] { s.Lpt->SetCurrentLPT(1); }),
              "LPT1 not found: no printer port is known at that slot");
    EXPECT_EQ(ErrorOf([&] { s.Lpt->SetCurrentLPT(5); }),
              "LPT5 not found: no printer port is known at that slot");
    EXPECT_EQ(ErrorOf([&] { s.Lpt->SetCurrentLPT(0); }), "Printer port LPT0 does not exist (LPT1 to LPT7)");
    EXPECT_EQ(ErrorOf([&] { s.Lpt->SetCurrentLPT(8); }), "Printer port LPT8 does not exist (LPT1 to LPT7)");
    EXPECT_EQ(s.Lpt->CurrentLPT(), 1);
    s.Lpt->SetCurrentLPT(3);
    EXPECT_EQ(s.Lpt->MaxLptMode(), LPT_SPP_MODE);
    EXPECT_FALSE(Touched(s.Io->Log(), 0, 0xFF));

    // A port address of 4 from discovery is no port either.
    TLptTree low;
    low.Parport(0, "4\t0\n");
    TSimulated t(low.Root());
    t.Lpt->SetActive(1);
    EXPECT_EQ(t.Lpt->LptAddress(1), 4);
    EXPECT_EQ(ErrorOf([&] { t.Lpt->SetCurrentLPT(1); }),
              "LPT1 not found: no printer port is known at that slot");
    EXPECT_TRUE(t.Io->Log().empty());
}

TEST(VicLpt, SwitchingBackRestoresTheSlotWithoutPortAccess) {
    TLptTree tree;
    tree.Parport(0, "888\t1912\n");
    tree.Parport(1, "632\t0\n");
    TSimulated s(tree.Root());
    s.Io->AddPort(0x378, TSimLptKind::Ecp);
    s.Io->AddPort(0x278, TSimLptKind::Spp);
    s.Lpt->SetActive(1);
    EXPECT_EQ(s.Lpt->MaxLptMode(), LPT_ECP_MODE);
    const std::uint8_t control = s.Lpt->WriteShadow(2);
    const std::uint8_t ecr = s.Lpt->ReadShadow(10);

    s.Lpt->SetCurrentLPT(2);
    EXPECT_EQ(s.Lpt->MaxLptMode(), LPT_SPP_MODE);
    s.Io->ClearLog();
    s.Lpt->SetCurrentLPT(1);
    EXPECT_TRUE(s.Io->Log().empty());
    EXPECT_EQ(s.Lpt->MaxLptMode(), LPT_ECP_MODE);
    EXPECT_EQ(s.Lpt->CurrentLptMode(), LPT_SPP_MODE);
    EXPECT_TRUE(s.Lpt->EPPEnabled());
    EXPECT_EQ(s.Lpt->WriteShadow(2), control);
    EXPECT_EQ(s.Lpt->ReadShadow(10), ecr);

    // The slot that is current is detected again, and its patterns reach the port.
    s.Lpt->SetCurrentLPT(1);
    EXPECT_TRUE(Touched(s.Io->Log(), 0x77A, 0x77A));

    // Closing forgets the saved states: after reopening, slot 2 is detected again.
    s.Lpt->SetActive(0);
    s.Lpt->SetActive(1);
    s.Io->ClearLog();
    s.Lpt->SetCurrentLPT(2);
    EXPECT_TRUE(Touched(s.Io->Log(), 0x278, 0x27A));
}

// ---------------------------------------------------------------- modes

TEST(VicLpt, ModeTestsClassifyEveryKindOfPort) {
    struct TCase {
        const char* Name;
        std::optional<TSimLptKind> Kind; // nullopt: nothing answers
        std::uint16_t Base;
        std::uint8_t Max, Current;
        bool Epp;
    };
    const TCase cases[] = {
        {"ECP (standard mode at power-on)", TSimLptKind::Ecp, 0x378, LPT_ECP_MODE, LPT_SPP_MODE, true},
        {"EPP", TSimLptKind::Epp, 0x378, LPT_EPP_MODE, LPT_EPP_MODE, true},
        {"PS/2", TSimLptKind::Ps2, 0x378, LPT_PS2_MODE, LPT_PS2_MODE, false},
        {"SPP", TSimLptKind::Spp, 0x378, LPT_SPP_MODE, LPT_SPP_MODE, false},
        {"three registers at 0x3BC", TSimLptKind::ThreeRegisters, 0x3BC, LPT_SPP_MODE, LPT_SPP_MODE, false},
        {"PS/2 at 0x3BC (EPP and ECP are not tried)", TSimLptKind::Epp, 0x3BC, LPT_PS2_MODE, LPT_PS2_MODE,
         false},
        {"no port", std::nullopt, 0x378, LPT_NOT_PRESENT, LPT_NOT_PRESENT, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TSimulated s;
        if (c.Kind) s.Io->AddPort(c.Base, *c.Kind);
        s.Io->BiosTable = {{c.Base, 0, 0}};
        s.Lpt->SetActive(1);
        EXPECT_EQ(s.Lpt->MaxLptMode(), c.Max);
        EXPECT_EQ(s.Lpt->CurrentLptMode(), c.Current);
        EXPECT_EQ(s.Lpt->EPPEnabled(), c.Epp);
        if (c.Base == 0x3BC) {
            EXPECT_FALSE(Touched(s.Io->Log(), 0, 0x3BB));
            EXPECT_FALSE(Touched(s.Io->Log(), 0x3BF, 0xFFFF));
            EXPECT_EQ(s.Io->RequestedRanges(),
                      (std::vector<std::pair<std::uint16_t, std::uint16_t>>{{0x3BC, 0x3BE}}));
        }
    }
}

TEST(VicLpt, EcpCurrentModeComesFromTheEcr) {
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {
        {0x14, LPT_SPP_MODE}, {0x34, LPT_PS2_MODE}, {0x54, LPT_FAST_CENTRONIX}, {0x74, LPT_ECP_MODE},
        {0x94, LPT_EPP_MODE}, {0xB4, LPT_ECP_MODE}, {0xD4, LPT_ECP_MODE},       {0xF4, LPT_ECP_MODE},
    };
    for (const auto& [ecr, mode] : cases) {
        TSimulated s;
        s.Io->AddPort(0x378, TSimLptKind::Ecp);
        s.Io->BiosTable = {{0x378, 0, 0}};
        s.Io->Open(1);
        s.Io->SetPort(0x77A, ecr);
        s.Lpt->SetActive(1);
        EXPECT_EQ(s.Lpt->CurrentLptMode(), mode) << int(ecr);
        EXPECT_EQ(s.Io->PortAt(0x378)->EcrMode(), ecr >> 5); // the test puts the ECR back
    }
}

TEST(VicLpt, SettingTheModeWritesTheEcrOfAnEcpPortOnly) {
    TSimulated s;
    s.Io->AddPort(0x378, TSimLptKind::Ecp);
    s.Io->BiosTable = {{0x378, 0, 0}};
    s.Lpt->SetActive(1);
    s.Lpt->SetEcrPort(0x34);
    ASSERT_EQ(s.Lpt->EcrPort(), 0x35);
    s.Io->ClearLog();
    s.Lpt->SetCurrentLptMode(LPT_EPP_MODE);
    EXPECT_EQ(s.Io->Log(), (std::vector<TAccess>{{0x77A, 0x35, false}, {0x77A, 0x95, true}}));
    EXPECT_EQ(s.Lpt->CurrentLptMode(), LPT_EPP_MODE);
    // Modes out of range change nothing.
    s.Io->ClearLog();
    s.Lpt->SetCurrentLptMode(0);
    s.Lpt->SetCurrentLptMode(6);
    EXPECT_TRUE(s.Io->Log().empty());

    for (const TSimLptKind kind : {TSimLptKind::Epp, TSimLptKind::Spp}) {
        TSimulated t;
        t.Io->AddPort(0x378, kind);
        t.Io->BiosTable = {{0x378, 0, 0}};
        t.Lpt->SetActive(1);
        const std::uint8_t before = t.Lpt->CurrentLptMode();
        t.Io->ClearLog();
        t.Lpt->SetCurrentLptMode(LPT_EPP_MODE);
        EXPECT_TRUE(t.Io->Log().empty());
        EXPECT_EQ(t.Lpt->CurrentLptMode(), before);
    }
}

// ---------------------------------------------------------------- pins

TEST(VicLpt, PinReadsOneRegisterWithTheInversions) {
    struct TCase {
        int Pin;
        std::uint16_t Address;
        std::uint8_t Value;
        bool Level;
    };
    const TCase cases[] = {
        {11, 0x379, 0x00, true},  {11, 0x379, 0x80, false}, {10, 0x379, 0x40, true}, {10, 0x379, 0xBF, false},
        {12, 0x379, 0x20, true},  {13, 0x379, 0x10, true},  {15, 0x379, 0x08, true}, {15, 0x379, 0xF7, false},
        {2, 0x378, 0x01, true},   {9, 0x378, 0x7F, false},  {1, 0x37A, 0x00, true},  {1, 0x37A, 0x01, false},
        {14, 0x37A, 0x02, false}, {16, 0x37A, 0x04, true},  {17, 0x37A, 0x00, true},
    };
    for (const auto& c : cases) {
        TScripted s;
        s.Io->Reads[c.Address] = c.Value;
        EXPECT_EQ(s.Lpt->Pin(c.Pin), c.Level) << "pin " << c.Pin << " value " << int(c.Value);
        EXPECT_EQ(s.Io->Log, (std::vector<TAccess>{{c.Address, c.Value, false}}));
    }
    TScripted s;
    EXPECT_FALSE(s.Lpt->Pin(0));
    EXPECT_FALSE(s.Lpt->Pin(18));
    EXPECT_FALSE(s.Lpt->Pin(25));
    s.Lpt->SetPin(0, true);
    s.Lpt->SetPin(18, true);
    EXPECT_TRUE(s.Io->Log.empty());
}

TEST(VicLpt, PinWritesComeFromTheWriteShadowInOneWrite) {
    struct TCase {
        int Pin;
        bool Level;
        std::uint8_t Control; // written to ControlPort first
        std::uint16_t Address;
        std::uint8_t Written;
    };
    const TCase cases[] = {
        {1, true, 0x01, 0x37A, 0x00},
        {1, false, 0x00, 0x37A, 0x01},
        {14, true, 0x0F, 0x37A, 0x0D},
        {14, false, 0x00, 0x37A, 0x02},
        {16, true, 0x00, 0x37A, 0x04},
        {16, false, 0x0F, 0x37A, 0x0B},
        {17, false, 0x00, 0x37A, 0x08},
        {17, true, 0x0F, 0x37A, 0x07},
        {2, true, 0x00, 0x378, 0x01},
        {9, true, 0x00, 0x378, 0x80},
        // status pins: the write goes to the status register's shadow only
        {10, true, 0x00, 0x379, 0x40},
        {11, true, 0x00, 0x379, 0x00},
    };
    for (const auto& c : cases) {
        TScripted s;
        s.Lpt->SetControlPort(c.Control);
        s.Lpt->SetDataPort(0x00);
        s.Lpt->SetStatusPort(0x00);
        // The data register reads back something else: it must not matter.
        s.Io->Reads[0x378] = 0x5A;
        s.Io->Reads[0x37A] = 0xA5;
        s.Io->Log.clear();
        s.Lpt->SetPin(c.Pin, c.Level);
        EXPECT_EQ(s.Io->Log, (std::vector<TAccess>{{c.Address, c.Written, true}})) << "pin " << c.Pin;
    }
    // Pin writes build on each other and on register writes.
    TScripted s;
    s.Lpt->SetDataPort(0x00);
    s.Lpt->SetPin(2, true);
    s.Lpt->SetPin(5, true);
    s.Lpt->SetPin(2, false);
    EXPECT_EQ(s.Lpt->WriteShadow(0), 0x08);
    EXPECT_EQ(s.Io->Log.back(), (TAccess{0x378, 0x08, true}));
}

// ---------------------------------------------------------------- closed

TEST(VicLpt, AClosedPortReadsFFAndDropsWrites) {
    TSimulated s;
    s.Io->AddPort(0x378, TSimLptKind::Ecp);
    EXPECT_EQ(s.Lpt->Active(), 0);
    EXPECT_EQ(s.Lpt->NumLPTs(), 1);
    EXPECT_EQ(s.Lpt->DataPort(), 0xFF);
    EXPECT_FALSE(s.Lpt->Pin(11));
    s.Lpt->SetPin(2, true);
    s.Lpt->SetDataPort(0x12);
    s.Lpt->SetCurrentLptMode(LPT_EPP_MODE);
    EXPECT_TRUE(s.Io->Log().empty());

    s.Io->BiosTable = {{0x378, 0, 0}};
    s.Lpt->SetActive(1);
    s.Lpt->SetActive(0);
    s.Io->ClearLog();
    EXPECT_EQ(s.Lpt->StatusPort(), 0xFF);
    EXPECT_FALSE(s.Lpt->Pin(10));
    EXPECT_TRUE(s.Io->Log().empty());
}

TEST(VicLpt, AnAccessThatCannotOpenLeavesNoSlots) {
    TSimulated s;
    s.Io->BiosTable = {{0x278, 0, 0}};
    s.Lpt->SetActive(1);
    ASSERT_EQ(s.Lpt->BasePortAddress(), 0x278);
    s.Lpt->SetActive(0);
    s.Io->CanOpen = false;
    s.Lpt->SetActive(1);
    EXPECT_EQ(s.Lpt->Active(), 0);
    EXPECT_EQ(s.Lpt->NumLPTs(), 0);
    EXPECT_EQ(s.Lpt->BasePortAddress(), 0x278);
    EXPECT_EQ(s.Lpt->CurrentLPT(), 1);
    // Opening an open access changes nothing.
    s.Io->CanOpen = true;
    s.Lpt->SetActive(1);
    s.Io->ClearLog();
    s.Lpt->SetActive(2);
    EXPECT_EQ(s.Lpt->Active(), 1);
    EXPECT_TRUE(s.Io->Log().empty());
}

// ---------------------------------------------------------------- printer device

TEST(VicLpt, ExclusiveUseOfThePrinterDevice) {
    TSimulated s;
    s.Io->BiosTable = {{0x378, 0x278, 0}};
    s.Io->AddPort(0x378, TSimLptKind::Spp);
    s.Io->AddPort(0x278, TSimLptKind::Spp);
    s.Lpt->SetActive(1);
    s.Io->PrinterBusy = true;
    s.Lpt->SetAcquired(true);
    EXPECT_FALSE(s.Lpt->Acquired());
    s.Io->PrinterBusy = false;
    s.Lpt->SetCurrentLPT(2);
    s.Lpt->SetAcquired(true);
    EXPECT_TRUE(s.Lpt->Acquired());
    EXPECT_EQ(s.Io->AcquiredPrinter(), 2);
    s.Lpt->SetAcquired(false);
    EXPECT_EQ(s.Io->AcquiredPrinter(), 0);
    s.Lpt->SetAcquired(true);
    s.Lpt->SetActive(0); // closing releases it
    EXPECT_FALSE(s.Lpt->Acquired());
    EXPECT_EQ(s.Io->AcquiredPrinter(), 0);
}

} // namespace
