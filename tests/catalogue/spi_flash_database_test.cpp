#include "catalogue/device_list.h"
#include "catalogue/spi_flash_database.h"
#include "common/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <map>
#include <set>

namespace {

using json = nlohmann::json;

// One part that passes every check; the error cases change one field of it.
json GoodPart() {
    return json::parse(R"({
      "name": "TEST25Q64", "aliases": ["TEST25Q64B"], "maker": "Testmaker", "jedec_id": "AA4017",
      "size": 8388608, "page_size": 256,
      "erase": [{"opcode": "20", "size": 4096, "typical_ms": 45, "max_ms": 400},
                {"opcode": "D8", "size": 65536, "typical_ms": 150, "max_ms": 2000}],
      "chip_erase": {"opcodes": ["C7", "60"], "typical_ms": 20000, "max_ms": 100000},
      "page_program": {"typical_us": 400, "max_us": 3000},
      "read": {"read": "03", "fast_read": "0B", "read_max_mhz": 50},
      "addressing": {"bytes": 3},
      "status": {"registers": [{"read": "05", "write": "01"}, {"read": "35", "write": "31"}],
                 "bits": {"bp": [2, 3, 4], "tb": 5, "sec": 6, "srp": 7, "srp1": 8, "qe": 9, "cmp": 14}},
      "protection": {"scheme": "bp", "bp_unit": 131072},
      "voltage": {"min": 2.7, "max": 3.6},
      "tested_on_hardware": false
    })");
}

std::string FileOf(const std::vector<json>& Parts) {
    return json{{"parts", Parts}}.dump();
}

std::string ErrorOf(const std::string& Text) {
    try {
        TSpiFlashDatabase::Parse(Text, "user.json");
    } catch (const ESpiFlashDatabaseError& e) {
        return e.Message();
    }
    return "(accepted)";
}

TEST(SpiFlashDatabase, ShippedFileHoldsTheCommonPartsAndKeepsItsInvariants) {
    const auto parts = TSpiFlashDatabase::ReadFile(ShippedSpiFlashFile());
    EXPECT_GE(parts.size(), 80u);
    std::set<std::string> names, makers;
    std::map<std::string, std::string> ids;
    std::uint32_t smallest = UINT32_MAX, largest = 0;
    for (const auto& p : parts) {
        SCOPED_TRACE(p.Name);
        makers.insert(p.Maker);
        EXPECT_TRUE(names.insert(AsciiUpper(p.Name)).second) << "name used twice";
        for (const auto& a : p.Aliases)
            EXPECT_TRUE(names.insert(AsciiUpper(a)).second) << "alias " << a << " used twice";
        // One entry per id: variants are aliases.
        EXPECT_TRUE(ids.emplace(p.IdText(), p.Name).second)
            << "id " << p.IdText() << " of " << ids[p.IdText()];
        EXPECT_TRUE(std::has_single_bit(p.Size));
        EXPECT_TRUE(std::has_single_bit(p.PageSize));
        smallest = std::min(smallest, p.Size);
        largest = std::max(largest, p.Size);
        ASSERT_FALSE(p.Erases.empty());
        for (const auto& e : p.Erases) {
            EXPECT_EQ(p.Size % e.Size, 0u) << "erase " << int(e.Opcode);
            EXPECT_GT(e.TypicalMs, 0u);
            EXPECT_GE(e.MaxMs, e.TypicalMs);
            if (p.Addressing == TSpiAddressing::FourByteOpcodes) {
                EXPECT_NE(e.Opcode4, 0);
            }
        }
        EXPECT_GT(p.ChipEraseTypicalMs, 0u);
        EXPECT_GE(p.ChipEraseMaxMs, p.ChipEraseTypicalMs);
        EXPECT_GT(p.PageProgramTypicalUs, 0u);
        EXPECT_GE(p.PageProgramMaxUs, p.PageProgramTypicalUs);
        EXPECT_EQ(p.FourByteAddresses(), p.Size > 16u * 1024 * 1024);
        EXPECT_FALSE(p.TestedOnHardware);
    }
    EXPECT_EQ(smallest, 64u * 1024);       // 512 Kbit
    EXPECT_EQ(largest, 64u * 1024 * 1024); // 512 Mbit
    for (const char* maker :
         {"Winbond", "Macronix", "GigaDevice", "EON", "ISSI", "XMC", "Puya", "Spansion", "Micron", "SST"})
        EXPECT_TRUE(makers.count(maker)) << maker;
}

