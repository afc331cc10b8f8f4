// Printer port discovery on fixture trees of /proc: the parport entries, the
// /proc/ioports fall-back, ranges, interrupts, DMA channels and what does not
// match.
#include "lpt_tree.h"
#include "ports/find_lpt.h"

#include <gtest/gtest.h>

namespace {

struct TFound {
    bool Found;
    int Ports;
    std::uint16_t Base1, End1, Base2, End2;
    int Irqs, Irq, Dmas, Dma;
};

TFound Search(TFindLpt& f, int n) {
    const bool found = f.SearchLpt(static_cast<std::uint8_t>(n));
    return {found,        f.PortCounter(), f.PortBase(1), f.PortEnd(1),   f.PortBase(2),
            f.PortEnd(2), f.IRQCounter(),  f.IRQNumber(), f.DMACounter(), f.DMAChannel()};
}

void ExpectFound(const TFound& got, const TFound& want) {
    EXPECT_EQ(got.Found, want.Found);
    EXPECT_EQ(got.Ports, want.Ports);
    if (want.Ports >= 1) {
        EXPECT_EQ(got.Base1, want.Base1);
        EXPECT_EQ(got.End1, want.End1);
    }
    if (want.Ports >= 2) {
        EXPECT_EQ(got.Base2, want.Base2);
        EXPECT_EQ(got.End2, want.End2);
    }
    EXPECT_EQ(got.Irqs, want.Irqs);
    if (want.Irqs) {
        EXPECT_EQ(got.Irq, want.Irq);
    }
    EXPECT_EQ(got.Dmas, want.Dmas);
    if (want.Dmas) {
        EXPECT_EQ(got.Dma, want.Dma);
    }
}

TEST(FindLpt, ParportEntries) {
    struct TCase {
        const char* Name;
        std::string BaseAddr, Irq, Dma;
        TFound Want;
    };
    const TCase cases[] = {
        // base 0x378 with its ECP range at 0x778, interrupt 7, no DMA
        {"two ranges", "888\t1912\n", "7\n", "-1\n", {true, 2, 0x378, 0x37F, 0x778, 0x77A, 1, 7, 0, 0}},
        {"one range", "888\t0\n", "7\n", "-1\n", {true, 1, 0x378, 0x37F, 0, 0, 1, 7, 0, 0}},
        {"base only", "632\n", "-1\n", "3\n", {true, 1, 0x278, 0x27F, 0, 0, 0, 0, 1, 3}},
        {"three-register port", "956\t0\n", "", "", {true, 1, 0x3BC, 0x3BE, 0, 0, 0, 0, 0, 0}},
        {"no irq or dma files", "888\t1912\n", "", "", {true, 2, 0x378, 0x37F, 0x778, 0x77A, 0, 0, 0, 0}},
        {"unreadable irq", "888\t0\n", "seven\n", "5 6\n", {true, 1, 0x378, 0x37F, 0, 0, 0, 0, 0, 0}},
        {"interrupt out of range", "888\t0\n", "300\n", "-2\n", {true, 1, 0x378, 0x37F, 0, 0, 0, 0, 0, 0}},
        {"garbage base", "0x378\n", "7\n", "", {false, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"zero base", "0\t0\n", "7\n", "", {false, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"base beyond 16 bits", "65536\t0\n", "7\n", "", {false, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"trailing text", "888\t1912 x\n", "7\n", "", {false, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"longer than 512 bytes",
         "888\t1912" + std::string(600, ' ') + "\n",
         "7\n",
         "",
         {false, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TLptTree tree;
        tree.Parport(0, c.BaseAddr, c.Irq, c.Dma);
        TFindLpt f(tree.Root());
        ExpectFound(Search(f, 1), c.Want);
        EXPECT_EQ(f.ClassN(), "LPT1");
    }
}

TEST(FindLpt, SlotNumbersFollowTheKernelsPortNumbers) {
    TLptTree tree;
    tree.Parport(1, "632\t1656\n", "5\n");
    TFindLpt f(tree.Root());
    EXPECT_FALSE(f.SearchLpt(1));
    ExpectFound(Search(f, 2), {true, 2, 0x278, 0x27F, 0x678, 0x67A, 1, 5, 0, 0});
    EXPECT_FALSE(f.SearchLpt(0));
    EXPECT_FALSE(f.SearchLpt(3));
}

TEST(FindLpt, RangesReadZeroxFFFFOutsideTheCounter) {
    TLptTree tree;
    tree.Parport(0, "888\t0\n");
    TFindLpt f(tree.Root());
    ASSERT_TRUE(f.SearchLpt(1));
    EXPECT_EQ(f.PortBase(0), 0xFFFF);
    EXPECT_EQ(f.PortBase(2), 0xFFFF);
    EXPECT_EQ(f.PortEnd(2), 0xFFFF);
    EXPECT_EQ(f.PortBase(-1), 0xFFFF);
}

TEST(FindLpt, ASearchResetsTheCountersNotTheValues) {
    TLptTree tree;
    tree.Parport(0, "888\t1912\n", "7\n", "3\n");
    TFindLpt f(tree.Root());
    ASSERT_TRUE(f.SearchLpt(1));
    EXPECT_FALSE(f.SearchLpt(4));
    EXPECT_EQ(f.ClassN(), "LPT4");
    EXPECT_EQ(f.PortCounter(), 0);
    EXPECT_EQ(f.IRQCounter(), 0);
    EXPECT_EQ(f.DMACounter(), 0);
    EXPECT_EQ(f.PortBase(1), 0xFFFF); // no range counted
    EXPECT_EQ(f.IRQNumber(), 7);      // the value stays, its counter says it is stale
    EXPECT_EQ(f.DMAChannel(), 3);
}

TEST(FindLpt, IoportsWhenTheParportEntriesAreMissing) {
    TLptTree tree;
    tree.Ioports("0000-0cf7 : PCI Bus 0000:00\n"
                 "  0000-001f : dma1\n"
                 "  0278-027a : parport10\n"
                 "  02f8-02ff : serial\n"
                 "  0378-037a : parport0\n"
                 "  037b-037f : parport0\n"
                 "  03f8-03ff : serial\n"
                 "  0778-077a : parport0\n");
    TFindLpt f(tree.Root());
    // The third range of parport0 is not kept and overwrites nothing.
    ExpectFound(Search(f, 1), {true, 2, 0x378, 0x37A, 0x37B, 0x37F, 0, 0, 0, 0});
    // "parport10" is not "parport1"; a serial port is no printer port.
    EXPECT_FALSE(f.SearchLpt(2));
    ExpectFound(Search(f, 11), {true, 1, 0x278, 0x27A, 0, 0, 0, 0, 0, 0});
}

TEST(FindLpt, IoportsWithoutTheRightsToSeeAddresses) {
    TLptTree tree;
    tree.Ioports("  0000-0000 : parport0\n  0000-0000 : parport0\n");
    TFindLpt f(tree.Root());
    EXPECT_FALSE(f.SearchLpt(1));
    EXPECT_EQ(f.PortCounter(), 0);
}

TEST(FindLpt, AnUnreadableParportEntryFallsBackToIoports) {
    TLptTree tree;
    tree.Parport(0, "nonsense\n", "7\n");
    tree.Ioports("  0378-037a : parport0\n");
    TFindLpt f(tree.Root());
    ExpectFound(Search(f, 1), {true, 1, 0x378, 0x37A, 0, 0, 0, 0, 0, 0});
}

TEST(FindLpt, MalformedIoportsLinesAreSkipped) {
    TLptTree tree;
    tree.Ioports("parport0\n"
                 "  0378 : parport0\n"
                 "  0378-zz : parport0\n"
                 "  0378-037a parport0\n"
                 "  037a-0378 : parport0\n"
                 "  123456-123457 : parport0\n"
                 "  0278-027a :parport0  \r\n");
    TFindLpt f(tree.Root());
    ExpectFound(Search(f, 1), {true, 1, 0x278, 0x27A, 0, 0, 0, 0, 0, 0});
}

TEST(FindLpt, NothingToSearch) {
    TLptTree tree;
    TFindLpt empty(tree.Root());
    TFindLpt none("");
    for (int n = 1; n <= 7; ++n) {
        EXPECT_FALSE(empty.SearchLpt(static_cast<std::uint8_t>(n)));
        EXPECT_FALSE(none.SearchLpt(static_cast<std::uint8_t>(n)));
    }
}

} // namespace
