// The SPI NOR model against the parts' datasheet behaviour, driven through
// its SPI interface.
#include "catalogue/device_list.h"
#include "chips/chip_factory.h"
#include "chips/spi_nor.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

struct TNor {
    TVirtualClock clock;
    std::unique_ptr<TSpiNorChip> chip;

    explicit TNor(const std::string& name) {
        chip.reset(dynamic_cast<TSpiNorChip*>(MakeChip(name).release()));
        if (!chip) throw std::runtime_error(name + " is no SPI NOR part");
        chip->AttachClock(&clock);
    }
    std::vector<std::uint8_t> Op(std::vector<std::uint8_t> bytes, std::size_t read = 0) {
        bytes.insert(bytes.end(), read, 0xFF);
        std::vector<std::uint8_t> out;
        chip->Select(true);
        for (auto b : bytes)
            out.push_back(chip->Transfer(b));
        chip->Select(false);
        return {out.end() - static_cast<std::ptrdiff_t>(read), out.end()};
    }
    std::uint8_t Sr(std::uint8_t op = 0x05) { return Op({op}, 1)[0]; }
    // WREN, then the instruction, then the clock past its cycle.
    void Write(const std::vector<std::uint8_t>& bytes) {
        Op({0x06});
        Op(bytes);
        clock.AdvanceTo(chip->BusyUntil());
    }
    std::vector<std::uint8_t> Read(std::uint32_t a, std::size_t n) {
        return Op({0x03, static_cast<std::uint8_t>(a >> 16), static_cast<std::uint8_t>(a >> 8),
                   static_cast<std::uint8_t>(a)},
                  n);
    }
    std::vector<std::uint8_t>& Mem() { return chip->Memory(); }
};

std::vector<std::uint8_t> A3(std::uint8_t op, std::uint32_t a) {
    return {op, static_cast<std::uint8_t>(a >> 16), static_cast<std::uint8_t>(a >> 8),
            static_cast<std::uint8_t>(a)};
}

std::uint32_t Dword(const std::vector<std::uint8_t>& t, std::size_t at) {
    return t[at] | t[at + 1] << 8 | t[at + 2] << 16 | static_cast<std::uint32_t>(t[at + 3]) << 24;
}

TEST(SpiNorChip, EveryPartOfTheDatabaseIsMadeAndAnswersWithItsIds) {
    const auto names = DeviceList().GetDeviceList(TProgrammerSupport{pk_usb}, FAMILY_SPI_FLASH);
    ASSERT_GE(names.size(), 80u);
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        TNor t(name);
        const TSpiFlashPart& p = t.chip->Part();
        EXPECT_EQ(t.chip->Size(), p.Size);
        const auto id = t.Op({0x9F}, 3);
        const std::vector<std::uint8_t> none(3, 0xFF);
        EXPECT_EQ(id, p.JedecId ? std::vector<std::uint8_t>(p.JedecId->begin(), p.JedecId->end()) : none);
        if (p.RemsId) {
            EXPECT_EQ(t.Op(A3(0x90, 0), 2), std::vector<std::uint8_t>(p.RemsId->begin(), p.RemsId->end()));
        }
        // SFDP: signature and density.
        const auto head = t.Op({0x5A, 0, 0, 0, 0}, 8);
        EXPECT_EQ(Dword(head, 0), 0x50444653u);
        const auto basic = t.Op({0x5A, 0, 0, 0x30, 0}, 8);
        EXPECT_EQ(Dword(basic, 4), p.Size * 8 - 1);
    }
}

TEST(SpiNorChip, SfdpTableOfW25Q128JVHasTheFieldsOfTheRealPart) {
    // DWORDs 2, 8 and 9 as a W25Q128JV reports them; DWORD 11 its page size.
    TNor t("W25Q128JV");
    const auto& s = t.chip->Sfdp();
    EXPECT_EQ(Dword(s, 8), 0x10010600u) << "parameter header: BFPT 1.6, 16 DWORDs";
    EXPECT_EQ(Dword(s, 12), 0xFF000030u) << "at 30h";
    EXPECT_EQ(Dword(s, 0x30) & 0x0006FF07u, 0x00002005u) << "4 KiB erase 20h, 3-byte addresses";
    EXPECT_EQ(Dword(s, 0x34), 0x07FFFFFFu);
    EXPECT_EQ(Dword(s, 0x4C), 0x520F200Cu);
    EXPECT_EQ(Dword(s, 0x50), 0xFF00D810u);
    EXPECT_EQ((Dword(s, 0x58) >> 4) & 0xF, 8u);
    // A part with 4-byte instructions says so, and lists them.
    TNor mx("MX25L25635F");
    const auto& m = mx.chip->Sfdp();
    EXPECT_EQ(m[6], 1) << "a second parameter header";
    EXPECT_EQ(Dword(m, 0x10) & 0xFF, 0x84u);
    EXPECT_EQ((Dword(m, 0x30) >> 17) & 3, 1u) << "3- or 4-byte addresses";
    EXPECT_EQ(Dword(m, 0x84), 0xDC5C21u);
}

