// The bus sequences the PC sends for each family, against the unit and its
// chip: replies, memory contents and time.
#include "unit_bench.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using namespace std::chrono_literals;

std::string Page(std::size_t n, int seed) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s.push_back(static_cast<char>((seed * 31 + static_cast<int>(i) * 7) & 0xFF));
    return s;
}

std::string Mem(const TSimChip& chip, std::size_t from, std::size_t n) {
    return {chip.Memory().begin() + static_cast<long>(from),
            chip.Memory().begin() + static_cast<long>(from + n)};
}

// ---------------------------------------------------------------- I2C

TEST(UnitI2C, ProgramsPagesAndReadsThemBackAsThePcDoes) {
    TUnitBench b;
    auto& chip = b.Insert("24C02"); // 256 bytes, pages of 4
    EXPECT_EQ(b.AllAcknowledged({"M00", "Z", "P00", "D05", "%"}), "");
    std::string image;
    for (int a = 0; a < 256; a += 4) {
        const std::string data = Page(4, a);
        image += data;
        // No "x": the page command ends the transfer and waits the delay.
        EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', a}), B({'W', 4}) + data}), "") << a;
    }
    EXPECT_EQ(b.Cmd("$"), "\r");
    EXPECT_EQ(Mem(chip, 0, 256), image);
    EXPECT_EQ(chip.WriteCycles(), 64u);
    // Each page took the 5 ms write delay on the unit's clock.
    EXPECT_GE(b.unit.Clock().Now(), 64 * 5ms);

    // Read back in pages of 4 at 0x10: random read with a repeated start.
    EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', 0x10}), "X", B({'w', 0xA1})}), "");
    EXPECT_EQ(b.Cmd(B({'R', 4})), image.substr(0x10, 4) + "\r");
    EXPECT_EQ(b.Cmd("x"), "\r");
}

TEST(UnitI2C, The24C00IsWrittenByteByByteWithStops) {
    TUnitBench b;
    auto& chip = b.Insert("24C00");
    b.AllAcknowledged({"M00", "Z", "D05", "%"});
    for (int a = 0; a < 16; ++a)
        EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', a}), B({'w', 0x40 + a}), "x"}), "") << a;
    std::string expected;
    for (int a = 0; a < 16; ++a)
        expected.push_back(static_cast<char>(0x40 + a));
    EXPECT_EQ(Mem(chip, 0, 16), expected);
    // Single-byte read: "r" then stop.
    EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', 7}), "X", B({'w', 0xA1})}), "");
    EXPECT_EQ(b.Cmd("r"), "G\r");
    EXPECT_EQ(b.Cmd("x"), "\r");
}

TEST(UnitI2C, Reading24C512AtFFC0) {
    TUnitBench b;
    auto& chip = b.Insert("24C512");
    const std::string data = Page(128, 3);
    std::copy(data.begin(), data.begin() + 64, chip.Memory().begin() + 0xFFC0);
    std::copy(data.begin() + 64, data.end(), chip.Memory().begin());
    b.AllAcknowledged({"M00", "Z"});
    EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', 0xFF}), B({'w', 0xC0}), "X", B({'w', 0xA1})}),
              "");
    // 128 bytes from 0xFFC0: the last 64 of memory, then rolled over to 0.
    EXPECT_EQ(b.Cmd(B({'R', 128})), data + "\r");
    EXPECT_EQ(b.Cmd("x"), "\r");
}

TEST(UnitI2C, AChipStillBusyAfterTheDelayAnswersT) {
    struct TCase {
        int delay;   // "D"
        int writeMs; // chip write cycle
        const char* second;
    } cases[] = {{5, 5, "\r"}, {0, 5, "?T"}, {5, 20, "?T"}, {25, 20, "\r"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.delay) + " ms delay, " + std::to_string(c.writeMs) + " ms write");
        TUnitBench b;
        TChipOptions o;
        o.WriteTime = std::chrono::milliseconds(c.writeMs);
        b.Insert("24C64", o);
        char d[4];
        std::snprintf(d, sizeof d, "D%02X", c.delay);
        b.AllAcknowledged({"M00", "Z", d});
        EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0xA0}), B({'w', 0}), B({'w', 0}), B({'W', 2, 1, 2})}), "");
        EXPECT_EQ(b.Cmd("X"), "\r");
        EXPECT_EQ(b.Cmd(B({'w', 0xA0})), c.second);
    }
}

TEST(UnitI2C, NoAcknowledgeFromAnAbsentOrOtherAddressedChip) {
    TUnitBench empty;
    empty.Cmd("M00");
    EXPECT_EQ(empty.Cmd("X"), "\r");
    EXPECT_EQ(empty.Cmd(B({'w', 0xA0})), "?T");
    EXPECT_EQ(empty.Cmd(B({'R', 2})), B({0xFF, 0xFF, '\r'}));

    TUnitBench b;
    TChipOptions o;
    o.AddressPins = 1;
    b.Insert("24C256", o);
    b.Cmd("M00");
    b.Cmd("X");
    EXPECT_EQ(b.Cmd(B({'w', 0xA0})), "?T");
    b.Cmd("X");
    EXPECT_EQ(b.Cmd(B({'w', 0xA2})), "\r");
    // A page sent to a chip that did not answer is consumed whole.
    b.Cmd("X");
    EXPECT_EQ(b.Cmd(B({'w', 0xA4})), "?T");
    EXPECT_EQ(b.Cmd(B({'W', 3, 1, 2, 3})), "?T");
    EXPECT_EQ(b.Cmd("S"), "VORIZORUV\r");
}

