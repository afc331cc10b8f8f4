#include "settings/settings_file_io.h"

#include "common/temp_dir.h"
#include "settings/settings_error.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& file) {
    struct stat st {};
    stat(file.c_str(), &st);
    return st.st_mode & 07777;
}

// Expects WriteSettingsFileAtomic to fail with an error naming the file.
void ExpectWriteFails(const std::string& file, std::string_view data) {
    try {
        WriteSettingsFileAtomic(file, data);
        ADD_FAILURE() << "no error writing " << file;
    } catch (const ESettingsError& e) {
        EXPECT_EQ(e.FileName, file);
        EXPECT_NE(e.Message().find("\"" + file + "\""), std::string::npos) << e.Message();
    }
}

} // namespace

TEST(SettingsFileIo, ReplacesTheFileKeepingItsPermissions) {
    TTempDir dir;
    const std::string file = dir.File("p.prj");
    WriteSettingsFileAtomic(file, "first");
    EXPECT_EQ(ReadSettingsFile(file), "first");
    chmod(file.c_str(), 0640);
    WriteSettingsFileAtomic(file, "second");
    EXPECT_EQ(ReadBytes(file), "second");
    EXPECT_EQ(ModeOf(file), 0640u);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"p.prj"});
}

TEST(SettingsFileIo, FollowsASymbolicLink) {
    TTempDir dir;
    std::filesystem::create_directory(dir.File("real"));
    WriteBytes(dir.File("real/registry.reg"), "old");
    std::filesystem::create_symlink("real/registry.reg", dir.File("link.reg"));
    WriteSettingsFileAtomic(dir.File("link.reg"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.reg")));
    EXPECT_EQ(ReadBytes(dir.File("real/registry.reg")), "new");
}

TEST(SettingsFileIo, FailedWriteLeavesTheOldFileWhole) {
    TTempDir dir;
    const std::string file = dir.File("registry.reg");
    const std::string old(3000, 'o');
    WriteBytes(file, old);

    // A file size limit makes the write fail half-way, for root as well.
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ExpectWriteFails(file, std::string(4096, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(ReadBytes(file), old);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"registry.reg"});
}

TEST(SettingsFileIo, UnwritableTargetsRaiseNamingTheFile) {
    TTempDir dir;
    ExpectWriteFails(dir.File("missing/p.prj"), "x");
    // A folder in the target's place: the rename cannot replace it.
    std::filesystem::create_directories(dir.File("taken/inside"));
    ExpectWriteFails(dir.File("taken"), "x");
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("taken/inside")));
    ExpectWriteFails("", "x");
}

TEST(SettingsFileIo, ReadOnlyFolderKeepsTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write into a read-only folder";
    TTempDir dir;
    const std::string locked = dir.File("locked");
    std::filesystem::create_directory(locked);
    WriteBytes(locked + "/p.prj", "old");
    chmod(locked.c_str(), 0500);
    ExpectWriteFails(locked + "/p.prj", "new");
    EXPECT_EQ(ReadBytes(locked + "/p.prj"), "old");
    EXPECT_EQ(FolderEntries(locked), std::vector<std::string>{"p.prj"});
}

TEST(SettingsFileIo, ReadErrors) {
    TTempDir dir;
    EXPECT_EQ(ReadSettingsFile(dir.File("missing")), std::nullopt);
    EXPECT_THROW(ReadSettingsFile(dir.Path()), ESettingsError);
    EXPECT_THROW(ReadSettingsFile(""), ESettingsError);
    // An oversized file (sparse, so it costs no disk space) is refused.
    const std::string big = dir.File("big.reg");
    WriteBytes(big, "");
    std::filesystem::resize_file(big, MaxSettingsFileSize + 1);
    try {
        (void)ReadSettingsFile(big);
        FAIL() << "oversized file read";
    } catch (const ESettingsError& e) {
        EXPECT_EQ(e.FileName, big);
    }
}
