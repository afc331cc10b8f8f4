// The SPI flash algorithms on each kind that drives SPI (the simulated
// programmer unit, the CH341A on its emulated board) across parts: a
// 3-byte part of each common maker, a 4-byte one, an SST26 with its global
// unlock and a part the database does not know, found through its SFDP
// table. Then the faults: the clip coming off during a write, a protected
// part, a part that never clears WIP, and the answers detection names.
#include "catalogue/device_list.h"
#include "chips/chip_factory.h"
#include "errors/errors.h"
#include "programmer/algorithms/spi_flash_detect.h"
#include "spi_flash_rig.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

const TFlashKind kKinds[] = {TFlashKind::Unit, TFlashKind::Ch341a};

std::uint8_t Pattern(std::uint32_t a) {
    return static_cast<std::uint8_t>((a * 2654435761u) >> 24);
}

// A chip of Part's entry that answers 9Fh with an id nobody lists.
std::unique_ptr<TSpiNorChip> UnknownChip(const std::string& Part, std::array<std::uint8_t, 3> Id) {
    TSpiFlashPart p = *SpiFlashDatabase().Find(Part);
    p.JedecId = Id;
    return std::make_unique<TSpiNorChip>(p);
}

struct TPartCase {
    const char* device; // selected, and in the socket
    bool unknownId;     // the socket's part answers with an id the database lacks
    const char* found;  // what detection names
};

class SpiFlashKindsTest : public ::testing::TestWithParam<std::tuple<TFlashKind, TPartCase>> {};

TEST_P(SpiFlashKindsTest, DetectSmartProgramReadAndVerifyTheTopBlocks) {
    const auto [kind, c] = GetParam();
    TSimOptions options;
    TFlashRig rig(kind, c.device, options);
    if (c.unknownId) rig.Insert(UnknownChip(c.device, {0xEF, 0x40, 0x99}));
    TSpiNorChip& chip = *rig.Chip();

    const TSpiFlashDetection d = SpiFlashDetect(rig.Bus(), SpiFlashDatabase());
    ASSERT_TRUE(d.Part) << d.Text();
    EXPECT_EQ(d.Part->Name, c.found);
    EXPECT_EQ(d.FromSfdp, c.unknownId);
    EXPECT_EQ(d.Part->Size, chip.Part().Size);
    if (c.unknownId) {
        EXPECT_NE(d.Warning.find("not in the parts database: described by its SFDP table"),
                  std::string::npos);
        EXPECT_EQ(d.Part->Maker, "Winbond");
        EXPECT_EQ(d.Part->Erases.size(), chip.Part().Erases.size());
        EXPECT_EQ(d.Part->PageSize, chip.Part().PageSize);
    }

    // The last three erase blocks: one that needs an erase, one that holds
    // its data already, one blank that only needs programming.
    TSpiFlashParameters p = rig.Parameters(d.Part.get());
    const std::uint32_t size = d.Part->Size, bs = d.Part->LargestErase()->Size;
    const std::uint32_t from = size - 3 * bs;
    auto& mem = chip.Memory();
    for (std::uint32_t a = from; a < size; ++a)
        rig.Buffer.HexData[a] = (a - from) % 4096 < 256 ? 0xFF : Pattern(a); // a blank page in each 4 KiB
    std::fill(mem.begin() + from, mem.begin() + from + bs, 0x00);
    std::copy_n(rig.Buffer.HexData.begin() + from + bs, bs, mem.begin() + from + bs);

    if (chip.Part().Protection == TSpiProtection::Sst26) {
        // Locked at power-up: refused, then unlocked on request.
        TSpiFlashAlgorithms refused(rig.Bus(), p);
        const std::string m = MessageOf([&] { refused.ProgramRange(rig.Buffer, from, size); });
        EXPECT_NE(m.find("is write-protected: block protection register 5555FFFF"), std::string::npos) << m;
        EXPECT_EQ(chip.PagePrograms() + chip.BlockErases(), 0u);
        p.Unprotect = true;
    }
    TSpiFlashAlgorithms flash(rig.Bus(), p);
    const TSpiFlashReport report = flash.ProgramRange(rig.Buffer, from, size);
    EXPECT_EQ(report.Erased, 1);
    EXPECT_EQ(report.Programmed, 2);
    EXPECT_EQ(report.Skipped, 1);
    EXPECT_TRUE(std::equal(mem.begin() + from, mem.end(), rig.Buffer.HexData.begin() + from));
    const std::size_t first = from / bs;
    for (std::size_t b = 0; b < report.Blocks.size(); ++b)
        EXPECT_EQ(report.Blocks[b], b >= first ? TSpiBlockState::Verified : TSpiBlockState::Untouched) << b;
    EXPECT_EQ(rig.Buffer.StatusArray()[size - 1], TProgStatus(ps_verified));
    EXPECT_NE(rig.LogText().find("Blocks erased 1, programmed 2, skipped 1 of "), std::string::npos)
        << rig.LogText();
    // Only the pages that differ are programmed: a blank one is passed over.
    const std::uint32_t pages = bs / d.Part->PageSize;
    EXPECT_EQ(chip.PagePrograms(), 2 * (pages - bs / 4096 * (256 / d.Part->PageSize)));
    EXPECT_FALSE(chip.FourByteMode()) << "the 4-byte mode is left at the end";

    // Read back into another buffer; a byte changed on the chip fails the verify.
    THexList back;
    back.SetSizeof(size);
    flash.ReadRange(back, from, size);
    EXPECT_TRUE(
        std::equal(back.HexData.begin() + from, back.HexData.end(), rig.Buffer.HexData.begin() + from));
    mem[size - 2] ^= 0x10;
    EXPECT_EQ(MessageOf([&] { flash.VerifyRange(rig.Buffer, from, size); }),
              "EVerifyError: EEPROM: Verification Failed - 1 bytes had errors");
    EXPECT_EQ(rig.Buffer.StatusArray()[size - 2], TProgStatus(ps_failed));
    EXPECT_FALSE(chip.FourByteMode());
}

