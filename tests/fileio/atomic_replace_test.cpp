// Replacing files: what is not a regular file is never renamed over, links
// planted in shared folders are not followed, the group of the old file is
// kept, and temporary files of killed saves are cleared away.
#include "fileio/atomic_replace.h"

#include "common/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

mode_t TypeOf(const std::string& Path) {
    struct stat st {};
    if (::lstat(Path.c_str(), &st) != 0) return 0;
    return st.st_mode & S_IFMT;
}

// A process id that ran and has ended.
pid_t DeadPid() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

TEST(ReplaceFileAtomic, DeviceNodesAndFifosAreWrittenInPlaceOrRefusedNeverReplaced) {
    TTempDir dir("replace");
    // A scratch copy of /dev/null and of a block device (never opened).
    const std::string null = dir.File("null"), disk = dir.File("disk");
    if (::mknod(null.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0 ||
        ::mknod(disk.c_str(), S_IFBLK | 0600, ::makedev(7, 200)) != 0)
        GTEST_SKIP() << "mknod not permitted here (needs root): " << std::strerror(errno);

    EXPECT_EQ(ReplaceFileAtomic(null, "image bytes"), std::nullopt);
    EXPECT_EQ(TypeOf(null), S_IFCHR) << "the device node is still one";

    const auto refused = ReplaceFileAtomic(disk, "image bytes");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->Step, TReplaceFailure::rs_refused);
    EXPECT_NE(refused->Text().find("block device"), std::string::npos) << refused->Text();
    EXPECT_EQ(TypeOf(disk), S_IFBLK);

    // A FIFO with a reader gets the data; one without fails at once.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto noReader = ReplaceFileAtomic(fifo, "x");
    ASSERT_TRUE(noReader);
    EXPECT_NE(noReader->Text().find("no program reads"), std::string::npos) << noReader->Text();
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(ReplaceFileAtomic(fifo, "through the pipe"), std::nullopt);
    char got[64] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 16);
    EXPECT_STREQ(got, "through the pipe");
    ::close(reader);
    EXPECT_EQ(TypeOf(fifo), S_IFIFO);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"disk", "fifo", "null"})) << "no temporary file left";
}

TEST(ReplaceFileAtomic, ALinkAnotherUserPlantedInAStickyFolderIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a link another user owns";
    TTempDir dir("replace");
    const std::string shared = dir.File("shared"), victim = dir.File("victim");
    ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0); // as /tmp
    WriteBytes(victim, "precious");
    const std::string planted = shared + "/readback.hex", own = shared + "/mine.hex";
    ASSERT_EQ(::symlink(victim.c_str(), planted.c_str()), 0);
    ASSERT_EQ(::lchown(planted.c_str(), kNobody, kNobody), 0);

    const auto refused = ReplaceFileAtomic(planted, "overwritten");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->Step, TReplaceFailure::rs_refused);
    EXPECT_NE(refused->Text().find("not followed"), std::string::npos) << refused->Text();
    EXPECT_EQ(ReadBytes(victim), "precious");
    EXPECT_EQ(TypeOf(planted), S_IFLNK);

    // A link of this user's own is followed as before.
    ASSERT_EQ(::symlink(victim.c_str(), own.c_str()), 0);
    EXPECT_EQ(ReplaceFileAtomic(own, "replaced"), std::nullopt);
    EXPECT_EQ(ReadBytes(victim), "replaced");
}

TEST(ReplaceFileAtomic, TheReplacementKeepsTheOldFilesGroupAndMode) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file another group";
    TTempDir dir("replace");
    const std::string file = dir.File("state");
    WriteBytes(file, "old");
    ASSERT_EQ(::chown(file.c_str(), 0, kNobody), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
    ASSERT_EQ(ReplaceFileAtomic(file, "new"), std::nullopt);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, kNobody) << "the group that shares the file keeps it";
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(ReadBytes(file), "new");
}

TEST(ReplaceFileAtomic, TemporaryFilesOfSavesThatWereKilledAreRemoved) {
    TTempDir dir("replace");
    const std::string dead = std::to_string(DeadPid());
    const std::string live = std::to_string(::getppid());
    for (const std::string& name : std::vector<std::string>{
             ".board.hex.tmp-" + dead + "-0", ".board.hex.tmp-" + dead + "-17",
             ".board.hex.tmp-" + live + "-3", ".other.hex.tmp-" + dead + "-0", ".board.hex.tmp-notapid"})
        WriteBytes(dir.File(name), "half a save");
    ASSERT_EQ(ReplaceFileAtomic(dir.File("board.hex"), "whole"), std::nullopt);
    // Only this file's leftovers of processes that are gone: a running
    // process may be in the middle of its save.
    EXPECT_EQ(dir.Entries(),
              (std::vector<std::string>{".board.hex.tmp-" + live + "-3", ".board.hex.tmp-notapid",
                                        ".other.hex.tmp-" + dead + "-0", "board.hex"}));
}

} // namespace
