#include "production/serial_allocator.h"

#include "../ports/unprivileged.h"
#include "common/temp_dir.h"
#include "errors/errors.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(SerialAllocator, NumbersFollowTheStepAndAStateFileCarriesThemAcrossRuns) {
    TTempDir dir("serial");
    const std::string state = dir.File("serial.state");
    {
        TSerialAllocator a(100, 5, 0xFFFF, state);
        EXPECT_EQ(a.Next(), 100u);
        EXPECT_EQ(a.Next(), 105u);
    }
    EXPECT_EQ(ReadSerialState(state), 110u);
    // A new run, as after a restart: it goes on where the last one stopped,
    // and a start below that never sends it back ...
    EXPECT_EQ(TSerialAllocator(1, 5, 0xFFFF, state).Next(), 110u);
    // ... while a start above it moves it on.
    EXPECT_EQ(TSerialAllocator(500, 5, 0xFFFF, state).Next(), 500u);
    EXPECT_EQ(ReadSerialState(state), 505u);
    // Only the state file and its lock file are left in the folder.
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"serial.state", "serial.state.lock"}));
}

TEST(SerialAllocator, ANumberTooWideForItsBytesIsRefusedNotTruncated) {
    TTempDir dir("serial");
    TSerialAllocator a(0xFFFE, 1, 0xFFFF, dir.File("s"));
    EXPECT_EQ(a.Next(), 0xFFFEu);
    EXPECT_EQ(a.Next(), 0xFFFFu);
    EXPECT_THROW(a.Next(), EISPException);
    EXPECT_EQ(ReadSerialState(dir.File("s")), 0x10000u); // nothing handed out
    TSerialAllocator noFile(0x10000, 1, 0xFFFF);
    EXPECT_THROW(noFile.Next(), EISPException);
}