const TPartCase kParts[] = {
    {"W25Q32JV", false, "W25Q32JV"},       {"MX25L6406E", false, "MX25L6406E"},
    {"GD25Q128C", false, "GD25Q128C"},     {"W25Q256JV", false, "W25Q256JV"}, // 4-byte mode, entered and left
    {"MX25L25635F", false, "MX25L25635F"},                                    // 4-byte instructions
    {"SST26VF016B", false, "SST26VF016B"}, {"W25Q16JV", true, "SFDP EF4099"},
};

INSTANTIATE_TEST_SUITE_P(KindsAndParts, SpiFlashKindsTest,
                         ::testing::Combine(::testing::ValuesIn(kKinds), ::testing::ValuesIn(kParts)),
                         [](const auto& Info) {
                             std::string part = std::get<1>(Info.param).device;
                             if (std::get<1>(Info.param).unknownId) part = "UnknownId";
                             return std::string(KindName(std::get<0>(Info.param))) + "_" + part;
                         });

class SpiFlashFaultsTest : public ::testing::TestWithParam<TFlashKind> {};

TEST_P(SpiFlashFaultsTest, ClipOffMidWriteReportsTheBlocksLeftErased) {
    TFlashRig rig(GetParam(), "W25Q32JV");
    TSpiNorChip& chip = *rig.Chip();
    const std::uint32_t size = chip.Part().Size, bs = 65536, from = size - 2 * bs;
    std::fill(chip.Memory().begin() + from, chip.Memory().end(), 0x00);
    for (std::uint32_t a = from; a < size; ++a)
        rig.Buffer.HexData[a] = Pattern(a);
    chip.Faults().RemovedAtWrite = 3; // the erase and one page go in, then the clip is off
    TSpiFlashAlgorithms flash(rig.Bus(), rig.Parameters());
    const std::string m = MessageOf([&] { flash.ProgramRange(rig.Buffer, from, size); });
    EXPECT_NE(
        m.find("The W25Q32JV stopped answering during the page program at 3E0100h (its status register reads "
               "FFh): the clip came off"),
        std::string::npos)
        << m;
    EXPECT_EQ(flash.LastReport().Blocks[62], TSpiBlockState::Erased);
    EXPECT_EQ(flash.LastReport().Blocks[63], TSpiBlockState::Untouched);
    EXPECT_NE(rig.LogText().find("Programming stopped: blocks 0-61 (000000-3DFFFF) untouched; block 62 "
                                 "(3E0000-3EFFFF) erased, programming not finished; block 63 (3F0000-3FFFFF) "
                                 "untouched"),
              std::string::npos)
        << rig.LogText();
}

