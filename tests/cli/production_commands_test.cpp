// The production commands of norvoisp-cli on the hidden simulated kind,
// in-process: checksum, program with serial numbers and a traceability log,
// several units at once, blank-check, and the --json output.
#include "cli_run.h"
#include "common/temp_dir.h"

#include "buffer/checksums.h"
#include "buffer/serial_number.h"
#include "formats/file_loader.h"
#include "production/serial_allocator.h"
#include "production/trace_log.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <set>
#include <sstream>

namespace {

const std::string kSample = NORVOISP_SOURCE_DIR "/samples/config_block_24c02.hex";
const std::string kSampleBin = NORVOISP_SOURCE_DIR "/samples/config_block_24c02.bin";

class CliProduction : public ::testing::Test {
  protected:
    TTempDir FDir{"cliprod"};
    TScopedEnv FRegistry{"NORVOISP_REGISTRY", FDir.File("registry.reg").c_str()};
    TScopedEnv FImages{"NORVOISP_SIM_IMAGE", FDir.File("chip.bin").c_str()};
    TScopedEnv FBaud{"NORVOISP_SIM_BAUD", "0"};

    std::string File(const std::string& Name) const { return FDir.File(Name); }
    Result Sim(std::vector<std::string> Args) {
        Args.insert(Args.begin() + 1, {"--hardware", "norvo isp (sim)", "--device", "24C02"});
        return Cli(Args);
    }
    // The sample with serial number Value in three bytes at 0x40.
    static THexList Part(std::uint32_t Value) {
        THexList h;
        h.SetSize(256);
        EXPECT_EQ(TFileLoader::LoadFile(kSample, h, 0), 0);
        StoreSerialNumber(h, 0x40, static_cast<std::int32_t>(Value), 1);
        return h;
    }
    std::vector<std::string> Serial(const std::string& Start) const {
        return {"--serial-at", "0x40",          "--serial-bytes",     "3",     "--serial",
                Start,         "--serial-file", File("serial.state"), "--log", File("line.jsonl")};
    }
};

std::vector<nlohmann::ordered_json> JsonLines(const std::string& Out) {
    std::vector<nlohmann::ordered_json> lines;
    std::istringstream in(Out);
    std::string line;
    while (std::getline(in, line)) {
        auto j = nlohmann::ordered_json::parse(line, nullptr, false);
        EXPECT_TRUE(j.is_object()) << "not a JSON object: " << line;
        lines.push_back(j);
    }
    return lines;
}

TEST_F(CliProduction, ChecksumIsTheImageAsProgrammedWithItsSerialNumber) {
    auto r = Cli({"checksum", kSample, "--device", "24C02"});
    ASSERT_EQ(r.code, 0) << r.err;
    // The hex file and the binary of the same image: one SHA-256.
    EXPECT_NE(r.out.find("SHA-256: " + FileSha256(kSampleBin) + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Bytes:   256\n"), std::string::npos);
    r = Cli({"checksum", kSample, "--device", "24C02", "--serial-at", "0x40", "--serial-bytes", "3",
             "--serial", "5000", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto lines = JsonLines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["type"], "result");
    EXPECT_EQ(lines.back()["checksums"]["crc32"], BufferChecksums(Part(5000)).Crc32Text());
    // A device too small for the file is an unreadable input.
    EXPECT_EQ(Cli({"checksum", NORVOISP_SOURCE_DIR "/samples/demo_24c256.hex", "--device", "24C02"}).code, 2);
}

TEST_F(CliProduction, ProgramWritesTheSerialNumberLogsThePartAndAdvancesTheState) {
    for (std::uint32_t n : {5000u, 5001u}) {
        auto args = std::vector<std::string>{"program", "--file", kSample};
        for (auto& a : Serial("5000"))
            args.push_back(a);
        const auto r = Sim(args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.out.find("Serial Number: " + std::to_string(n) + " at 0040h\n"), std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("EEPROM: Checksums - CRC-32 " + BufferChecksums(Part(n)).Crc32Text()),
                  std::string::npos);
    }
    EXPECT_EQ(ReadSerialState(File("serial.state")), 5002u);
    // The chip holds the last part.
    std::ifstream in(File("chip.bin"), std::ios::binary);
    const std::string chip((std::istreambuf_iterator<char>(in)), {});
    const THexList last = Part(5001);
    EXPECT_TRUE(chip == std::string(last.HexData.begin(), last.HexData.end()));
    const auto records = ReadTraceLog(File("line.jsonl"));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1]["serial"]["value"], 5001);
    EXPECT_EQ(records[1]["serial"]["bytes"], "001389");
    EXPECT_EQ(records[1]["result"], "passed");
    EXPECT_EQ(records[1]["file"], kSample);
    EXPECT_EQ(records[1]["device"], "24C02");
}

TEST_F(CliProduction, UsedUpSerialNumbersFailThePartAndAreLoggedNeverWrapped) {
    // Three bytes end at 0xFFFFFF: the next number is refused, not cut.
    std::ofstream(File("serial.state")) << "next=16777216\n";
    auto args = std::vector<std::string>{"program", "--file", kSample};
    for (auto& a : Serial("1"))
        args.push_back(a);
    const auto r = Sim(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Serial numbers used up"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("EEPROM: Programming"), std::string::npos) << "nothing programmed";
    const auto records = ReadTraceLog(File("line.jsonl"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["result"], "failed");
    EXPECT_TRUE(records[0]["serial"].is_null());
}

TEST_F(CliProduction, ALogThatCannotBeWrittenFailsTheRun) {
    const auto r = Sim({"program", "--file", kSample, "--log", File("missing/folder/line.jsonl")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Traceability log: " + File("missing/folder/line.jsonl") + ": cannot open"),
              std::string::npos)
        << r.err;
}

// A --log that names a data file by mistake: the run stops before a part
// is programmed or a number taken, and the file keeps every byte.
TEST_F(CliProduction, ALogThatIsNoLogStopsTheRunBeforeAnythingIsProgrammed) {
    const std::string image = ReadBytes(kSampleBin);
    WriteBytes(File("line.jsonl"), image);
    auto args = std::vector<std::string>{"program", "--file", kSample};
    for (auto& a : Serial("5000"))
        args.push_back(a);
    const auto r = Sim(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("not a traceability log"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("EEPROM: Programming"), std::string::npos) << r.out;
    EXPECT_TRUE(ReadBytes(File("line.jsonl")) == image);
    EXPECT_EQ(ReadSerialState(File("serial.state")), std::nullopt) << "no number was taken";
}

TEST_F(CliProduction, BadSerialOptionsAreUsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"--serial", "1"},                                                // incomplete
        {"--serial-at", "0xFE", "--serial-bytes", "3", "--serial", "1"},  // past the device's end
        {"--serial-at", "0", "--serial-bytes", "5", "--serial", "1"},     // width
        {"--serial-at", "0", "--serial-bytes", "2", "--serial", "65536"}, // too wide for 2 bytes
        {"--serial-at", "0", "--serial-bytes", "2", "--serial", "1", "--serial-step", "0"},
        {"--serial-at", "zz", "--serial-bytes", "2", "--serial", "1"},
    };
    for (const auto& c : cases) {
        auto args = std::vector<std::string>{"program", "--file", kSample};
        args.insert(args.end(), c.begin(), c.end());
        EXPECT_EQ(Sim(args).code, 2) << c.front() << " " << c.back();
    }
}

TEST_F(CliProduction, JsonGivesOneObjectPerLineAndAResult) {
    TScopedEnv noImage("NORVOISP_SIM_IMAGE", nullptr);
    auto r = Sim({"program", "--file", kSample, "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    auto lines = JsonLines(r.out);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0]["type"], "status");
    bool busy = false, ok = false;
    for (const auto& l : lines) {
        busy |= l["type"] == "status" && l["level"] == "busy" && l["text"] == "EEPROM: Programming";
        ok |= l["type"] == "status" && l["level"] == "ok" &&
              l["text"].get<std::string>().rfind("EEPROM: Verify Complete - ", 0) == 0;
    }
    EXPECT_TRUE(busy && ok) << r.out;
    const auto& result = lines.back();
    EXPECT_EQ(result["type"], "result");
    EXPECT_EQ(result["command"], "program");
    EXPECT_EQ(result["device"], "24C02");
    EXPECT_EQ(result["result"], "passed");
    EXPECT_EQ(result["exit_code"], 0);
    EXPECT_EQ(result["checksums"]["sha256"], FileSha256(kSampleBin));
    EXPECT_EQ(result["counts"]["failed_bytes"], 0);
    EXPECT_TRUE(result["duration_s"].is_number());

    // A failure is a warning object and a failed result; a usage error too.
    r = Sim({"verify", "--file", NORVOISP_SOURCE_DIR "/patterns/all_00.hex", "--json"});
    EXPECT_EQ(r.code, 1);
    lines = JsonLines(r.out);
    EXPECT_EQ(lines.back()["result"], "failed");
    EXPECT_EQ(lines.back()["failure"], "EEPROM: Verification Failed - 256 bytes had errors");
    EXPECT_EQ(lines.back()["counts"]["failed_bytes"], 256);
    r = Sim({"program", "--json"});
    EXPECT_EQ(r.code, 2);
    lines = JsonLines(r.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["result"], "usage-error");
    EXPECT_EQ(lines[0]["exit_code"], 2);
}

TEST_F(CliProduction, BlankCheckListsEveryByteThatIsNotFFh) {
    auto r = Sim({"blank-check"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("EEPROM: Device is Blank - 00:0"), std::string::npos) << r.out;
    ASSERT_EQ(Sim({"program", "--file", kSample, "--quiet"}).code, 0);
    r = Sim({"blank-check"});
    EXPECT_EQ(r.code, 1);
    THexList h = Part(0);
    int used = 0;
    for (auto b : h.HexData)
        used += b != 0xFF;
    EXPECT_NE(r.err.find("EEPROM: Blank Check Failed - " + std::to_string(used) + " bytes are not blank"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("Blank Check Failed at 0000h: Read 4Eh - Should have been FFh\n"), std::string::npos)
        << r.out;
    ASSERT_EQ(Sim({"erase", "--quiet"}).code, 0);
    EXPECT_EQ(Sim({"blank-check", "--quiet"}).code, 0);
}

// Several units in one command: a process each, one prefix each, a summary
// table, one serial number each.
TEST_F(CliProduction, SeveralUnitsEachWithItsPrefixAndSerialNumberAndASummary) {
    TScopedEnv noImage("NORVOISP_SIM_IMAGE", nullptr); // every unit its own chip
    auto args =
        std::vector<std::string>{"program", "--file", kSample, "--port", "A", "--port", "B", "--port", "C"};
    for (auto& a : Serial("7"))
        args.push_back(a);
    auto r = Sim(args);
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    for (const char* prefix : {"[1 A] ", "[2 B] ", "[3 C] "})
        EXPECT_NE(r.out.find(std::string(prefix) + "EEPROM: Verify Complete - 00:0"), std::string::npos)
            << r.out;
    EXPECT_NE(r.out.find("Unit  Port  Serial      CRC-32    Result  Time     Failure\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("3 of 3 units passed\n"), std::string::npos) << r.out;
    const auto records = ReadTraceLog(File("line.jsonl"));
    ASSERT_EQ(records.size(), 3u);
    std::set<int> serials, units;
    for (const auto& rec : records) {
        serials.insert(rec["serial"]["value"].get<int>());
        units.insert(rec["unit"].get<int>());
        EXPECT_EQ(rec["crc32"],
                  BufferChecksums(Part(rec["serial"]["value"].get<std::uint32_t>())).Crc32Text());
    }
    EXPECT_EQ(serials, (std::set<int>{7, 8, 9}));
    EXPECT_EQ(units, (std::set<int>{1, 2, 3}));

    // As JSON: the units' objects carry their unit, then one result.
    r = Sim({"program", "--file", kSample, "--port", "A", "--port", "B", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto lines = JsonLines(r.out);
    EXPECT_EQ(lines.back()["type"], "result");
    EXPECT_EQ(lines.back()["counts"]["passed"], 2);
    EXPECT_EQ(lines.back()["units"].size(), 2u);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(lines[i]["unit"] == 1 || lines[i]["unit"] == 2) << lines[i].dump();
    EXPECT_EQ(Sim({"program", "--file", kSample, "--port", "A", "--port", "A"}).code, 2);
    // A file that does not load stops the run before any unit starts.
    r = Sim({"program", "--file", File("missing.hex"), "--port", "A", "--port", "B"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("missing.hex: no such file"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("[1 A]"), std::string::npos) << r.out;
}

} // namespace