TEST(SpiNorChip, PageProgramNeedsWelWrapsInsideThePageAndOnlyClearsBits) {
    TNor t("W25Q32JV");
    t.Op({0x02, 0, 0x01, 0x00, 0x12});
    EXPECT_EQ(t.Mem()[0x100], 0xFF) << "no WEL, nothing written";
    EXPECT_EQ(t.chip->PagePrograms(), 0u);

    t.Op({0x06});
    EXPECT_EQ(t.Sr(), 0x02);
    std::vector<std::uint8_t> cmd = A3(0x02, 0x1FE);
    for (std::uint8_t b : {0xA0, 0xA1, 0xA2, 0x0F})
        cmd.push_back(b);
    t.Op(cmd);
    EXPECT_EQ(t.Sr(), 0x01) << "busy, WEL cleared";
    EXPECT_EQ(t.Read(0x1FE, 2), (std::vector<std::uint8_t>{0xFF, 0xFF})) << "reads ignored while busy";
    t.clock.Advance(std::chrono::microseconds(t.chip->Part().PageProgramTypicalUs - 1));
    EXPECT_EQ(t.Sr() & 1, 1);
    t.clock.Advance(1us); // the typical page program time
    EXPECT_EQ(t.Sr(), 0x00);
    EXPECT_EQ(t.Read(0x1FE, 2), (std::vector<std::uint8_t>{0xA0, 0xA1}));
    EXPECT_EQ(t.Read(0x100, 2), (std::vector<std::uint8_t>{0xA2, 0x0F})) << "wrapped to the page start";

    t.Write({0x02, 0, 0x01, 0x00, 0xF0}); // 0xA2 & 0xF0
    EXPECT_EQ(t.Mem()[0x100], 0xA0);
    // An instruction cut in the middle of a byte never reaches the part;
    // one with a byte too many after WREN is not done.
    t.Op({0x06, 0x00});
    EXPECT_EQ(t.Sr(), 0x00);
}

TEST(SpiNorChip, ErasesAreAlignedAndTakeTheirTime) {
    TNor t("W25Q64JV");
    std::fill(t.Mem().begin(), t.Mem().end(), 0x00);
    t.Write(A3(0x20, 0x1234));
    EXPECT_EQ(t.Mem()[0x0FFF], 0x00);
    EXPECT_EQ(t.Mem()[0x1000], 0xFF);
    EXPECT_EQ(t.Mem()[0x1FFF], 0xFF);
    EXPECT_EQ(t.Mem()[0x2000], 0x00);
    const auto before = t.clock.Now();
    t.Op({0x06});
    t.Op(A3(0xD8, 0x30000));
    EXPECT_EQ(t.chip->BusyUntil() - before, 150ms);
    t.clock.AdvanceTo(t.chip->BusyUntil());
    EXPECT_EQ(t.Mem()[0x30000], 0xFF);
    EXPECT_EQ(t.Mem()[0x3FFFF], 0xFF);
    EXPECT_EQ(t.Mem()[0x40000], 0x00);
    t.Write({0xC7});
    EXPECT_EQ(std::count(t.Mem().begin(), t.Mem().end(), 0xFF), static_cast<std::ptrdiff_t>(t.Mem().size()));
    EXPECT_EQ(t.chip->ChipErases(), 1u);
}

