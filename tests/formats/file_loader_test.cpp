// TFileLoader: names, dispatch, load results and safe saving.
#include "errors/errors.h"
#include "format_test_util.h"
#include "formats/data_file_io.h"
#include "formats/file_loader.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

TEST(WhatIs, NamesAndUnknownCodes) {
    const char* const names[] = {
        "File empty or binary", "File not found",    "Auto Detect (Intel, Motorola, Tektronix)",
        "Intel Intellex 8/MDS", "Intel MCS-86",      "Intel Hex-32",
        "Motorola EXORciser",   "Motorola EXORmacs", "Motorola 32-bit",
        "Extended Tektronix",   "Tektronix",         "Atmel Generic 16-Bit",
        "Atmel Generic 8-Bit",  "Binary File"};
    for (int code = -2; code <= 11; ++code)
        EXPECT_EQ(TFileLoader::WhatIs(code), names[code + 2]);
    for (int code : {-3, 12, 1000}) {
        try {
            TFileLoader::WhatIs(code);
            ADD_FAILURE() << code;
        } catch (const EUnknownFileType& e) {
            EXPECT_STREQ(e.what(), "Unknown File ID");
        }
    }
}

TEST(LoadFromString, DetectsAgainAndDispatches) {
    THexList b = Buffer(256);
    b.HexData[7] = 0x77;
    b.SetStatus(3, TProgStatus(ps_failed));
    // Any code of 0 or more is detected again: Intel text loads as Intel.
    EXPECT_EQ(TFileLoader::LoadFromString(b, {":0100000012ED", ":00000001FF"}, 5), 0);
    EXPECT_EQ(b.HexData[0], 0x12);
    EXPECT_EQ(b.HexData[7], 0xFF) << "cleared first";
    EXPECT_EQ(b.GetStatus(3), TProgStatus(ps_normal));
    // A negative code loads nothing.
    EXPECT_EQ(TFileLoader::LoadFromString(b, {":0100000012ED", ":00000001FF"}, -2), 0);
    EXPECT_EQ(b.HexData[0], 0xFF);
    // Unrecognised text loads nothing and is not an error.
    EXPECT_EQ(TFileLoader::LoadFromString(b, {"hello"}, 0), 0);
    EXPECT_EQ(b.LastUsedLocation(), -1);
}

TEST(LoadFromString, AddressBeyondBufferStopsWithBytesBeforeKept) {
    THexList b = Buffer(16);
    // The second record runs past address 15: 0x0E and 0x0F are stored, then
    // the load stops; the third record is not read.
    EXPECT_EQ(TFileLoader::LoadFromString(
                  b, {":0100000012ED", ":04000E00AABBCCDDF6", ":0100010034CA", ":00000001FF"}, 0),
              -1);
    EXPECT_EQ(b.HexData[0], 0x12);
    EXPECT_EQ(b.HexData[1], 0xFF);
    EXPECT_EQ(b.HexData[14], 0xAA);
    EXPECT_EQ(b.HexData[15], 0xBB);
}

TEST(LoadFile, NamesAndClearsBufferEvenWhenFileIsUnreadable) {
    TTempDir dir;
    THexList b = Buffer(64);
    b.HexData[5] = 0;
    EXPECT_THROW(TFileLoader::LoadFile(dir.File("missing.hex"), b, 0), EDataFileError);
    EXPECT_EQ(b.FileName(), dir.File("missing.hex"));
    EXPECT_EQ(b.LastUsedLocation(), -1);

    WriteBytes(dir.File("a.mot"), "S104000012E9\r\nS9030000FC\r\n");
    EXPECT_EQ(TFileLoader::LoadFile(dir.File("a.mot"), b, 0), 0);
    EXPECT_EQ(b.FileName(), dir.File("a.mot"));
    EXPECT_EQ(b.HexData[0], 0x12);
}

TEST(LoadFile, BlankLinesAreAtmelGenericWithNothingToLoad) {
    TTempDir dir;
    WriteBytes(dir.File("blank.txt"), "\r\n\r\n\n");
    THexList b = Buffer(64);
    b.HexData[0] = 1;
    EXPECT_EQ(TFileLoader::GetFileType(dir.File("blank.txt")), 9);
    EXPECT_EQ(TFileLoader::LoadFile(dir.File("blank.txt"), b, 0), 0);
    EXPECT_EQ(b.LastUsedLocation(), -1);
}

TEST(SaveFile, WritesCrLfLinesAndKeepsFileName) {
    TTempDir dir;
    THexList b = Buffer(256);
    b.SetFileName("loaded.hex");
    b.HexData[0] = 0x12;
    ASSERT_EQ(TFileLoader::SaveFile(dir.File("out.hex"), b, 1), 0);
    EXPECT_EQ(ReadBytes(dir.File("out.hex")), ":0100000012ED\r\n:00000001FF\r\n");
    EXPECT_EQ(b.FileName(), "loaded.hex");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.hex"}) << "no temporary file left";
}