TEST(SerialAllocator, AFileThatIsNotAStateFileIsRefusedAndLeftAlone) {
    TTempDir dir("serial");
    const std::string state = dir.File("serial.state");
    for (const char* text : {"", "next=\n", "next=12x\n", "count=4\n", "next=1\nnext=2\n", "hello"}) {
        std::ofstream(state, std::ios::binary | std::ios::trunc) << text;
        EXPECT_THROW(TSerialAllocator(1, 1, 100, state).Next(), EISPException) << text;
        std::ifstream in(state, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
    }
    std::ofstream(state, std::ios::binary | std::ios::trunc) << "# comment\r\nnext=42\r\n";
    EXPECT_EQ(TSerialAllocator(1, 1, 100, state).Next(), 42u);
}

// One process per path, each drawing Each numbers from the state file by
// that path and writing them to the pipe Fds (whose ends it closes: the
// parent keeps the reading end).
std::vector<pid_t> StartDrawing(const std::vector<std::string>& Paths, int Each, int (&Fds)[2]) {
    std::vector<pid_t> children;
    for (const std::string& path : Paths) {
        const pid_t pid = ::fork();
        if (pid < 0) throw std::runtime_error("fork");
        if (pid == 0) {
            ::close(Fds[0]);
            try {
                TSerialAllocator a(1, 1, 0xFFFFFFFF, path);
                for (int i = 0; i < Each; ++i) {
                    const std::uint64_t n = a.Next();
                    if (::write(Fds[1], &n, sizeof n) != sizeof n) ::_exit(2);
                }
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    ::close(Fds[1]);
    return children;
}

// Processes drawing numbers at once, some killed with SIGKILL at random
// moments: every number a process reported was handed out once only, and
// the state file is whole afterwards.
TEST(SerialAllocator, ProcessesDrawingAtOnceAndKilledMidWayNeverShareANumber) {
    TTempDir dir("serial");
    const std::string state = dir.File("serial.state");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    constexpr int kProcesses = 6, kEach = 40;
    const std::vector<pid_t> children = StartDrawing(std::vector<std::string>(kProcesses, state), kEach, fds);
    // Two of them die part way.
    ::usleep(3000);
    ::kill(children[0], SIGKILL);
    ::kill(children[3], SIGKILL);
    std::multiset<std::uint64_t> seen;
    std::uint64_t n;
    while (::read(fds[0], &n, sizeof n) == sizeof n)
        seen.insert(n);
    ::close(fds[0]);
    for (std::size_t i = 0; i < children.size(); ++i) {
        int status = 0;
        ::waitpid(children[i], &status, 0);
        if (i != 0 && i != 3) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << i;
        }
    }
    for (std::uint64_t v : seen)
        EXPECT_EQ(seen.count(v), 1u) << v;
    EXPECT_GE(seen.size(), static_cast<std::size_t>((kProcesses - 2) * kEach));
    // The next number is past everything handed out.
    const auto next = ReadSerialState(state);
    ASSERT_TRUE(next);
    EXPECT_GT(*next, *seen.rbegin());
    EXPECT_EQ(TSerialAllocator(1, 1, 0xFFFFFFFF, state).Next(), *next);
}

// Two processes drawing numbers at once, each naming the state file by its
// own path; every number they got, together, is distinct.
std::multiset<std::uint64_t> DrawTogether(const std::string& PathA, const std::string& PathB, int Each) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    const std::vector<pid_t> children = StartDrawing({PathA, PathB}, Each, fds);
    std::multiset<std::uint64_t> seen;
    std::uint64_t n;
    while (::read(fds[0], &n, sizeof n) == sizeof n)
        seen.insert(n);
    ::close(fds[0]);
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    return seen;
}

// Stations of one line that name the shared state file through a link, a
// linked folder or a bind-mounted folder still take turns: the lock is the
// one beside the file the names reach.
TEST(SerialAllocator, StationsNamingOneStateFileByDifferentPathsNeverShareANumber) {
    enum TAlias { al_LinkToTheFile, al_LinkedFolder, al_BindMountedFolder };
    for (const TAlias alias : {al_LinkToTheFile, al_LinkedFolder, al_BindMountedFolder}) {
        SCOPED_TRACE(alias);
        TTempDir dir("serial");
        const std::string real = dir.File("line");
        ASSERT_EQ(::mkdir(real.c_str(), 0755), 0);
        const std::string state = real + "/serial.state";
        std::string other;
        bool mounted = false;
        switch (alias) {
        case al_LinkToTheFile:
            other = dir.File("station-b.state");
            std::filesystem::create_symlink(state, other);
            break;
        case al_LinkedFolder:
            std::filesystem::create_directory_symlink(real, dir.File("line-link"));
            other = dir.File("line-link/serial.state");
            break;
        case al_BindMountedFolder:
            ASSERT_EQ(::mkdir(dir.File("mnt").c_str(), 0755), 0);
            if (::mount(real.c_str(), dir.File("mnt").c_str(), nullptr, MS_BIND, nullptr) != 0) {
                std::cerr << "bind mount not permitted here (" << std::strerror(errno)
                          << "): that case is skipped\n";
                continue;
            }
            mounted = true;
            other = dir.File("mnt/serial.state");
            break;
        }
        constexpr int kEach = 150;
        const auto seen = DrawTogether(state, other, kEach);
        if (mounted) ::umount2(dir.File("mnt").c_str(), MNT_DETACH);
        EXPECT_EQ(seen.size(), 2u * kEach);
        for (std::uint64_t v : seen)
            EXPECT_EQ(seen.count(v), 1u) << v;
        EXPECT_EQ(ReadSerialState(state), 2u * kEach + 1);
    }
}

// Another user of the line's group draws numbers from a state file and lock
// that root created (mode 0644, as an older version or a umask of 022 makes
// them): the lock is held on a read-only descriptor, which is all flock
// needs. A new lock file takes the umask's permissions.
TEST(SerialAllocator, AnotherUserOfTheLineDrawsFromALockFileItMayOnlyRead) {
    TOpenFolder folder;
    const std::string state = folder.File("serial.state");
    const mode_t before = ::umask(002);
    EXPECT_EQ(TSerialAllocator(7, 1, 100, state).Next(), 7u);
    ::umask(before);
    struct stat st {};
    ASSERT_EQ(::stat((state + ".lock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u) << "the group keeps its write access";

    ASSERT_EQ(::chmod((state + ".lock").c_str(), 0644), 0);
    ASSERT_EQ(::chmod(std::filesystem::path(state).parent_path().c_str(), 0777), 0);
    const auto run = RunUnprivileged(folder.Inaccessible("denied"), [&] {
        try {
            return TSerialAllocator(1, 1, 100, state).Next() == 8 ? 0 : 3;
        } catch (const EISPException& e) {
            std::cerr << e.Message() << "\n";
            return 4;
        }
    });
    if (!run) GTEST_SKIP() << "cannot run as an ordinary user here";
    EXPECT_EQ(run->exitCode, 0) << run->err;
    EXPECT_EQ(ReadSerialState(state), 9u);
}

// A lock file name that someone made a symbolic link is not followed (as
// root that would create or lock whatever file the link names).
TEST(SerialAllocator, ALockFileThatIsALinkIsRefusedAndItsTargetNotCreated) {
    TTempDir dir("serial");
    const std::string state = dir.File("serial.state");
    std::filesystem::create_symlink(dir.File("elsewhere"), state + ".lock");
    try {
        TSerialAllocator(1, 1, 100, state).Next();
        ADD_FAILURE() << "a number was handed out";
    } catch (const EISPException& e) {
        EXPECT_NE(e.Message().find("symbolic link"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere")));
    EXPECT_FALSE(std::filesystem::exists(state));
}

} // namespace
