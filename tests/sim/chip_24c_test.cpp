// 24C model against its datasheet behaviour, driven through the I2C interface.
#include "chips/chip_factory.h"
#include "chips/eeprom_24c.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

struct T24C {
    TVirtualClock clock;
    std::unique_ptr<T24CChip> chip;

    explicit T24C(const std::string& name, std::uint8_t pins = 0) {
        TChipOptions options;
        options.AddressPins = pins;
        chip.reset(dynamic_cast<T24CChip*>(MakeChip(name, options).release()));
        chip->AttachClock(&clock);
    }
    // START, the bytes, STOP; the acknowledge of every byte.
    std::vector<bool> Transfer(const std::vector<std::uint8_t>& bytes, bool stop = true) {
        std::vector<bool> acks;
        chip->Start();
        for (auto b : bytes)
            acks.push_back(chip->Write(b));
        if (stop) chip->Stop();
        return acks;
    }
    // Random read of n bytes from the address bytes given.
    std::vector<std::uint8_t> ReadAt(std::uint8_t select, const std::vector<std::uint8_t>& address, int n) {
        chip->Start();
        chip->Write(select);
        for (auto b : address)
            chip->Write(b);
        chip->Start();
        chip->Write(static_cast<std::uint8_t>(select | 1));
        std::vector<std::uint8_t> out;
        for (int i = 0; i < n; ++i)
            out.push_back(chip->Read(i + 1 < n));
        chip->Stop();
        return out;
    }
    void Settle() { clock.Advance(chip->WriteTime()); }
};

struct TSelectCase {
    const char* name;
    std::uint8_t pins;
    std::uint8_t select;
    std::vector<std::uint8_t> address;
    long expected; // byte address written, -1 when the chip does not answer
};

TEST(Chip24C, SelectByteBlockBitsAndPinsChooseTheByte) {
    const TSelectCase cases[] = {
        {"24C16", 0, 0xAE, {0xF3}, 0x7F3},            // A10..A8 in select bits 3..1
        {"24C08", 0, 0xA6, {0x00}, 0x300},            // A9 A8, pin A2 low
        {"24C08", 0, 0xAE, {0x00}, -1},               // pin A2 is low, select says high
        {"24C04", 3, 0xA6, {0x00}, 0x100},            // bus 3: pins A2 A1 = 0 1, bit 1 is A8
        {"24C04", 3, 0xA4, {0x00}, 0x000},            //
        {"24C04", 3, 0xA2, {0x00}, -1},               // A1 pin high, select says low
        {"24C02", 0, 0xA2, {0x10}, -1},               // three pins, all low
        {"24C02", 5, 0xAA, {0x10}, 0x10},             //
        {"24C256", 1, 0xA2, {0x12, 0x34}, 0x1234},    // two address bytes
        {"24C256", 1, 0xA0, {0x12, 0x34}, -1},        //
        {"24C256", 0, 0xA0, {0x92, 0x34}, 0x1234},    // bits above the array are don't care
        {"24C1024", 0, 0xA2, {0x00, 0x00}, 0x10000},  // A16 in bit 1
        {"24C1024", 0, 0xA6, {0x00, 0x00}, -1},       // A1 pin low
        {"24C1024", 2, 0xA6, {0x01, 0x02}, 0x10102},  //
        {"24M01", 6, 0xAE, {0x01, 0x02}, 0x10102},    // A16 in bit 1, E2 E1 in bits 3 and 2
        {"24M01", 6, 0xAC, {0x01, 0x02}, 0x00102},    //
        {"24LC1025", 4, 0xA8, {0x01, 0x02}, 0x10102}, // block select B0 in bit 3, A1 A0 in bits 2, 1
        {"24LC1025", 4, 0xA0, {0x01, 0x02}, 0x00102}, //
        {"24LC1025", 7, 0xAE, {0x01, 0x02}, 0x10102}, //
        {"24LC1025", 7, 0xA8, {0x01, 0x02}, -1},      // A1 A0 pins high, select says low
        {"24LC1025", 0, 0xA8, {0x01, 0x02}, -1},      // A2 not tied high: the part does not work
        {"24C00", 0, 0xAE, {0x13}, 0x03},             // don't-care select bits, 4 address bits
        {"24C01", 0, 0xB0, {0x00}, -1},               // not a 1010 device code
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " select " + std::to_string(c.select));
        T24C t(c.name, c.pins);
        std::vector<std::uint8_t> bytes;
        bytes.reserve(c.address.size() + 2);
        bytes.push_back(c.select);
        for (auto a : c.address)
            bytes.push_back(a);
        bytes.push_back(0x5A);
        const auto acks = t.Transfer(bytes);
        const auto& mem = t.chip->Memory();
        if (c.expected < 0) {
            EXPECT_FALSE(acks[0]);
            EXPECT_EQ(std::count(mem.begin(), mem.end(), 0xFF), static_cast<long>(mem.size()));
            EXPECT_EQ(t.chip->WriteCycles(), 0u);
        } else {
            EXPECT_TRUE(std::all_of(acks.begin(), acks.end(), [](bool a) { return a; }));
            EXPECT_EQ(mem[static_cast<std::size_t>(c.expected)], 0x5A);
            EXPECT_EQ(std::count(mem.begin(), mem.end(), 0xFF), static_cast<long>(mem.size()) - 1);
        }
    }
}

