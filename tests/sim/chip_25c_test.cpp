// 25C model against its datasheet behaviour, driven through the SPI interface.
#include "chips/chip_factory.h"
#include "chips/eeprom_25c.h"

#include <gtest/gtest.h>

namespace {

struct T25C {
    TVirtualClock clock;
    std::unique_ptr<T25CChip> chip;

    explicit T25C(const std::string& name, std::uint8_t status = 0) {
        TChipOptions options;
        options.Status = status;
        chip.reset(dynamic_cast<T25CChip*>(MakeChip(name, options).release()));
        chip->AttachClock(&clock);
    }
    // One selection: /CS low, the bytes, /CS high; what came back on SO.
    std::vector<std::uint8_t> Op(const std::vector<std::uint8_t>& bytes) {
        std::vector<std::uint8_t> out;
        chip->Select(true);
        for (auto b : bytes)
            out.push_back(chip->Transfer(b));
        chip->Select(false);
        return out;
    }
    std::uint8_t Rdsr() { return Op({0x05, 0xFF})[1]; }
    void WriteEnabled(const std::vector<std::uint8_t>& bytes) {
        Op({0x06});
        Op(bytes);
        clock.Advance(chip->WriteTime());
    }
};

TEST(Chip25C, WritesNeedTheWriteEnableLatch) {
    T25C t("25C040");
    t.Op({0x02, 0x10, 0xAA});
    EXPECT_EQ(t.chip->Memory()[0x10], 0xFF);
    EXPECT_EQ(t.chip->WriteCycles(), 0u);

    t.Op({0x06});
    EXPECT_EQ(t.Rdsr(), 0x02); // WEL
    t.Op({0x04});
    EXPECT_EQ(t.Rdsr(), 0x00); // WRDI cleared it
    t.Op({0x06});
    t.Op({0x02, 0x10, 0xAA});
    EXPECT_EQ(t.chip->Memory()[0x10], 0xAA);
    EXPECT_EQ(t.Rdsr(), 0x01); // WIP, WEL cleared by the write
    t.clock.Advance(t.chip->WriteTime());
    EXPECT_EQ(t.Rdsr(), 0x00);
}

TEST(Chip25C, InstructionAndAddressBytesByPartSize) {
    struct TCase {
        const char* name;
        std::vector<std::uint8_t> write; // instruction and address
        std::size_t expected;
    } cases[] = {
        {"25C040", {0x0A, 0x00}, 0x100},        // A8 in bit 3 of WRITE
        {"25C040", {0x02, 0xF0}, 0x0F0},        //
        {"25C020", {0x0A, 0x10}, 0x010},        // bit 3 means nothing below 512 bytes
        {"25C010", {0x02, 0x85}, 0x005},        // address bits above the array: don't care
        {"25C256", {0x02, 0x7F, 0xC0}, 0x7FC0}, // two address bytes
        {"25HP512", {0x02, 0xFF, 0x80}, 0xFF80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        T25C t(c.name);
        auto bytes = c.write;
        bytes.push_back(0x3C);
        t.WriteEnabled(bytes);
        EXPECT_EQ(t.chip->Memory()[c.expected], 0x3C);
        EXPECT_EQ(std::count(t.chip->Memory().begin(), t.chip->Memory().end(), 0xFF),
                  static_cast<long>(t.chip->Size()) - 1);
        // READ with the same address rule (0x03 / 0x0B).
        auto read = c.write;
        read[0] = static_cast<std::uint8_t>(read[0] + 1);
        read.push_back(0xFF);
        EXPECT_EQ(t.Op(read).back(), 0x3C);
    }
}

TEST(Chip25C, PageDataWrapsInsideItsPage) {
    T25C t("25C040"); // page of 16
    t.WriteEnabled({0x02, 0x1E, 1, 2, 3, 4});
    const auto& mem = t.chip->Memory();
    EXPECT_EQ(mem[0x1E], 1);
    EXPECT_EQ(mem[0x1F], 2);
    EXPECT_EQ(mem[0x10], 3);
    EXPECT_EQ(mem[0x11], 4);
    EXPECT_EQ(mem[0x20], 0xFF);
}

TEST(Chip25C, BlockProtectionIgnoresWritesIntoTheProtectedPart) {
    // BP1:BP0 -> first protected address of a 32 KB part
    const std::size_t from[] = {32768, 24576, 16384, 0};
    for (std::uint8_t bp = 0; bp < 4; ++bp) {
        SCOPED_TRACE(static_cast<int>(bp));
        T25C t("25C256");
        t.WriteEnabled({0x01, static_cast<std::uint8_t>(bp << 2)});
        EXPECT_EQ(t.Rdsr(), bp << 2);
        EXPECT_EQ(t.chip->ProtectedFrom(), from[bp]);
        const auto cyclesBefore = t.chip->WriteCycles();
        if (from[bp] < 32768) {
            const auto a = static_cast<std::uint16_t>(from[bp]);
            t.WriteEnabled({0x02, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), 0x11});
            EXPECT_EQ(t.chip->Memory()[a], 0xFF);
            EXPECT_EQ(t.chip->WriteCycles(), cyclesBefore);
            t.WriteEnabled({0x02, 0x7F, 0xFF, 0x11});
            EXPECT_EQ(t.chip->Memory()[0x7FFF], 0xFF);
        }
        if (from[bp] > 0) {
            const auto a = static_cast<std::uint16_t>(from[bp] - 64);
            t.WriteEnabled({0x02, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), 0x22});
            EXPECT_EQ(t.chip->Memory()[a], 0x22);
        }
    }
}

TEST(Chip25C, StatusRegisterWriteKeepsOnlyWpenAndBlockBits) {
    T25C t("25C640");
    t.Op({0x01, 0x8C}); // without WREN: refused
    EXPECT_EQ(t.Rdsr(), 0x00);
    t.WriteEnabled({0x01, 0xFF});
    EXPECT_EQ(t.Rdsr(), 0x8C);
    // WPEN set and /WP low: the status register is locked.
    t.chip->SetWriteProtectPin(true);
    t.WriteEnabled({0x01, 0x00});
    EXPECT_EQ(t.Rdsr() & 0x8C, 0x8C);
    t.chip->SetWriteProtectPin(false);
    t.WriteEnabled({0x01, 0x00});
    EXPECT_EQ(t.Rdsr(), 0x00);
}

TEST(Chip25C, DuringTheWriteCycleOnlyRdsrIsAccepted) {
    T25C t("25C128");
    t.Op({0x06});
    t.Op({0x02, 0x00, 0x00, 0x01});
    ASSERT_TRUE(t.chip->Busy());
    t.Op({0x06}); // ignored: no WEL
    t.Op({0x02, 0x00, 0x40, 0x02});
    EXPECT_EQ(t.Rdsr(), 0x01);
    EXPECT_EQ(t.Op({0x03, 0x00, 0x00, 0xFF}).back(), 0xFF); // READ ignored too
    t.clock.Advance(t.chip->WriteTime());
    EXPECT_EQ(t.chip->Memory()[0x40], 0xFF);
    EXPECT_EQ(t.Op({0x03, 0x00, 0x00, 0xFF}).back(), 0x01);
}

TEST(Chip25C, SequentialReadRollsOverAtTheEndOfMemory) {
    T25C t("25C080");
    t.chip->Memory()[1023] = 7;
    t.chip->Memory()[0] = 8;
    const auto out = t.Op({0x03, 0x03, 0xFF, 0, 0, 0});
    EXPECT_EQ(out[3], 7);
    EXPECT_EQ(out[4], 8);
    EXPECT_EQ(out[5], 0xFF);
}

} // namespace