TEST_P(SpiFlashFaultsTest, AProtectedPartIsRefusedAndAWpPinHoldingSrpIsNamed) {
    TFlashRig rig(GetParam(), "W25Q128JV");
    TSpiNorChip& chip = *rig.Chip();
    chip.SetStatusRegister(0, 0x1C); // BP2 BP1 BP0: everything
    // Through the driver, as a program command runs it: refused before anything is read or written.
    const std::string m = MessageOf([&] { rig.Driver().ProgramFlash(rig.Buffer); });
    EXPECT_EQ(
        m,
        "The W25Q128JV is write-protected: SR1 1Ch (BP0 BP1 BP2), SR2 00h: 000000-FFFFFF (all) protected. "
        "Writing 000000-FFFFFF would silently fail there; unprotect the part to clear its protection first");
    EXPECT_EQ(chip.PagePrograms() + chip.BlockErases() + chip.ChipErases(), 0u);
    EXPECT_EQ(MessageOf([&] { rig.Driver().EraseDevice(); }).substr(0, 37),
              "The W25Q128JV is write-protected: SR1");

    // SRP set with /WP held low: the status register cannot be unlocked.
    chip.SetStatusRegister(0, 0x9C);
    chip.SetWriteProtectPin(true);
    TSpiFlashParameters p = rig.Parameters();
    p.Unprotect = true;
    TSpiFlashAlgorithms flash(rig.Bus(), p);
    const std::uint32_t top = chip.Part().Size - 4096;
    const std::string locked = MessageOf([&] { flash.EraseRange(top, top + 4096); });
    EXPECT_NE(
        locked.find(
            "stays write-protected (SR1 9Ch (BP0 BP1 BP2 SRP), SR2 00h: 000000-FFFFFF (all) protected): "
            "the /WP pin is held low and SRP is set"),
        std::string::npos)
        << locked;
    // /WP released: the protection is cleared (QE kept) and the erase done.
    chip.SetWriteProtectPin(false);
    chip.SetStatusRegister(1, 0x02);
    std::fill(chip.Memory().end() - 4096, chip.Memory().end(), 0x00);
    flash.EraseRange(top, top + 4096);
    EXPECT_EQ(chip.Memory().back(), 0xFF);
    EXPECT_EQ(chip.StatusRegister(0), 0x00);
    EXPECT_EQ(chip.StatusRegister(1), 0x02) << "QE kept";
    EXPECT_NE(rig.LogText().find("Protection cleared: was SR1 9Ch"), std::string::npos) << rig.LogText();
}

TEST_P(SpiFlashFaultsTest, APartThatNeverClearsWipIsGivenUpWithinItsMaximumTime) {
    TFlashRig rig(GetParam(), "W25Q32JV");
    rig.Chip()->Faults().NeverReady = true;
    TSpiFlashAlgorithms flash(rig.Bus(), rig.Parameters());
    const double start = rig.Seconds();
    EXPECT_EQ(
        MessageOf([&] { flash.EraseRange(0, 4096); }),
        "The W25Q32JV is still busy after the 4 KiB erase at 000000h (WIP set; its datasheet allows 400 ms)");
    const double waited = rig.Seconds() - start;
    EXPECT_GE(waited, 0.4);
    EXPECT_LT(waited, 0.5);
}

