// Interoperability with srec_cat (the srecord package), an independent
// implementation of every text format we read and write:
//   (a) a file we write, read by srec_cat, gives the bytes of our buffer;
//   (b) files srec_cat writes, with its defaults and other record sizes,
//       headers, count and end records, are detected as the right format and
//       load the same bytes.
//
// Option mapping (srec_cat 1.64):
//   Intel hex (codes 1-3)         -Intel (-address-length=2: no extended
//                                 records, code 1; =3: segment records, code 2;
//                                 default =4: linear records, code 3)
//   Motorola (codes 4-6)          -Motorola (-address-length=2/3/4 gives
//                                 S1/S9, S2/S8, S3/S7)
//   Extended Tektronix (code 7)   -Tektronix_Extended
//   Tektronix (code 8)            -Tektronix
//   Atmel generic 16-bit (code 9) -Atmel_Generic_BigEndian: "WWWWWW:HHLL",
//                                 the byte at 2 W + 1 first. srec_cat's
//                                 default -Atmel_Generic puts the byte at 2 W
//                                 first: a file written with it loads with
//                                 every byte pair swapped (tested below).
//   Atmel generic 8-bit (code 10) no srec_cat format: its Atmel reader and
//                                 writer have six address and four data
//                                 digits only. The byte-per-line form of
//                                 -Memory_Initialization_File with WIDTH = 8
//                                 and -obs=1 ("AAAA: DD;") carries the same
//                                 address and byte, so the 8-bit layout is
//                                 checked through that format with a purely
//                                 textual rewrite of each line.
//
// Legitimate differences (srec_cat's choice / ours; our reader accepts both):
//   - srec_cat writes no end record in Tektronix, extended Tektronix and
//     Motorola unless an execution start address is given; we always write
//     "/00000000", "%0E81E800000000" and "S9030000FC" (also after S2 records).
//   - srec_cat writes an S0 header and an S5 (or S6) record count; we write
//     neither, and srec_cat reading our file remarks "warning: no header
//     record".
//   - srec_cat writes 32-byte records from wherever data starts and always
//     begins Intel files with ":020000040000FA" (code 3); we write 16-byte
//     rows on 16-byte boundaries, with extended records only above 0xFFFF.
//   - srec_cat uses one address width for a whole S-record file (S2 records
//     throughout once any address is above 0xFFFF); we switch from S1 to S2
//     at the first row above 0xFFFF.
//   - srec_cat writes LF line ends, we CR LF; each reads the other's.
#include "common/find_on_path.h"
#include "format_test_util.h"
#include "formats/file_loader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const std::string& SrecCatPath() {
    static const std::string path = FindOnPath("srec_cat");
    return path;
}

constexpr std::uint32_t kWide = 0x20000;   // 24C1024
constexpr std::uint32_t kNarrow = 0x10000; // what Tektronix and 8-bit Atmel can address

struct TImage {
    const char* what;
    std::uint32_t end; // data only below this address
    bool sparse;       // 0xFF holes (written by srec_cat as gaps)
    THexList data;
};

std::vector<TImage> Images() {
    std::vector<TImage> images;
    for (std::uint32_t end : {kWide, kNarrow}) {
        TImage sparse{end == kWide ? "sparse 128 KiB" : "sparse 64 KiB", end, true, Buffer(kWide)};
        FillSparse(sparse.data, 0, end, end);
        images.push_back(std::move(sparse));
        TImage full{end == kWide ? "full 128 KiB" : "full 64 KiB", end, false, Buffer(kWide)};
        for (std::uint32_t i = 0; i < end; ++i)
            full.data.HexData[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8) + 3);
        images.push_back(std::move(full));
    }
    TImage ends{"first and last byte only", kWide, true, Buffer(kWide)};
    ends.data.HexData[0] = 0x00;
    ends.data.HexData[kWide - 1] = 0x5A;
    images.push_back(std::move(ends));
    return images;
}

class SrecCatInterop : public testing::Test {
  protected:
    void SetUp() override {
        if (SrecCatPath().empty())
            GTEST_SKIP()
                << "srec_cat not found on PATH (Debian package srecord): interoperability not tested";
    }