// ---------------------------------------------------------------- SPI

TEST(UnitSPI, ProgramsTheUpperHalfOfA25C040) {
    TUnitBench b;
    auto& chip = b.Insert("25C040");
    EXPECT_EQ(b.AllAcknowledged({"M01", "x", "P00", "D05", "%"}), "");
    const std::string data = Page(16, 9);
    EXPECT_EQ(b.AllAcknowledged(
                  {"X", B({'w', 0x06}), "x", "X", B({'w', 0x0A}), B({'w', 0x00}), B({'W', 16}) + data, "x"}),
              "");
    EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0x06}), "x", "X", B({'w', 0x02}), B({'w', 0xF0}),
                                 B({'W', 16}) + data, "x", "$"}),
              "");
    EXPECT_EQ(Mem(chip, 0x100, 16), data);
    EXPECT_EQ(Mem(chip, 0x0F0, 16), data);
    // Read with 0x0B.
    EXPECT_EQ(b.AllAcknowledged({"X", B({'w', 0x0B}), B({'w', 0x00})}), "");
    EXPECT_EQ(b.Cmd(B({'R', 16})), data + "\r");
    EXPECT_EQ(b.Cmd("x"), "\r");
}

TEST(UnitSPI, TheUnitWaitsItsDelayOnlyAfterWriteInstructions) {
    TUnitBench b;
    b.Insert("25C256");
    b.AllAcknowledged({"M01", "x", "D07"});
    const auto span = [&](std::initializer_list<std::string> cmds) {
        b.link.Drain();
        const TSimTime before = b.unit.Clock().Now();
        for (const auto& c : cmds)
            b.link.Write(c);
        b.ReadAll();
        return b.unit.Clock().Now() - before;
    };
    const auto wren = span({"X", B({'w', 0x06}), "x"});
    const auto write = span({"X", B({'w', 0x02}), B({'w', 0}), B({'w', 0}), B({'W', 2, 1, 2}), "x"});
    EXPECT_LT(wren, 7ms);
    EXPECT_GE(write, 7ms);
}

TEST(UnitSPI, StatusRegisterWriteAndReadAsThePcSendsThem) {
    TUnitBench b;
    auto& chip = b.Insert("25C256");
    b.AllAcknowledged({"M01", "x", "D05"});
    // WriteOptionByte(0x8C)
    EXPECT_EQ(
        b.AllAcknowledged({"%", "X", B({'w', 0x06}), "x", "X", B({'w', 0x01}), B({'w', 0x8C}), "x", "$"}),
        "");
    // ReadOptionByte: "$" before "x".
    EXPECT_EQ(b.AllAcknowledged({"%", "X", B({'w', 0x05})}), "");
    EXPECT_EQ(b.Cmd("r"), B({0x8C, '\r'}));
    EXPECT_EQ(b.AllAcknowledged({"$", "x"}), "");
    // With everything protected a page write changes nothing.
    b.AllAcknowledged({"X", B({'w', 0x06}), "x", "X", B({'w', 0x02}), B({'w', 0}), B({'w', 0}),
                       B({'W', 4, 1, 2, 3, 4}), "x"});
    EXPECT_EQ(Mem(chip, 0, 4), B({0xFF, 0xFF, 0xFF, 0xFF}));
}

// ---------------------------------------------------------------- Microwire

struct TMw : TUnitBench {
    explicit TMw(const std::string& name, int org, TUnitConfig c = {}) : TUnitBench(std::move(c)) {
        TChipOptions o;
        o.Organisation = org;
        Insert(name, o);
        AllAcknowledged({"M02", "x", "%"});
    }
    // writepage(BitSize, two bytes) inside X/x.
    std::string Instruction(int bits, int hi, int lo) {
        return AllAcknowledged({"X", B({'W', bits, hi, lo}), "x"});
    }
};

TEST(UnitMicrowire, WritesAndReadsA93C46x16AsThePcDoes) {
    TMw b("93C46", 16);
    EXPECT_EQ(b.Instruction(9, 0x98, 0x00), ""); // EWEN: 1 00 11 0000
    // Word 5: "W" 9 bits 0xA2 0x80 (1 01 000101), odd byte, even byte, x, Z.
    EXPECT_EQ(b.AllAcknowledged({"X", B({'W', 9, 0xA2, 0x80}), B({'w', 0x12}), B({'w', 0x34}), "x", "Z"}),
              "");
    EXPECT_EQ(Mem(*b.unit.Chip(), 10, 2), B({0x34, 0x12}));
    // Read it back: 1 10 000101.
    EXPECT_EQ(b.AllAcknowledged({"X", B({'W', 9, 0xC2, 0x80})}), "");
    EXPECT_EQ(b.Cmd("r"), B({0x12, '\r'}));
    EXPECT_EQ(b.Cmd("r"), B({0x34, '\r'}));
    EXPECT_EQ(b.Cmd("x"), "\r");
}