TEST(SpiFlashDatabase, ShippedEntriesCarryTheirDatasheetFacts) {
    TSpiFlashDatabase db;
    db.AddFile(ShippedSpiFlashFile());
    ASSERT_TRUE(db.Errors().empty()) << db.Errors().front();

    const auto w128 = db.FindByJedecId({0xEF, 0x40, 0x18});
    ASSERT_TRUE(w128);
    EXPECT_EQ(w128->Name, "W25Q128JV");
    EXPECT_EQ(w128->Size, 16u * 1024 * 1024);
    EXPECT_EQ(w128->Bits.CMP, 14);
    EXPECT_EQ(db.Find("w25q128fv"), w128) << "aliases are found too";

    const auto mx = db.Find("MX25L6406E");
    ASSERT_TRUE(mx);
    EXPECT_EQ(mx->IdText(), "C2 20 17");
    EXPECT_EQ(mx->Erases.back().Size, 65536u);

    const auto w256 = db.Find("W25Q256JV");
    ASSERT_TRUE(w256);
    EXPECT_EQ(w256->Addressing, TSpiAddressing::EnterExit);
    const auto mx256 = db.Find("MX25L25635F");
    ASSERT_TRUE(mx256);
    EXPECT_EQ(mx256->Addressing, TSpiAddressing::FourByteOpcodes);
    EXPECT_EQ(mx256->Erases.back().Opcode4, 0xDC);

    EXPECT_EQ(db.Find("SST26VF064B")->Protection, TSpiProtection::Sst26);
    // An old part without a JEDEC id is found by its 90h answer.
    const auto old = db.FindByRemsId({0xBF, 0x48});
    ASSERT_TRUE(old);
    EXPECT_EQ(old->Name, "SST25VF512A");
    EXPECT_FALSE(old->JedecId);
}

