// The SFDP reader against a table as a real part sends it, and against the
// tables the chip model builds for every part of the database (the two are
// written apart, from JESD216).
#include "catalogue/spi_flash_database.h"
#include "chips/spi_nor_sfdp.h"
#include "programmer/algorithms/sfdp_parser.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TSfdpRead ReaderOf(const std::vector<std::uint8_t>& Table) {
    return [&Table](std::uint32_t Address, std::span<std::uint8_t> Into) {
        for (std::size_t i = 0; i < Into.size(); ++i)
            Into[i] = Address + i < Table.size() ? Table[Address + i] : 0xFF;
    };
}

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint32_t> Dwords) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t d : Dwords)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(d >> (8 * i)));
    return out;
}

TEST(SfdpParser, ReadsTheNineDwordTableOfAW25Q128JV) {
    // Header (revision 1.0, one parameter header, BFPT of 9 DWORDs at 80h)
    // and the basic table as a W25Q128JV sends it.
    std::vector<std::uint8_t> t = Bytes({0x50444653, 0xFF000100, 0x09010000, 0xFF000080});
    t.resize(0x80, 0xFF);
    const auto bfpt = Bytes({0xFFF920E5, 0x07FFFFFF, 0x6B08EB44, 0xBB423B08, 0xFFFFFFFE, 0xFF000000,
                             0xFF00FFFF, 0x520F200C, 0xFF00D810});
    t.insert(t.end(), bfpt.begin(), bfpt.end());
    std::string why;
    const auto part = PartFromSfdp(ReaderOf(t), "SFDP EF4018", why);
    ASSERT_TRUE(part) << why;
    EXPECT_EQ(part->Part.Size, 16u * 1024 * 1024);
    ASSERT_EQ(part->Part.Erases.size(), 3u);
    EXPECT_EQ(part->Part.Erases[0].Opcode, 0x20);
    EXPECT_EQ(part->Part.Erases[1].Size, 32768u);
    EXPECT_EQ(part->Part.Erases[2].Opcode, 0xD8);
    EXPECT_EQ(part->Part.PageSize, 256u) << "a 9-DWORD table: pages of 64 bytes or more";
    EXPECT_EQ(part->Part.Addressing, TSpiAddressing::ThreeByte);
    // No times in a 9-DWORD table: they are among the assumptions.
    EXPECT_EQ(part->Assumed.front(), "erase times (4 s at most)");
}

TEST(SfdpParser, DescribesEveryPartOfTheDatabaseAsItsModelReportsIt) {
    const auto parts = TSpiFlashDatabase::ReadFile(ShippedSpiFlashFile());
    for (const auto& p : parts) {
        SCOPED_TRACE(p.Name);
        const auto table = BuildSfdpTable(p);
        std::string why;
        const auto got = PartFromSfdp(ReaderOf(table), "x", why);
        ASSERT_TRUE(got) << why;
        const TSpiFlashPart& s = got->Part;
        EXPECT_EQ(s.Size, p.Size);
        EXPECT_EQ(s.PageSize, p.PageSize);
        ASSERT_EQ(s.Erases.size(), p.Erases.size());
        for (std::size_t i = 0; i < s.Erases.size(); ++i) {
            EXPECT_EQ(s.Erases[i].Size, p.Erases[i].Size);
            EXPECT_EQ(s.Erases[i].Opcode, p.Erases[i].Opcode);
            EXPECT_EQ(s.Erases[i].Opcode4, p.Erases[i].Opcode4);
            // The table's coarse units never shorten a time.
            EXPECT_GE(s.Erases[i].TypicalMs, p.Erases[i].TypicalMs);
            EXPECT_GE(s.Erases[i].MaxMs, p.Erases[i].MaxMs);
        }
        EXPECT_GE(s.PageProgramTypicalUs, p.PageProgramTypicalUs);
        EXPECT_GE(s.PageProgramMaxUs,
                  std::min<std::uint32_t>(p.PageProgramMaxUs, s.PageProgramTypicalUs * 32));
        EXPECT_GE(s.ChipEraseMaxMs, std::min<std::uint32_t>(p.ChipEraseMaxMs, s.ChipEraseTypicalMs * 32));
        EXPECT_EQ(s.Addressing, p.Addressing);
        EXPECT_EQ(s.Enter4NeedsWriteEnable, p.Enter4NeedsWriteEnable);
    }
}

TEST(SfdpParser, RefusesWhatIsNoTableOrNoPart) {
    std::string why;
    std::vector<std::uint8_t> blank(64, 0xFF);
    EXPECT_FALSE(PartFromSfdp(ReaderOf(blank), "x", why));
    EXPECT_EQ(why, "no SFDP table (5Ah reads FFFFFFFFh, not the signature \"SFDP\")");

    // A table whose density is no power of two, one without erase types.
    auto table = BuildSfdpTable(*TSpiFlashDatabase::Parse(R"({"parts": [{
      "name": "X", "maker": "M", "jedec_id": "AA4017", "size": 8388608, "page_size": 256,
      "erase": [{"opcode": "20", "size": 4096, "typical_ms": 45, "max_ms": 400}],
      "chip_erase": {"opcodes": ["C7"], "typical_ms": 20000, "max_ms": 100000},
      "page_program": {"typical_us": 400, "max_us": 3000},
      "read": {"read": "03", "fast_read": "0B", "read_max_mhz": 50}, "addressing": {"bytes": 3},
      "status": {"registers": [{"read": "05", "write": "01"}], "bits": {"bp": [2, 3, 4], "srp": 7}},
      "protection": {"scheme": "bp", "bp_unit": 65536}, "voltage": {"min": 2.7, "max": 3.6},
      "tested_on_hardware": false}]})",
                                                          "t.json")
                                     .begin());
    auto odd = table;
    const std::uint32_t density = 3 * 1024 * 1024 * 8 - 1;
    std::memcpy(odd.data() + kSfdpBasicTable + 4, &density, 4);
    EXPECT_FALSE(PartFromSfdp(ReaderOf(odd), "x", why));
    EXPECT_EQ(why, "the SFDP table gives a density of 25165824 bits, which is no part size here");
    auto noErase = table;
    std::fill_n(noErase.begin() + kSfdpBasicTable + 28, 8, 0x00);
    noErase[kSfdpBasicTable] |= 0x03; // no 4 KiB erase either
    EXPECT_FALSE(PartFromSfdp(ReaderOf(noErase), "x", why));
    EXPECT_EQ(why, "the SFDP table lists no erase instruction");
}

} // namespace
