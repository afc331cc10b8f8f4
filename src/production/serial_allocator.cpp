#include "production/serial_allocator.h"

#include "errors/errors.h"
#include "fileio/atomic_replace.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& FileName, const std::string& What) {
    throw EISPException("Serial number state " + FileName + ": " + What);
}

// The lock every process holds while it reads and replaces the state file:
// flock on "<state file>.lock", the state file named as the replacement
// reaches it (its links followed), so that stations naming one file through
// different paths (a link, a linked or bind-mounted folder) share one lock.
// The lock file is opened read-only (flock needs no more, and a lock file
// another user of the group created is then enough), never through a
// symbolic link, and created with the default permissions (the umask
// decides the group's access).
class TStateLock {
  public:
    explicit TStateLock(const std::string& StateFile, const std::string& Resolved)
        : FName(Resolved + ".lock") {
        FFd = ::open(FName.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
        if (FFd < 0) {
            const int e = errno;
            Fail(StateFile, "cannot open its lock file " + FName + " (" +
                                (e == ELOOP ? std::string("it is a symbolic link") : std::strerror(e)) + ")");
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (::flock(FFd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                const int e = errno;
                ::close(FFd);
                Fail(StateFile, std::string("cannot lock (") + std::strerror(e) + ")");
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::close(FFd);
                Fail(StateFile, "still locked by another process after 10 s");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~TStateLock() { ::close(FFd); } // closing releases the lock
    TStateLock(const TStateLock&) = delete;
    TStateLock& operator=(const TStateLock&) = delete;

  private:
    std::string FName;
    int FFd = -1;
};

} // namespace

std::optional<std::uint64_t> ReadSerialState(const std::string& StateFile) {
    struct stat st {};
    if (::stat(StateFile.c_str(), &st) != 0) {
        if (errno == ENOENT) return std::nullopt;
        Fail(StateFile, std::string("cannot read (") + std::strerror(errno) + ")");
    }
    std::ifstream in(StateFile, std::ios::binary);
    if (!in || !S_ISREG(st.st_mode)) Fail(StateFile, "cannot read");
    std::optional<std::uint64_t> next;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::uint64_t value = 0;
        const char* b = line.data() + 5;
        const char* e = line.data() + line.size();
        if (next || line.compare(0, 5, "next=") != 0 || b == e)
            Fail(StateFile, "not a serial number state file");
        const auto [p, ec] = std::from_chars(b, e, value);
        if (ec != std::errc() || p != e) Fail(StateFile, "not a serial number state file");
        next = value;
    }
    if (!next) Fail(StateFile, "not a serial number state file (no \"next=\" line)");
    return next;
}

TSerialAllocator::TSerialAllocator(std::uint64_t Start, std::uint64_t Step, std::uint64_t Max,
                                   std::optional<std::string> StateFile)
    : FNext(Start), FStep(Step == 0 ? 1 : Step), FMax(Max), FStateFile(std::move(StateFile)) {}

std::uint64_t TSerialAllocator::Next() {
    if (!FStateFile) {
        if (FNext > FMax)
            throw EISPException("Serial numbers used up: " + std::to_string(FNext) + " is too wide");
        const std::uint64_t n = FNext;
        FNext += FStep;
        return n;
    }
    const std::string& file = *FStateFile;
    const TResolvedFile resolved = ResolveWrittenFile(file);
    if (resolved.Refused) Fail(file, resolved.Refused->Text());
    TStateLock lock(file, resolved.Path);
    std::uint64_t n = FNext;
    if (const auto stored = ReadSerialState(resolved.Path)) n = std::max(n, *stored);
    if (n > FMax)
        throw EISPException("Serial numbers used up: the next one, " + std::to_string(n) +
                            ", does not fit (" + file + ")");
    std::ostringstream state;
    state << "# norvoisp serial numbers: the next number to hand out. Numbers below it\n"
             "# were handed out and are never given again.\n"
          << "next=" << n + FStep << "\n";
    if (const auto failure = ReplaceFileAtomic(resolved.Path, state.str()))
        Fail(file, "cannot be replaced (" + failure->Text() + ")");
    return n;
}