TEST(SpiFlashDatabase, BadEntriesAreRefusedNamingFileEntryAndField) {
    struct TCase {
        const char* what;
        std::function<void(json&)> change;
        const char* message;
    };
    const TCase cases[] = {
        {"size", [](json& p) { p["size"] = 3000; },
         "user.json: entry 2 (TEST25Q64): size: 3000 is outside 4096 to"},
        {"size", [](json& p) { p["size"] = 6291456; },
         "entry 2 (TEST25Q64): size: 6291456 is not a power of two"},
        {"erase size", [](json& p) { p["erase"][1]["size"] = 98304; },
         "entry 2 (TEST25Q64): erase[1].size: 98304 does not divide the size 8388608"},
        {"erase order", [](json& p) { std::swap(p["erase"][0], p["erase"][1]); },
         "erase[1].size: sizes must ascend"},
        {"zero time", [](json& p) { p["erase"][0]["typical_ms"] = 0; },
         "erase[0].typical_ms: 0 is outside 1"},
        {"max below typical", [](json& p) { p["page_program"]["max_us"] = 100; },
         "page_program.max_us: 100 is below the typical time 400"},
        {"negative time", [](json& p) { p["chip_erase"]["max_ms"] = -5; },
         "chip_erase.max_ms: must be a whole number"},
        {"id digits", [](json& p) { p["jedec_id"] = "EF40"; },
         "jedec_id: \"EF40\" is not 6 hexadecimal digits"},
        {"id letters", [](json& p) { p["jedec_id"] = "EF40GG"; },
         "jedec_id: \"EF40GG\" is not 6 hexadecimal digits"},
        {"no id", [](json& p) { p.erase("jedec_id"); },
         "jedec_id: missing (and neither res_id nor rems_id given)"},
        {"opcode", [](json& p) { p["erase"][0]["opcode"] = 32; },
         "erase[0].opcode: must be a string of 2 hexadecimal"},
        {"unknown field", [](json& p) { p["page_sise"] = 256; },
         "entry 2 (TEST25Q64): page_sise: unknown field"},
        {"missing field", [](json& p) { p.erase("tested_on_hardware"); }, "tested_on_hardware: missing"},
        {"4-byte part on 3 bytes",
         [](json& p) {
             p["size"] = 33554432;
             p["protection"]["bp_unit"] = 65536;
         },
         "addressing.bytes: 3-byte addresses reach 16 MiB, the part is larger"},
        {"4-byte opcodes without erase opcode4",
         [](json& p) {
             p["size"] = 33554432;
             p["addressing"] = {
                 {"bytes", 4}, {"method", "opcodes"}, {"read", "13"}, {"fast_read", "0C"}, {"program", "12"}};
         },
         "erase[0].opcode4: missing (the part takes 4-byte opcodes)"},
        {"addressing method",
         [](json& p) {
             p["size"] = 33554432;
             p["addressing"] = {{"bytes", 4}, {"method", "bank"}};
         },
         "addressing.method: \"bank\" is neither \"opcodes\" nor \"mode\""},
        {"bit past the registers", [](json& p) { p["status"]["registers"].erase(1); },
         "status.bits.cmp: 14 is outside 2 to 7"},
        {"bit twice", [](json& p) { p["status"]["bits"]["tb"] = 4; }, "status.bits.tb: bit 4 is used twice"},
        {"bit on WEL", [](json& p) { p["status"]["bits"]["qe"] = 1; },
         "status.bits.qe: 1 is outside 2 to 15"},
        {"bp scheme without bp", [](json& p) { p["status"]["bits"].erase("bp"); },
         "status.bits.bp: missing (the \"bp\" scheme needs BP bits)"},
        {"bp unit", [](json& p) { p["protection"]["bp_unit"] = 100000; },
         "protection.bp_unit: 100000 does not divide"},
        {"voltage",
         [](json& p) {
             p["voltage"] = {{"min", 3.6}, {"max", 2.7}};
         },
         "voltage: must be a range"},
        {"tested flag", [](json& p) { p["tested_on_hardware"] = "no"; },
         "tested_on_hardware: must be true or false"},
        {"same id as entry 1",
         [](json& p) {
             p["name"] = "OTHER";
             p["aliases"] = json::array();
             p["jedec_id"] = "AA4016";
         },
         "entry 2 (OTHER): jedec_id: the id AA 40 16 of entry 1 (TEST25Q32) again"},
        {"alias names entry 1", [](json& p) { p["aliases"] = {"test25q32"}; },
         "entry 2 (TEST25Q64): name: a name of entry 1 (TEST25Q32) again"},
    };
    json first = GoodPart();
    first["name"] = "TEST25Q32";
    first["aliases"] = json::array();
    first["jedec_id"] = "AA4016";
    first["size"] = 4194304;
    first["protection"]["bp_unit"] = 65536;
    ASSERT_EQ(ErrorOf(FileOf({first, GoodPart()})), "(accepted)");
    for (const auto& c : cases) {
        json part = GoodPart();
        c.change(part);
        const std::string message = ErrorOf(FileOf({first, part}));
        EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    }
}

TEST(SpiFlashDatabase, BadFilesAreRefusedAsAWhole) {
    EXPECT_NE(ErrorOf("{\"parts\": [").find("user.json: not valid JSON: "), std::string::npos);
    EXPECT_EQ(ErrorOf("[1, 2]"), "user.json: must be an object with a list \"parts\"");
    EXPECT_EQ(ErrorOf("{\"parts\": {}}"), "user.json: parts: must be a list");
    EXPECT_EQ(ErrorOf("{\"parts\": [], \"chips\": []}"), "user.json: chips: unknown field");
    EXPECT_EQ(ErrorOf("{\"parts\": [7]}"), "user.json: entry 1: must be an object");
    EXPECT_EQ(ErrorOf("{\"parts\": []}"), "(accepted)");
}

