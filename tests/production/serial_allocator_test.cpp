#include "production/serial_allocator.h"

#include "common/temp_dir.h"
#include "errors/errors.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <set>
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

// Processes drawing numbers at once, some killed with SIGKILL at random
// moments: every number a process reported was handed out once only, and
// the state file is whole afterwards.
TEST(SerialAllocator, ProcessesDrawingAtOnceAndKilledMidWayNeverShareANumber) {
    TTempDir dir("serial");
    const std::string state = dir.File("serial.state");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    constexpr int kProcesses = 6, kEach = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            try {
                TSerialAllocator a(1, 1, 0xFFFFFFFF, state);
                for (int i = 0; i < kEach; ++i) {
                    const std::uint64_t n = a.Next();
                    if (::write(fds[1], &n, sizeof n) != sizeof n) ::_exit(2);
                }
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    ::close(fds[1]);
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

} // namespace