TEST(UnitMicrowire, CommandWordsOfOtherGeometries) {
    {
        TMw b("93C46", 8);
        b.unit.Chip()->Memory()[0x7F] = 0x5C;
        EXPECT_EQ(b.AllAcknowledged({"X", B({'W', 10, 0xDF, 0xC0})}), ""); // read 0x7F
        EXPECT_EQ(b.Cmd("r"), B({0x5C, '\r'}));
    }
    {
        TMw b("93C86", 16);
        b.Instruction(13, 0x98, 0x00);
        EXPECT_EQ(
            b.AllAcknowledged({"X", B({'W', 13, 0xBF, 0xF8}), B({'w', 0xAB}), B({'w', 0xCD}), "x", "Z"}), "");
        EXPECT_EQ(Mem(*b.unit.Chip(), 0x7FE, 2), B({0xCD, 0xAB}));
    }
}

TEST(UnitMicrowire, WithoutEwenNothingIsWritten) {
    TMw b("93C66", 16);
    EXPECT_EQ(b.AllAcknowledged({"X", B({'W', 11, 0xA0, 0x20}), B({'w', 1}), B({'w', 2}), "x", "Z"}), "");
    EXPECT_EQ(b.unit.Chip()->WriteCycles(), 0u);
}

TEST(UnitMicrowire, EraseAllThenWriteDisableWithoutAWaitStillDisables) {
    TMw b("93C46", 16);
    std::fill(b.unit.Chip()->Memory().begin(), b.unit.Chip()->Memory().end(), 0x00);
    EXPECT_EQ(b.Instruction(9, 0x98, 0x00), "");
    EXPECT_EQ(b.Instruction(9, 0x90, 0x00), ""); // ERAL
    EXPECT_EQ(b.Instruction(9, 0x80, 0x00), ""); // EWDS: "X" waits for the cycle to end
    const auto& mem = b.unit.Chip()->Memory();
    EXPECT_EQ(std::count(mem.begin(), mem.end(), 0xFF), 128);
    EXPECT_EQ(b.unit.Chip()->WriteCycles(), 1u);
    // Disabled: this write is ignored.
    EXPECT_EQ(b.AllAcknowledged({"X", B({'W', 9, 0xA0, 0x00}), B({'w', 1}), B({'w', 2}), "x", "Z"}), "");
    EXPECT_EQ(b.unit.Chip()->WriteCycles(), 1u);
    EXPECT_EQ(mem[0], 0xFF);
}

TEST(UnitMicrowire, MisuseAndLossOfSyncAreReported) {
    struct TCase {
        std::string name;
        std::string sent;
        std::string reply;
    } cases[] = {
        {"W outside X", B({'W', 9, 0x98, 0x00}), "?M"},
        {"w outside X", B({'w', 0x00}), "?M"},
        {"r outside X", "r", B({0xFF, '?', 'M'})},
        {"R outside X", B({'R', 2}), B({0xFF, 0xFF, '?', 'M'})},
        {"17 bits", "X" + B({'W', 17, 0xC0, 0, 0}), "\r?M"},
        {"0 bits", "X" + B({'W', 0}), "\r?M"},
        {"read one bit short", "X" + B({'W', 9, 0xDF, 0xC0}), "\r?m"}, // x8 part needs 10
    };
    for (const auto& c : cases) {
        TMw b("93C46", 8);
        EXPECT_EQ(b.Cmd(c.sent), c.reply) << c.name;
        EXPECT_EQ(b.Cmd("S"), "VORIZORUV\r") << c.name; // framing intact
    }
    // No chip: no dummy 0 after a read instruction.
    TUnitBench empty;
    empty.AllAcknowledged({"M02", "x"});
    EXPECT_EQ(empty.Cmd("X" + B({'W', 10, 0xDF, 0xC0})), "\r?m");
}

TEST(UnitMicrowire, AWriteCycleLongerThanTheReadyTimeoutAnswersT) {
    TUnitBench b;
    TChipOptions o;
    o.WriteTime = 80ms; // the unit waits 50 ms
    b.Insert("93C46", o);
    b.AllAcknowledged({"M02", "x", "X", B({'W', 9, 0x98, 0x00}), "x"});
    EXPECT_EQ(b.AllAcknowledged({"X", B({'W', 9, 0xA0, 0x00}), B({'w', 1}), B({'w', 2}), "x"}), "");
    const TSimTime sent = b.link.Clock().Now();
    EXPECT_EQ(b.Cmd("Z"), "?T");
    // "Z" on the line, the unit's 50 ms ready time-out, two reply bytes.
    EXPECT_EQ(b.link.Clock().Now(), sent + 50ms + 3 * b.link.ByteTime());
}

} // namespace