TEST(SpiFlashDatabase, UserFilesAddAndOverrideAndABadOneIsLeftOut) {
    TTempDir dir("parts");
    json replaced = GoodPart();
    replaced["name"] = "W25Q64JV"; // the shipped part of that name, with other times
    replaced["aliases"] = json::array();
    replaced["jedec_id"] = "EF4017";
    replaced["page_program"] = {{"typical_us", 500}, {"max_us", 9000}};
    json added = GoodPart();
    WriteBytes(dir.File("a.json"), FileOf({replaced, added}));
    json broken = GoodPart();
    broken["size"] = 1000;
    WriteBytes(dir.File("b.json"), FileOf({broken}));
    WriteBytes(dir.File("notes.txt"), "not a parts file");

    TSpiFlashDatabase db;
    db.AddFile(ShippedSpiFlashFile());
    const std::size_t shipped = db.Parts().size();
    db.AddFolder(dir.Path());
    db.AddFolder(dir.File("missing")); // no folder: nothing

    ASSERT_EQ(db.Errors().size(), 1u) << db.Errors().front();
    EXPECT_EQ(db.Errors()[0],
              dir.File("b.json") + ": entry 1 (TEST25Q64): size: 1000 is outside 4096 to 268435456");
    EXPECT_EQ(db.Parts().size(), shipped + 1);
    const auto w64 = db.FindByJedecId({0xEF, 0x40, 0x17});
    ASSERT_TRUE(w64);
    EXPECT_EQ(w64->PageProgramMaxUs, 9000u);
    EXPECT_EQ(w64->Source, dir.File("a.json") + ": entry 1");
    EXPECT_FALSE(db.Find("W25Q64FV")) << "the shipped entry's aliases went with it";
    ASSERT_TRUE(db.Find("test25q64b"));
}

TEST(SpiFlashCatalogue, PartsAreDevicesOfTheirOwnFamilySortedByMakerAndSize) {
    const auto& list = DeviceList();
    const auto names = list.GetDeviceList(TProgrammerSupport{pk_usb}, FAMILY_SPI_FLASH);
    ASSERT_GE(names.size(), 80u);
    const TSpiFlashPart* previous = nullptr;
    for (const auto& n : names) {
        const TDevice* d = list.GetNewDeviceInstance(n, TProgrammerSupport{pk_usb});
        ASSERT_TRUE(d && d->SpiFlash()) << n;
        const TSpiFlashPart& p = *d->SpiFlash();
        EXPECT_EQ(d->FlashSize(), static_cast<std::int32_t>(p.Size));
        EXPECT_EQ(d->PageSize(), static_cast<std::int32_t>(p.PageSize));
        EXPECT_EQ(d->EEPROMTime(), 0) << "the unit waits no write delay: the busy bit is polled";
        if (previous) {
            EXPECT_TRUE(previous->Maker < p.Maker || (previous->Maker == p.Maker && previous->Size <= p.Size))
                << previous->Name << " before " << p.Name;
        }
        previous = &p;
    }
    EXPECT_STREQ(FamilyName(FAMILY_SPI_FLASH), "SPI Flash");
    EXPECT_EQ(FamilyBus(FAMILY_SPI_FLASH), FAMILY_25C);
    EXPECT_EQ(FamilyBus(FAMILY_93C), FAMILY_93C);
    EXPECT_STREQ(FamilyName(7), "?");

    // An alias finds its part; an EEPROM name still wins over nothing.
    const TDevice* byAlias = list.GetNewDeviceInstance("w25q128fv", TProgrammerSupport{pk_eisp});
    ASSERT_TRUE(byAlias);
    EXPECT_EQ(byAlias->DeviceName(), "W25Q128JV");
    EXPECT_EQ(list.GetNewDeviceInstance("24C02", TProgrammerSupport{pk_eisp})->SpiFlash(), nullptr);
}

} // namespace
