// norvoisp-cli detect and convert.
#include "cli_run.h"
#include "common/temp_dir.h"
#include "formats/file_loader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

class CliFormats : public testing::Test {
  protected:
    std::string File(const std::string& Name) const { return FDir.File(Name); }
    bool Exists(const std::string& Name) const { return std::filesystem::exists(File(Name)); }
    void Write(const std::string& Name, const std::string& Bytes) const {
        std::ofstream(File(Name), std::ios::binary) << Bytes;
    }

    // A 24C1024 buffer with data in holes and runs below LimitAddress.
    static THexList Image(std::uint32_t LimitAddress) {
        THexList b;
        b.SetSizeof(131072);
        for (std::uint32_t a = 0; a < LimitAddress; ++a)
            if ((a / 37) % 3 != 0) b.HexData[a] = static_cast<std::uint8_t>(a * 11 + (a >> 9));
        return b;
    }

    // OUT loaded the way convert loads IN.
    THexList Load(const std::string& Name) const {
        THexList b;
        b.SetSizeof(131072);
        if (TFileLoader::GetFileType(File(Name)) > 0)
            EXPECT_EQ(TFileLoader::LoadFile(File(Name), b, 0), 0);
        else
            EXPECT_EQ(TFileLoader::LoadBinary(File(Name), b), 0);
        return b;
    }

  private:
    TTempDir FDir{"cli-formats"};
};

TEST_F(CliFormats, DetectPrintsCodeAndName) {
    Write("a.hex", ":020000040000FA\r\n:0100000012ED\r\n:00000001FF\r\n");
    Write("a.bin", std::string("\0\1\2", 3));
    Write("a.txt", "hello\n");
    struct Case {
        std::string file;
        int exit;
        std::string out;
    };
    const Case cases[] = {
        {File("a.hex"), 0, "3 Intel Hex-32\n"},
        {File("a.bin"), 0, "-2 File empty or binary\n"},
        {File("a.txt"), 0, "0 Auto Detect (Intel, Motorola, Tektronix)\n"},
        {File("missing"), 1, "-1 File not found\n"},
    };
    for (const auto& c : cases) {
        const auto r = Cli({"detect", c.file});
        EXPECT_EQ(r.code, c.exit) << c.file;
        EXPECT_EQ(r.out, c.out) << c.file;
    }
    EXPECT_EQ(Cli({"detect"}).code, 2);
    EXPECT_EQ(Cli({"detect", "a", "b"}).code, 2);
}

// Every input format (1-10 and binary) converts to every output format, and
// the output loads back to the bytes of the input.
TEST_F(CliFormats, ConvertEveryPairOfFormats) {
    THexList image = Image(0x10000);
    for (int from = 1; from <= 11; ++from) {
        const std::string in = "in" + std::to_string(from);
        if (from == 11)
            ASSERT_EQ(TFileLoader::SaveBinary(File(in), image), 0);
        else
            ASSERT_EQ(TFileLoader::SaveFile(File(in), image, from), 0);
        // The codes of a family write the same file; it is named as detected.
        const std::string loaded = from == 11
                                       ? "File Load: File loaded (as a Binary file)\n"
                                       : "File Load: File loaded (" +
                                             TFileLoader::WhatIs(TFileLoader::GetFileType(File(in))) + ")\n";
        for (int to = 1; to <= 11; ++to) {
            const std::string out = "out" + std::to_string(from) + "_" + std::to_string(to);
            const auto r = Cli({"convert", File(in), File(out), "--to", std::to_string(to)});
            ASSERT_EQ(r.code, 0) << from << " -> " << to << ": " << r.err;
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out.substr(0, loaded.size()), loaded);
            EXPECT_TRUE(Load(out).HexData == image.HexData) << from << " -> " << to;
        }
    }
}

TEST_F(CliFormats, ConvertRefusesWhatTheOutputFormatCannotHold) {
    THexList image = Image(0x20000);
    ASSERT_EQ(TFileLoader::SaveFile(File("in.hex"), image, 3), 0);
    for (int to : {8, 10}) {
        const auto r = Cli({"convert", File("in.hex"), File("out"), "--to", std::to_string(to)});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("cannot hold addresses above 0xFFFF, the data reach 0x1FFFF"), std::string::npos)
            << r.err;
        EXPECT_FALSE(Exists("out"));
    }
    const auto r = Cli({"convert", File("in.hex"), File("out"), "--to", "9"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Load("out").HexData == image.HexData);
}

TEST_F(CliFormats, ConvertFileLargerThanDeviceFails) {
    THexList image = Image(0x400);
    ASSERT_EQ(TFileLoader::SaveFile(File("in.s19"), image, 4), 0);
    ASSERT_EQ(TFileLoader::SaveBinary(File("in.bin"), image), 0);
    auto r = Cli({"convert", File("in.s19"), File("out"), "--to", "1", "--device", "24c02"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "File Load - Warning: File larger than device\n");
    r = Cli({"convert", File("in.bin"), File("out"), "--to", "1", "--device", "93C46"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "File Load - Warning: file larger than device\n");
    EXPECT_FALSE(Exists("out"));
    // The device sizes the buffer: the 1 KiB image fits a 24C08 exactly.
    r = Cli({"convert", File("in.s19"), File("out.bin"), "--to", "11", "--device", "24C08"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::ifstream in(File("out.bin"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(bytes, std::string(image.HexData.begin(), image.HexData.begin() + 1024));
}

TEST_F(CliFormats, ConvertFailuresAndUsage) {
    Write("in.hex", ":0100000012ED\r\n:00000001FF\r\n");
    auto r = Cli({"convert", File("missing"), File("out"), "--to", "1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("EEPROM File Load: File load failed"), std::string::npos);
    r = Cli({"convert", File("in.hex"), File("no/such/folder/out"), "--to", "4"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("EEPROM: File save failed"), std::string::npos);
    r = Cli({"convert", File("in.hex"), File("no/such/folder/out"), "--to", "11"});
    EXPECT_EQ(r.code, 1);

    for (auto args : std::vector<std::vector<std::string>>{
             {"convert", File("in.hex"), File("out")},
             {"convert", File("in.hex"), File("out"), "--to", "0"},
             {"convert", File("in.hex"), File("out"), "--to", "12"},
             {"convert", File("in.hex"), File("out"), "--to", "x"},
             {"convert", File("in.hex"), "--to", "1"},
             {"convert", File("in.hex"), File("out"), "--to", "1", "--device", "27C256"},
         }) {
        r = Cli(args);
        EXPECT_EQ(r.code, 2) << r.out;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_FALSE(Exists("out"));
}

} // namespace