TEST(SaveFile, CodeOutsideTextFormatsWritesEmptyFile) {
    TTempDir dir;
    THexList b = Buffer(256);
    b.HexData[0] = 0x12;
    for (int code : {0, 11, -1}) {
        WriteBytes(dir.File("out"), "old");
        EXPECT_EQ(TFileLoader::SaveFile(dir.File("out"), b, code), 0);
        EXPECT_EQ(ReadBytes(dir.File("out")), "") << code;
    }
}

TEST(SaveFile, UnwritableTargetIsReported) {
    TTempDir dir;
    THexList b = Buffer(256);
    b.HexData[0] = 0x12;
    EXPECT_EQ(TFileLoader::SaveFile(dir.File("no/such/folder.hex"), b, 1), 1);
    EXPECT_EQ(TFileLoader::SaveFile(dir.Path(), b, 1), 1) << "a folder";
    EXPECT_EQ(TFileLoader::SaveBinary(dir.File("no/such/folder.bin"), b), 1);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{});
}

// A save that fails while writing (here: the file size limit of the process,
// which holds even for root) leaves the previous file as it was and no
// temporary file behind.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t Bytes) {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit l = FOld;
        l.rlim_cur = Bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }

  private:
    rlimit FOld{};
    void (*FOldHandler)(int);
};

TEST(SaveFile, FailedWriteKeepsPreviousFile) {
    TTempDir dir;
    THexList b = Buffer(65536);
    FillSparse(b, 0, 65536, 1);
    WriteBytes(dir.File("old.hex"), "previous contents\r\n");
    WriteBytes(dir.File("old.bin"), "previous binary");
    {
        FileSizeLimit limit(1000);
        for (int code = 1; code <= 10; ++code)
            EXPECT_EQ(TFileLoader::SaveFile(dir.File("old.hex"), b, code), 1) << code;
        EXPECT_EQ(TFileLoader::SaveBinary(dir.File("old.bin"), b), 1);
    }
    EXPECT_EQ(ReadBytes(dir.File("old.hex")), "previous contents\r\n");
    EXPECT_EQ(ReadBytes(dir.File("old.bin")), "previous binary");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"old.bin", "old.hex"}));
    EXPECT_EQ(b.FileName(), dir.File("old.bin")) << "SaveBinary names the buffer first";
}

TEST(SaveFile, ReplacesLinkTargetAndKeepsPermissions) {
    TTempDir dir;
    WriteBytes(dir.File("real.hex"), "old");
    std::filesystem::permissions(dir.File("real.hex"), std::filesystem::perms(0640));
    std::filesystem::create_symlink("real.hex", dir.File("link.hex"));
    THexList b = Buffer(16);
    b.HexData[0] = 0x12;
    ASSERT_EQ(TFileLoader::SaveFile(dir.File("link.hex"), b, 4), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.hex")));
    EXPECT_EQ(ReadBytes(dir.File("real.hex")), "S104000012E9\r\nS9030000FC\r\n");
    EXPECT_EQ(std::filesystem::status(dir.File("real.hex")).permissions(), std::filesystem::perms(0640));
}

TEST(SaveBinary, WritesWholeBufferAndNamesIt) {
    TTempDir dir;
    THexList b = Buffer(32);
    b.HexData[1] = 0x00;
    b.HexData[31] = 0x5A;
    WriteBytes(dir.File("out.bin"), std::string(100, 'x'));
    ASSERT_EQ(TFileLoader::SaveBinary(dir.File("out.bin"), b), 0);
    EXPECT_EQ(ReadBytes(dir.File("out.bin")), Image(b));
    EXPECT_EQ(b.FileName(), dir.File("out.bin"));
}

// Text is read up to its first zero byte and only up to a limit; bytes only
// up to one past theirs.
TEST(DataFileIo, ReadLimits) {
    TTempDir dir;
    WriteBytes(dir.File("t"), std::string("abcdef\0ghij", 11));
    EXPECT_EQ(ReadDataText(dir.File("t"), 6), "abcdef");
    EXPECT_EQ(ReadDataText(dir.File("t"), 5), std::nullopt);
    EXPECT_EQ(ReadDataBytes(dir.File("t"), 11), std::string("abcdef\0ghij", 11));
    EXPECT_EQ(ReadDataBytes(dir.File("t"), 10), std::nullopt);
    EXPECT_EQ(ReadDataText("/dev/zero"), "");
    EXPECT_EQ(ReadDataBytes("/dev/zero", 100), std::nullopt);
    EXPECT_THROW(ReadDataText(dir.File("missing")), EDataFileError);
    EXPECT_THROW(ReadDataBytes(dir.Path(), 10), EDataFileError);
    EXPECT_FALSE(DataFileExists(dir.Path()));
    EXPECT_FALSE(DataFileExists(""));
    EXPECT_TRUE(DataFileExists(dir.File("t")));
}

} // namespace