TEST(SpiNorChip, BlockProtectionByBpTbSecAndCmp) {
    struct TCase {
        const char* part;
        std::uint8_t sr1, sr2;
        std::uint32_t firstProtected, end; // the protected range [first, end)
    };
    constexpr std::uint32_t M = 1024 * 1024;
    const TCase cases[] = {
        {"W25Q128JV", 0x04, 0x00, 16 * M - 256 * 1024, 16 * M}, // BP0: the upper 1/64
        {"W25Q128JV", 0x18, 0x00, 8 * M, 16 * M},               // BP2 BP1: the upper half
        {"W25Q128JV", 0x24, 0x00, 0, 256 * 1024},               // TB: from the bottom
        {"W25Q128JV", 0x44, 0x00, 16 * M - 4096, 16 * M},       // SEC: a 4 KiB sector
        {"W25Q128JV", 0x1C, 0x00, 0, 16 * M},                   // all
        {"W25Q256JV", 0x10, 0x00, 32 * M - 512 * 1024, 32 * M}, // four BP bits, 64 KiB units
        {"W25Q256JV", 0x24, 0x00, 16 * M, 32 * M},
        {"MX25L6406E", 0x0C, 0x00, 8 * M - 192 * 1024 - 64 * 1024, 8 * M},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.part) + " SR " + std::to_string(c.sr1));
        TNor t(c.part);
        t.chip->SetStatusRegister(0, c.sr1);
        t.chip->SetStatusRegister(1, c.sr2);
        for (std::uint32_t a : {0u, c.firstProtected - 1, c.firstProtected, c.end - 1, c.end}) {
            if (a >= t.chip->Size() || (a == c.firstProtected - 1 && c.firstProtected == 0)) continue;
            EXPECT_EQ(t.chip->Protected(a), a >= c.firstProtected && a < c.end) << a;
        }
    }
    // CMP turns the upper 1/64 into everything but it.
    TNor t("W25Q128JV");
    t.chip->SetStatusRegister(0, 0x04);
    t.chip->SetStatusRegister(1, 0x40);
    EXPECT_TRUE(t.chip->Protected(0));
    EXPECT_FALSE(t.chip->Protected(16 * M - 1));
}

TEST(SpiNorChip, WritesAndErasesOfProtectedBlocksAreSilentlyNotDone) {
    TNor t("W25Q16JV");
    t.chip->SetStatusRegister(0, 0x04); // the upper 64 KiB
    const std::uint32_t top = 0x1F0000;
    std::fill(t.Mem().begin() + top, t.Mem().end(), 0x00);
    t.Write(A3(0x20, top));
    EXPECT_EQ(t.Mem()[top], 0x00) << "an erase cannot raise bits of a protected block";
    EXPECT_EQ(t.Sr(), 0x06) << "not done: WEL is left set, no busy time";
    t.Write({0x02, 0x1F, 0x00, 0x00, 0x55});
    EXPECT_EQ(t.chip->PagePrograms(), 0u);
    t.Write({0x60});
    EXPECT_EQ(t.chip->ChipErases(), 0u) << "no chip erase while a block is protected";
    t.Write({0x02, 0x00, 0x00, 0x00, 0x55});
    EXPECT_EQ(t.Mem()[0], 0x55) << "the unprotected rest takes writes";
}

TEST(SpiNorChip, StatusRegistersWriteTheirBitsUnlessSrpAndWpLockThem) {
    TNor t("W25Q64JV"); // SR2 is written as the second byte of 01h
    t.Write({0x01, 0xFC, 0x42});
    EXPECT_EQ(t.Sr(0x05), 0xFC);
    EXPECT_EQ(t.Sr(0x35), 0x42) << "CMP and QE";
    t.chip->SetWriteProtectPin(true);
    t.Write({0x01, 0x00, 0x00});
    EXPECT_EQ(t.Sr(0x05), 0xFE) << "SRP set and /WP low: locked (WEL left set)";
    t.chip->SetWriteProtectPin(false);
    t.Write({0x01, 0x00});
    EXPECT_EQ(t.Sr(0x05), 0x00);
    EXPECT_EQ(t.Sr(0x35), 0x42) << "one data byte writes SR1 alone";

    TNor jm("W25Q64JV-IM"); // SR2 has a write instruction of its own
    jm.Write({0x31, 0x02});
    EXPECT_EQ(jm.Sr(0x35), 0x02);
    jm.Write({0x01, 0x00, 0x00});
    EXPECT_EQ(jm.Sr(0x35), 0x02) << "01h reaches SR1 only";
}