TEST_P(SpiFlashFaultsTest, DetectionNamesWhatAnswers) {
    struct TCase {
        const char* what;
        std::function<void(TSpiNorChip&)> fault;
        const char* cause;
    };
    const TCase cases[] = {
        {"no part", [](TSpiNorChip& c) { c.Remove(); },
         "JEDEC id FF FF FF, REMS id FF FF: no answer (FF FF FF): nothing drives MISO"},
        {"MISO low", [](TSpiNorChip& c) { c.Faults().MisoLow = true; },
         "JEDEC id 00 00 00: 00 00 00: MISO is held low"},
        {"bad contact", [](TSpiNorChip& c) { c.Faults().BadContact = true; },
         "the id changes from read to read ("},
        {"no SFDP", [](TSpiNorChip& c) { c.Faults().NoSfdp = true; }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TFlashRig rig(GetParam(), "W25Q32JV");
        c.fault(*rig.Chip());
        const TSpiFlashDetection d = SpiFlashDetect(rig.Bus(), SpiFlashDatabase());
        if (!*c.cause) {
            EXPECT_TRUE(d.Part) << "a known id needs no SFDP table";
            continue;
        }
        EXPECT_FALSE(d.Part);
        EXPECT_NE(d.Text().find(c.cause), std::string::npos) << d.Text();
    }
    // An old part without 9Fh answers 90h.
    TFlashRig old(GetParam(), "SST25VF512A");
    const TSpiFlashDetection d = SpiFlashDetect(old.Bus(), SpiFlashDatabase());
    ASSERT_TRUE(d.Part) << d.Text();
    EXPECT_EQ(d.Text(), "JEDEC id FF FF FF, REMS id BF 48: SST25VF512A (SST, 64 KiB)");
    // An id nobody lists: from its SFDP table, the maker named by its
    // number; without a table the cause says what to do.
    TFlashRig unknown(GetParam(), "W25Q16JV");
    unknown.Insert(UnknownChip("W25Q16JV", {0x12, 0x34, 0x56})); // kept: the same name as the device
    const auto sfdp = SpiFlashDetect(unknown.Bus(), SpiFlashDatabase());
    ASSERT_TRUE(sfdp.Part);
    EXPECT_EQ(sfdp.Part->Name, "SFDP 123456");
    EXPECT_EQ(sfdp.Part->Maker, "manufacturer 12h");
    unknown.Chip()->Faults().NoSfdp = true;
    EXPECT_EQ(SpiFlashDetect(unknown.Bus(), SpiFlashDatabase()).Text(),
              "JEDEC id 12 34 56: the id 12 34 56 is not in the parts database and no SFDP table (5Ah reads "
              "FFFFFFFFh, not the signature \"SFDP\"); add the part to a parts file of your own");
}

TEST_P(SpiFlashFaultsTest, AnAbortLeavesTheFourByteModeAndSaysWhatIsDone) {
    TFlashRig rig(GetParam(), "W25Q256JV");
    TSpiNorChip& chip = *rig.Chip();
    const std::uint32_t size = chip.Part().Size, bs = 65536, from = size - 4 * bs;
    for (std::uint32_t a = from; a < size; ++a)
        rig.Buffer.HexData[a] = Pattern(a);
    TSpiFlashParameters p = rig.Parameters();
    int reports = 0;
    p.Progress = [&](std::int64_t Done, std::int64_t) {
        // The operator presses Abort while the third block is under way.
        if (Done >= from + 2 * bs && ++reports == 1) throw EAbortOp();
    };
    TSpiFlashAlgorithms flash(rig.Bus(), p);
    EXPECT_THROW(flash.ProgramRange(rig.Buffer, from, size), EAbortOp);
    EXPECT_FALSE(chip.FourByteMode()) << "left on the way out";
    EXPECT_EQ(flash.LastReport().Blocks[size / bs - 3], TSpiBlockState::Programmed);
    EXPECT_NE(rig.LogText().find("blocks 510-511 (1FE0000-1FFFFFF) untouched"), std::string::npos)
        << rig.LogText();
    // A read above the part's plain read clock uses 0Bh with its dummy byte.
    p.BusClockHz = 80'000'000;
    p.Progress = nullptr;
    TSpiFlashAlgorithms fast(rig.Bus(), p);
    THexList back;
    back.SetSizeof(size);
    if (rig.Unit()) rig.Unit()->Clear();
    fast.ReadRange(back, from, from + 2 * bs);
    EXPECT_TRUE(std::equal(back.HexData.begin() + from, back.HexData.begin() + from + 2 * bs,
                           rig.Buffer.HexData.begin() + from));
    if (rig.Unit()) {
        const auto c = rig.Unit()->Commands();
        EXPECT_NE(std::find(c.begin(), c.end(), "w 0B"), c.end());
        EXPECT_EQ(std::find(c.begin(), c.end(), "w 03"), c.end());
    }
}

TEST_P(SpiFlashFaultsTest, TheDriversRunTheFamilyWholePart) {
    TFlashRig rig(GetParam(), "MX25L512E"); // 64 KiB, the whole part
    TSpiNorChip& chip = *rig.Chip();
    for (std::uint32_t a = 0; a < rig.Buffer.Size(); ++a)
        rig.Buffer.HexData[a] = Pattern(a);
    rig.Driver().ProgramFlash(rig.Buffer);
    EXPECT_EQ(chip.Memory(), rig.Buffer.HexData);
    rig.Driver().VerifyFlash(rig.Buffer);
    THexList read;
    read.SetSizeof(rig.Buffer.Size());
    rig.Driver().ReadFlash(read);
    EXPECT_EQ(read.HexData, rig.Buffer.HexData);
    EXPECT_EQ(rig.Driver().ReadOptionByte(), 0x00);
    rig.Driver().WriteOptionByte(0x04);
    EXPECT_EQ(chip.StatusRegister(0), 0x04);
    rig.Driver().WriteOptionByte(0x00);
    // Programming the same image again touches nothing.
    const auto programs = chip.PagePrograms();
    rig.Driver().ProgramFlash(rig.Buffer);
    EXPECT_EQ(chip.PagePrograms(), programs);
    rig.Driver().EraseDevice();
    EXPECT_EQ(std::count(chip.Memory().begin(), chip.Memory().end(), 0xFF), 65536);
    TSpiFlashAlgorithms flash(rig.Bus(), rig.Parameters());
    EXPECT_EQ(flash.BlankCheck(), -1);
    chip.Memory()[0xABCD] = 0xFE;
    EXPECT_EQ(flash.BlankCheck(), 0xABCD);
    EXPECT_EQ(MessageOf([&] { rig.Driver().VerifyFlash(rig.Buffer); }).substr(0, 40),
              "EVerifyError: EEPROM: Verification Faile");
    if (rig.Unit()) {
        const auto commands = rig.Unit()->Commands();
        EXPECT_NE(std::find(commands.begin(), commands.end(), "M01"), commands.end()) << "the unit's SPI bus";
        EXPECT_NE(std::find(commands.begin(), commands.end(), "D00"), commands.end())
            << "no write delay: WIP is polled";
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpiFlashFaultsTest, ::testing::ValuesIn(kKinds),
                         [](const auto& Info) { return std::string(KindName(Info.param)); });

} // namespace
