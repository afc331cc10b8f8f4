// 93C model against its datasheet behaviour, driven bit by bit through the
// Microwire interface.
#include "chips/chip_factory.h"
#include "chips/eeprom_93c.h"

#include <gtest/gtest.h>

namespace {

struct T93C {
    TVirtualClock clock;
    std::unique_ptr<T93CChip> chip;

    T93C(const std::string& name, int org) {
        TChipOptions options;
        options.Organisation = org;
        chip.reset(dynamic_cast<T93CChip*>(MakeChip(name, options).release()));
        chip->AttachClock(&clock);
    }
    // Clocks Value's low Width bits, most significant first; DO after each.
    std::vector<bool> Bits(std::uint32_t Value, int Width) {
        std::vector<bool> out;
        for (int i = Width - 1; i >= 0; --i)
            out.push_back(chip->Clock(((Value >> i) & 1) != 0));
        return out;
    }
    // A whole instruction between CS high and CS low.
    void Instruction(std::uint32_t Value, int Width) {
        chip->Select(true);
        Bits(Value, Width);
        chip->Select(false);
    }
    int A() const { return chip->AddressBits(); }
    int W() const { return chip->Organisation() == 8 ? 8 : 16; }
    void Ewen() { Instruction((0b10011u << (A() - 2)), 3 + A()); }
    void Ewds() { Instruction((0b10000u << (A() - 2)), 3 + A()); }
    void Write(std::uint32_t Address, std::uint32_t Data) {
        chip->Select(true);
        Bits((0b101u << A()) | Address, 3 + A());
        Bits(Data, W());
        chip->Select(false);
        clock.Advance(chip->WriteTime());
    }
    // READ: returns the dummy bit and the data of Count words.
    std::pair<bool, std::vector<std::uint32_t>> Read(std::uint32_t Address, int Count = 1) {
        chip->Select(true);
        const bool dummy = Bits((0b110u << A()) | Address, 3 + A()).back();
        std::vector<std::uint32_t> words;
        for (int k = 0; k < Count; ++k) {
            std::uint32_t w = 0;
            for (bool b : Bits(0, W()))
                w = (w << 1) | (b ? 1u : 0u);
            words.push_back(w);
        }
        chip->Select(false);
        return {dummy, words};
    }
};

TEST(Chip93C, AddressWidthOfEveryPartMatchesTheCommandGeometry) {
    // Command length in bits (start bit, opcode, address) the PC uses.
    struct TCase {
        const char* name;
        int x8, x16;
    } cases[] = {{"93C06", 10, 9},  {"93C46", 10, 9},  {"93C56", 12, 11}, {"93C57", 11, 10},
                 {"93C66", 12, 11}, {"93C76", 14, 13}, {"93C86", 14, 13}};
    for (const auto& c : cases) {
        for (int org : {8, 16}) {
            SCOPED_TRACE(std::string(c.name) + (org == 8 ? " x8" : " x16"));
            T93C t(c.name, org);
            EXPECT_EQ(3 + t.A(), org == 8 ? c.x8 : c.x16);
            // The last location, written and read back.
            const std::uint32_t last = static_cast<std::uint32_t>(t.chip->Size() / (org / 8) - 1);
            const std::uint32_t data = org == 8 ? 0xA5 : 0xA55A;
            t.Ewen();
            t.Write(last, data);
            const auto [dummy, words] = t.Read(last);
            EXPECT_FALSE(dummy);
            EXPECT_EQ(words[0], data);
            const auto& mem = t.chip->Memory();
            if (org == 8) {
                EXPECT_EQ(mem.back(), 0xA5);
            } else {
                EXPECT_EQ(mem[mem.size() - 2], 0x5A); // low byte at the even address
                EXPECT_EQ(mem.back(), 0xA5);
            }
            EXPECT_EQ(std::count(mem.begin(), mem.end(), 0xFF), static_cast<long>(mem.size()) - (org / 8));
        }
    }
}

TEST(Chip93C, ReadGivesADummyZeroThenWordsWithoutFurtherDummies) {
    T93C t("93C46", 16);
    auto& mem = t.chip->Memory();
    mem[10] = 0x34; // word 5
    mem[11] = 0x12;
    mem[12] = 0x78; // word 6
    mem[13] = 0x56;
    t.chip->Select(true);
    const auto out = t.Bits(0b110000101, 9);
    // DO is high impedance (reads 1) until the last address bit brings the dummy 0.
    EXPECT_TRUE(out[7]);
    EXPECT_FALSE(out[8]);
    t.chip->Select(false);
    const auto [dummy, words] = t.Read(5, 2);
    EXPECT_FALSE(dummy);
    EXPECT_EQ(words, (std::vector<std::uint32_t>{0x1234, 0x5678}));
    // Sequential read rolls over from the last word to word 0.
    mem[0] = 0xCD;
    mem[1] = 0xAB;
    EXPECT_EQ(t.Read(63, 2).second[1], 0xABCDu);
}

TEST(Chip93C, ProgrammingNeedsEwenAndEwdsEndsIt) {
    T93C t("93C56", 8);
    t.Write(3, 0x11);
    EXPECT_EQ(t.chip->Memory()[3], 0xFF);
    EXPECT_EQ(t.chip->WriteCycles(), 0u);
    t.Ewen();
    EXPECT_TRUE(t.chip->WriteEnabled());
    t.Write(3, 0x11);
    EXPECT_EQ(t.chip->Memory()[3], 0x11);
    // ERASE one location, then WRAL and ERAL.
    t.Instruction((0b111u << t.A()) | 3, 3 + t.A());
    t.clock.Advance(t.chip->WriteTime());
    EXPECT_EQ(t.chip->Memory()[3], 0xFF);
    t.chip->Select(true);
    t.Bits(0b10001u << (t.A() - 2), 3 + t.A());
    t.Bits(0x5A, 8);
    t.chip->Select(false);
    t.clock.Advance(t.chip->WriteTime());
    EXPECT_EQ(std::count(t.chip->Memory().begin(), t.chip->Memory().end(), 0x5A), 256);
    t.Instruction(0b10010u << (t.A() - 2), 3 + t.A());
    t.clock.Advance(t.chip->WriteTime());
    EXPECT_EQ(std::count(t.chip->Memory().begin(), t.chip->Memory().end(), 0xFF), 256);
    t.Ewds();
    t.Write(4, 0x22);
    EXPECT_EQ(t.chip->Memory()[4], 0xFF);
}

TEST(Chip93C, BusyOnDataOutWhileTheCycleRunsAndInstructionsIgnored) {
    T93C t("93C66", 16);
    t.Ewen();
    t.chip->Select(true);
    t.Bits((0b101u << t.A()) | 7, 3 + t.A());
    t.Bits(0xBEEF, 16);
    t.chip->Select(false); // the cycle starts here
    t.chip->Select(true);
    EXPECT_FALSE(t.chip->DataOut());
    // A WRITE now is ignored.
    t.Bits((0b101u << t.A()) | 8, 3 + t.A());
    t.Bits(0x1111, 16);
    t.chip->Select(false);
    t.clock.Advance(t.chip->WriteTime());
    t.chip->Select(true);
    EXPECT_TRUE(t.chip->DataOut());
    t.chip->Select(false);
    EXPECT_EQ(t.Read(7).second[0], 0xBEEFu);
    EXPECT_EQ(t.Read(8).second[0], 0xFFFFu);
}

TEST(Chip93C, ZerosBeforeTheStartBitAreIgnored) {
    T93C t("93C86", 8);
    t.chip->Memory()[0x2AA] = 0x42;
    t.chip->Select(true);
    t.Bits(0, 5);
    t.Bits((0b110u << t.A()) | 0x2AA, 3 + t.A());
    std::uint32_t w = 0;
    for (bool b : t.Bits(0, 8))
        w = (w << 1) | (b ? 1u : 0u);
    t.chip->Select(false);
    EXPECT_EQ(w, 0x42u);
}

} // namespace