TEST(Chip24C, PageBufferWrapsInsideItsPage) {
    T24C t("24C02"); // page of 4 in the catalogue
    t.Transfer({0xA0, 0x06, 0x11, 0x22, 0x33, 0x44, 0x55});
    const auto& mem = t.chip->Memory();
    EXPECT_EQ(mem[3], 0xFF);
    EXPECT_EQ(mem[4], 0x33);
    EXPECT_EQ(mem[5], 0x44);
    EXPECT_EQ(mem[6], 0x55); // overwrote 0x11
    EXPECT_EQ(mem[7], 0x22);
    EXPECT_EQ(mem[8], 0xFF);
    EXPECT_EQ(t.chip->WriteCycles(), 1u);

    T24C big("24C256"); // page of 64
    std::vector<std::uint8_t> bytes{0xA0, 0x7F, 0xF8};
    for (int i = 0; i < 10; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i));
    big.Transfer(bytes);
    EXPECT_EQ(big.chip->Memory()[0x7FFF], 7);
    EXPECT_EQ(big.chip->Memory()[0x7FC0], 8);
    EXPECT_EQ(big.chip->Memory()[0x7FC1], 9);
    EXPECT_EQ(big.chip->Memory()[0x0000], 0xFF);
}

TEST(Chip24C, NoAcknowledgeDuringTheWriteCycle) {
    T24C t("24C64");
    t.Transfer({0xA0, 0x00, 0x10, 1, 2});
    ASSERT_TRUE(t.chip->Busy());
    EXPECT_EQ(t.Transfer({0xA0}), std::vector<bool>{false});
    EXPECT_EQ(t.Transfer({0xA1}), std::vector<bool>{false});
    t.clock.Advance(t.chip->WriteTime() - 1ns);
    EXPECT_EQ(t.Transfer({0xA0}), std::vector<bool>{false});
    t.clock.Advance(1ns);
    EXPECT_EQ(t.Transfer({0xA0}), std::vector<bool>{true});
    EXPECT_EQ(t.chip->Memory()[0x10], 1);
    EXPECT_EQ(t.chip->Memory()[0x11], 2);
}

TEST(Chip24C, OnlyAStopAfterDataStartsAWrite) {
    T24C t("24C32");
    t.Transfer({0xA0, 0x01, 0x00}); // address only
    EXPECT_EQ(t.chip->WriteCycles(), 0u);
    // Data, then a repeated START: the page is abandoned.
    t.Transfer({0xA0, 0x01, 0x00, 0x77}, false);
    t.chip->Start();
    t.chip->Stop();
    EXPECT_EQ(t.chip->WriteCycles(), 0u);
    EXPECT_EQ(t.chip->Memory()[0x100], 0xFF);
}

TEST(Chip24C, SequentialReadRollsOverAtTheEndOfMemory) {
    T24C t("24C02");
    auto& mem = t.chip->Memory();
    mem[0xFE] = 1;
    mem[0xFF] = 2;
    mem[0x00] = 3;
    mem[0x02] = 4;
    mem[0x03] = 5;
    EXPECT_EQ(t.ReadAt(0xA0, {0xFE}, 4), (std::vector<std::uint8_t>{1, 2, 3, 0xFF}));
    // Current address read continues at 0x02; after the master's
    // not-acknowledge the chip lets go of the bus until the next START.
    t.chip->Start();
    ASSERT_TRUE(t.chip->Write(0xA1));
    EXPECT_EQ(t.chip->Read(false), 4);
    EXPECT_EQ(t.chip->Read(true), 0xFF);
    t.chip->Start();
    ASSERT_TRUE(t.chip->Write(0xA1));
    EXPECT_EQ(t.chip->Read(false), 5);
}

TEST(Chip24C, The24C00WritesOneByteAndKeepsPointingAtIt) {
    T24C t("24C00");
    t.chip->Memory()[6] = 0x66;
    t.Transfer({0xA0, 0x05, 0x11, 0x22, 0x33});
    EXPECT_EQ(t.chip->Memory()[5], 0x33);
    EXPECT_EQ(t.chip->Memory()[6], 0x66);
    t.Settle();
    // Current address read: the byte just written.
    t.chip->Start();
    ASSERT_TRUE(t.chip->Write(0xA1));
    EXPECT_EQ(t.chip->Read(false), 0x33);
}

} // namespace