TEST(SpiNorChip, FourByteAddressesByModeOrByTheirOwnInstructions) {
    constexpr std::uint32_t high = 0x1234567;
    TNor w("W25Q256JV"); // enters a 4-byte mode
    w.Mem()[high] = 0x5A;
    w.Mem()[high & 0xFFFFFF] = 0x11;
    EXPECT_EQ(w.Read(high & 0xFFFFFF, 1)[0], 0x11);
    w.Op({0x13, 0x01, 0x23, 0x45, 0x67}, 1);
    w.Op({0xB7});
    EXPECT_TRUE(w.chip->FourByteMode());
    EXPECT_EQ(w.Op({0x03, 0x01, 0x23, 0x45, 0x67}, 1)[0], 0x5A);
    w.Write({0x02, 0x01, 0x23, 0x45, 0x67, 0x0F});
    EXPECT_EQ(w.Mem()[high], 0x0A);
    w.Op({0xE9});
    EXPECT_FALSE(w.chip->FourByteMode());
    w.Op({0xB7});
    w.chip->PowerOn();
    EXPECT_FALSE(w.chip->FourByteMode()) << "power-up in 3-byte mode";

    TNor mx("MX25L25635F"); // 4-byte instructions of its own
    mx.Mem()[high] = 0x77;
    EXPECT_EQ(mx.Op({0x13, 0x01, 0x23, 0x45, 0x67}, 1)[0], 0x77);
    EXPECT_EQ(mx.Op({0x0C, 0x01, 0x23, 0x45, 0x67, 0x00}, 1)[0], 0x77) << "fast read: a dummy byte";
    mx.Write({0x21, 0x01, 0x23, 0x45, 0x67});
    EXPECT_EQ(mx.Mem()[high], 0xFF);
    mx.Write({0x12, 0x01, 0x23, 0x45, 0x67, 0x33});
    EXPECT_EQ(mx.Mem()[high], 0x33);
    mx.Op({0xB7});
    EXPECT_FALSE(mx.chip->FourByteMode()) << "its entry lists no 4-byte mode";
}

TEST(SpiNorChip, Sst26IsLockedAtPowerUpUntilTheGlobalUnlock) {
    TNor t("SST26VF016B");
    const auto bpr = t.Op({0x72}, 6);
    EXPECT_EQ(bpr, (std::vector<std::uint8_t>{0x55, 0x55, 0xFF, 0xFF, 0xFF, 0xFF}));
    t.Write({0x02, 0x01, 0x00, 0x00, 0x12});
    EXPECT_EQ(t.Mem()[0x10000], 0xFF) << "every block write-locked at power-up";
    EXPECT_EQ(t.Sr() & 0x02, 0x02) << "the refused write left WEL set";
    t.Op({0x04});
    t.Op({0x98});
    EXPECT_EQ(t.Op({0x72}, 6)[0], 0x55) << "98h needs WEL";
    t.Op({0x06});
    t.Op({0x98});
    EXPECT_EQ(t.Op({0x72}, 6), std::vector<std::uint8_t>(6, 0x00));
    t.Write({0x02, 0x01, 0x00, 0x00, 0x12});
    EXPECT_EQ(t.Mem()[0x10000], 0x12);
    // One bit per 64 KiB block, bit 0 the block at 10000h; the 32 KiB and
    // 8 KiB blocks at the ends above them.
    std::vector<std::uint8_t> one(6, 0);
    one[5] = 0x02; // bit 1: the block at 20000h
    t.Op({0x06});
    std::vector<std::uint8_t> wbpr{0x42};
    wbpr.insert(wbpr.end(), one.begin(), one.end());
    t.Op(wbpr);
    t.clock.AdvanceTo(t.chip->BusyUntil());
    EXPECT_TRUE(t.chip->Protected(0x20000));
    EXPECT_TRUE(t.chip->Protected(0x2FFFF));
    EXPECT_FALSE(t.chip->Protected(0x1FFFF));
    EXPECT_FALSE(t.chip->Protected(0x30000));
    EXPECT_EQ(t.Sr() & 0x81, 0x00);
    t.chip->PowerOn();
    EXPECT_TRUE(t.chip->Protected(0x1F0000));
}

TEST(SpiNorChip, FaultsOfTheClipAndTheBus) {
    {
        TNor t("W25Q32JV");
        t.chip->Faults().NeverReady = true;
        t.Write(A3(0x20, 0));
        t.clock.Advance(std::chrono::seconds(100));
        EXPECT_EQ(t.Sr() & 1, 1) << "WIP never clears";
    }
    {
        TNor t("W25Q32JV");
        t.chip->Faults().RemovedAtWrite = 2;
        t.Write({0x02, 0, 0, 0, 0x11});
        t.Write({0x02, 0, 1, 0, 0x22});
        EXPECT_TRUE(t.chip->Removed());
        EXPECT_EQ(t.Mem()[0], 0x11);
        EXPECT_EQ(t.Mem()[0x100], 0xFF) << "the write the clip came off at is not done";
        EXPECT_EQ(t.Op({0x9F}, 3), std::vector<std::uint8_t>(3, 0xFF)) << "SO floats";
    }
    {
        TNor t("W25Q32JV");
        t.chip->Faults().MisoLow = true;
        EXPECT_EQ(t.Op({0x9F}, 3), std::vector<std::uint8_t>(3, 0x00));
    }
    {
        TNor t("W25Q32JV");
        t.chip->Faults().BadContact = true;
        EXPECT_NE(t.Op({0x9F}, 3), t.Op({0x9F}, 3)) << "the id changes from read to read";
    }
}

} // namespace