    // Runs srec_cat with Args (no shell); it must succeed without a word,
    // apart from lines holding the text Tolerated.
    void SrecCat(const std::vector<std::string>& Args, const std::string& Tolerated = {}) {
        std::vector<std::string> all{SrecCatPath()};
        all.insert(all.end(), Args.begin(), Args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string log = dir.File("srec_cat.log");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = 0;
        const int rc = posix_spawn(&pid, all[0].c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_EQ(rc, 0) << "cannot start " << all[0];
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        std::string command;
        for (const auto& a : all)
            command += a + " ";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << "\n" << ReadBytes(log);
        for (const auto& line : SplitLines(ReadBytes(log)))
            EXPECT_TRUE(!Tolerated.empty() && line.find(Tolerated) != std::string::npos) << command << "\n"
                                                                                         << line;
    }

    // srec_cat's reading of File in format Format, as a 128 KiB image with
    // 0xFF where the file has no data (longer if the file holds more).
    std::string ReadBySrecCat(const std::string& File, const std::vector<std::string>& Format,
                              const std::string& Tolerated = {}) {
        std::vector<std::string> args{File};
        args.insert(args.end(), Format.begin(), Format.end());
        args.insert(args.end(), {"-fill", "0xFF", "0", "0x20000", "-o", dir.File("back.bin"), "-binary"});
        SrecCat(args, Tolerated);
        return ReadBytes(dir.File("back.bin"));
    }

    // Writes Image as a binary file and returns the srec_cat arguments that
    // read it: gaps where the image is 0xFF when sparse.
    std::vector<std::string> SrecCatInput(const TImage& Image) {
        WriteBytes(dir.File("image.bin"), ::Image(Image.data));
        std::vector<std::string> in{dir.File("image.bin"), "-binary", "-crop", "0",
                                    std::to_string(Image.end)};
        if (Image.sparse) in.insert(in.end(), {"-unfill", "0xFF", "1"});
        return in;
    }

    TTempDir dir;
};

struct TFamily {
    const char* name;
    int code;
    std::vector<std::string> format;
    bool wide;             // holds addresses above 0xFFFF
    const char* tolerated; // srec_cat's remark on a legitimate difference
};

const TFamily kFamilies[] = {
    {"Intel", 1, {"-Intel"}, true, ""},
    // We write no S0 header; srec_cat notes that and reads on.
    {"Motorola", 4, {"-Motorola"}, true, "warning: no header record"},
    {"extended Tektronix", 7, {"-Tektronix_Extended"}, true, ""},
    {"Tektronix", 8, {"-Tektronix"}, false, ""},
    {"Atmel generic 16-bit", 9, {"-Atmel_Generic_BigEndian"}, true, ""},
};

TEST_F(SrecCatInterop, SrecCatReadsWhatWeWrite) {
    for (const auto& image : Images()) {
        for (const auto& family : kFamilies) {
            if (image.end > kNarrow && !family.wide) continue;
            SCOPED_TRACE(std::string(family.name) + ", " + image.what);
            THexList data = image.data;
            ASSERT_EQ(TFileLoader::SaveFile(dir.File("ours.txt"), data, family.code), 0);
            EXPECT_TRUE(ReadBySrecCat(dir.File("ours.txt"), family.format, family.tolerated) ==
                        Image(image.data));
        }
    }
}

struct TVariant {
    const char* what;
    std::vector<std::string> output; // srec_cat output format and options
    int wideCode;                    // code detected for data above 0xFFFF; 0: not applicable
    int narrowCode;                  // code detected for data below 0x10000
};

const TVariant kVariants[] = {
    {"Intel defaults", {"-Intel"}, 3, 3},
    {"Intel without extended records", {"-Intel", "-address-length=2"}, 0, 1},
    {"Intel segment records", {"-Intel", "-address-length=3"}, 2, 2},
    {"Intel 16-byte records", {"-Intel", "-obs=16"}, 3, 3},
    {"Intel 255-byte records", {"-Intel", "-obs=255"}, 3, 3},
    {"Intel 1-byte records", {"-Intel", "-obs=1"}, 3, 3},
    {"Motorola defaults (S0 header, S5 count)", {"-Motorola"}, 5, 4},
    {"Motorola without header and count", {"-Motorola", "-disable=header", "-disable=data-count"}, 5, 4},
    {"Motorola with end record", {"-Motorola", "-execution-start-address=0"}, 5, 4},
    {"Motorola S2 and S8", {"-Motorola", "-address-length=3", "-execution-start-address=0"}, 5, 5},
    {"Motorola S3 and S7", {"-Motorola", "-address-length=4", "-execution-start-address=0"}, 6, 6},
    {"Motorola 64-byte records", {"-Motorola", "-obs=64"}, 5, 4},
    {"extended Tektronix defaults", {"-Tektronix_Extended"}, 7, 7},
    {"extended Tektronix with termination", {"-Tektronix_Extended", "-execution-start-address=0"}, 7, 7},
    {"extended Tektronix 16-byte records", {"-Tektronix_Extended", "-obs=16"}, 7, 7},
    {"extended Tektronix 100-byte records", {"-Tektronix_Extended", "-obs=100"}, 7, 7},
    {"Tektronix defaults", {"-Tektronix"}, 0, 8},
    {"Tektronix with end record", {"-Tektronix", "-execution-start-address=0"}, 0, 8},
    {"Tektronix 255-byte records", {"-Tektronix", "-obs=255"}, 0, 8},
    {"Atmel generic 16-bit", {"-Atmel_Generic_BigEndian"}, 9, 9},
};

TEST_F(SrecCatInterop, WeReadWhatSrecCatWrites) {
    for (const auto& image : Images()) {
        for (const auto& variant : kVariants) {
            const int code = image.end > kNarrow ? variant.wideCode : variant.narrowCode;
            if (code == 0) continue;
            SCOPED_TRACE(std::string(variant.what) + ", " + image.what);
            std::vector<std::string> args = SrecCatInput(image);
            if (variant.output[0].rfind("-Atmel", 0) == 0 && image.sparse) {
                // Atmel generic holds whole words: pad every run to even bounds.
                args.insert(args.end(), {"-fill", "0xFF", "-within", "("});
                const auto in = SrecCatInput(image);
                args.insert(args.end(), in.begin(), in.end());
                args.insert(args.end(), {")", "-range-padding", "2"});
            }
            args.push_back("-o");
            args.push_back(dir.File("theirs.txt"));
            args.insert(args.end(), variant.output.begin(), variant.output.end());
            SrecCat(args);
            EXPECT_EQ(TFileLoader::GetFileType(dir.File("theirs.txt")), code);
            THexList loaded = Buffer(kWide);
            ASSERT_EQ(TFileLoader::LoadFile(dir.File("theirs.txt"), loaded, 0), 0);
            EXPECT_TRUE(Image(loaded) == Image(image.data));
        }
    }
}

// srec_cat's default Atmel layout puts the even byte first: the same image
// loads with every byte pair swapped, which is why -Atmel_Generic_BigEndian
// is the 16-bit layout's counterpart.
TEST_F(SrecCatInterop, SrecCatDefaultAtmelLayoutIsByteSwapped) {
    const auto images = Images();
    const TImage& image = images[3]; // full 64 KiB
    ASSERT_FALSE(image.sparse);
    auto args = SrecCatInput(image);
    args.insert(args.end(), {"-o", dir.File("le.txt"), "-Atmel_Generic"});
    SrecCat(args);
    THexList loaded = Buffer(kWide);
    ASSERT_EQ(TFileLoader::LoadFile(dir.File("le.txt"), loaded, 0), 0);
    std::string swapped = Image(image.data);
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2)
        std::swap(swapped[i], swapped[i + 1]);
    EXPECT_TRUE(Image(loaded) == swapped);
}

// The 8-bit layout through srec_cat's byte-per-line memory initialisation
// file: each "AAAA:DD" line becomes "AAAA: DD;" and back, nothing else.
TEST_F(SrecCatInterop, AtmelGeneric8BitThroughMemoryInitialisationFile) {
    const std::regex ours("([0-9A-F]{4}):([0-9A-F]{2})"), theirs("([0-9A-F]{4}): ([0-9A-F]{2});");
    for (const auto& image : Images()) {
        if (image.end > kNarrow) continue;
        SCOPED_TRACE(image.what);
        // (a) ours, rewritten as a memory initialisation file, read by srec_cat.
        THexList data = image.data;
        ASSERT_EQ(TFileLoader::SaveFile(dir.File("ours.txt"), data, 10), 0);
        std::string mif =
            "DEPTH = 65536;\nWIDTH = 8;\nADDRESS_RADIX = HEX;\nDATA_RADIX = HEX;\nCONTENT BEGIN\n";
        for (const auto& line : SplitLines(ReadBytes(dir.File("ours.txt")))) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, ours)) << line;
            mif += m.str(1) + ": " + m.str(2) + ";\n";
        }
        WriteBytes(dir.File("ours.mif"), mif + "END;\n");
        EXPECT_TRUE(ReadBySrecCat(dir.File("ours.mif"), {"-Memory_Initialization_File"}) ==
                    Image(image.data));

        // (b) srec_cat's file, its byte lines rewritten, read by us.
        auto args = SrecCatInput(image);
        args.insert(args.end(), {"-o", dir.File("theirs.mif"), "-Memory_Initialization_File", "-obs=1"});
        SrecCat(args);
        std::string text;
        for (const auto& line : SplitLines(ReadBytes(dir.File("theirs.mif")))) {
            std::smatch m;
            if (std::regex_match(line, m, theirs)) text += m.str(1) + ":" + m.str(2) + "\n";
        }
        WriteBytes(dir.File("theirs.txt"), text);
        EXPECT_EQ(TFileLoader::GetFileType(dir.File("theirs.txt")), 10);
        THexList loaded = Buffer(kWide);
        ASSERT_EQ(TFileLoader::LoadFile(dir.File("theirs.txt"), loaded, 0), 0);
        EXPECT_TRUE(Image(loaded) == Image(image.data));
    }
}

} // namespace
