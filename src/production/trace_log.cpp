#include "production/trace_log.h"

#include "errors/errors.h"
#include "production/local_time.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& FileName, const std::string& What, int Error) {
    throw EISPException("Traceability log: " + FileName + ": " + What + " (" + std::strerror(Error) + ")");
}

class TFd {
  public:
    explicit TFd(int Fd) : FFd(Fd) {}
    ~TFd() {
        if (FFd >= 0) ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }

  private:
    int FFd;
};

// An exclusive lock on the whole log, taken within a bounded time: a writer
// holds it only for one record.
void LockBounded(int Fd, const std::string& FileName) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) Fail(FileName, "cannot lock", errno);
        if (std::chrono::steady_clock::now() > deadline)
            throw EISPException("Traceability log: " + FileName +
                                ": still locked by another writer after 10 s");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void WriteAll(int Fd, const std::string& Text, const std::string& FileName) {
    std::size_t done = 0;
    while (done < Text.size()) {
        const ssize_t n = ::write(Fd, Text.data() + done, Text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(FileName, "cannot write", errno);
        }
        done += static_cast<std::size_t>(n);
    }
}

// No line this program writes is longer: a record is a few hundred bytes
// plus its texts (file names, a failure), a "torn" record holds at most one
// torn line, escaped.
constexpr off_t kMaxTornLine = off_t{1} << 20;
constexpr off_t kMaxLine = off_t{8} << 20;

[[noreturn]] void NotALog(const std::string& FileName, const std::string& Why) {
    throw EISPException("Traceability log: " + FileName + ": not a traceability log (" + Why +
                        "); nothing was written to it: choose another file");
}

std::string ReadRange(int Fd, off_t From, off_t To, const std::string& FileName) {
    std::string bytes(static_cast<std::size_t>(To - From), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pread(Fd, bytes.data() + done, bytes.size() - done, From + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(FileName, "cannot read", n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

// Where the line that ends at End begins: just after the line end before
// it, or 0 at the start of the file; nothing when it would be longer than
// Limit. Only the bytes looked at are read, each once.
std::optional<off_t> LineStart(int Fd, off_t End, off_t Limit, const std::string& FileName) {
    char block[65536];
    off_t pos = End;
    while (pos > 0) {
        if (End - pos > Limit) return std::nullopt;
        const off_t from =
            pos > static_cast<off_t>(sizeof block) ? pos - static_cast<off_t>(sizeof block) : 0;
        const std::string bytes = ReadRange(Fd, from, pos, FileName);
        if (const void* nl = ::memrchr(bytes.data(), '\n', bytes.size())) {
            const off_t start = from + (static_cast<const char*>(nl) - bytes.data()) + 1;
            if (End - start > Limit) return std::nullopt;
            return start;
        }
        pos = from;
    }
    return End > Limit ? std::nullopt : std::optional<off_t>(0);
}

// What a crash can leave of a record line: a beginning of it, and after a
// power cut zero bytes in place of what had not reached the disk.
bool LooksTorn(std::string_view Tail) {
    const auto data = Tail.find_last_not_of('\0');
    if (data == std::string_view::npos) return true;
    constexpr std::string_view start = "{\"record\":\"";
    const std::string_view head = Tail.substr(0, std::min(start.size(), data + 1));
    return start.substr(0, head.size()) == head;
}

// Checks that the log's end is what this program writes: its last complete
// line one JSON object, and after it nothing, or one torn line. Returns
// where that torn line begins (the file's size when there is none); raises
// for anything else, before any byte is changed.
off_t CheckTail(int Fd, const std::string& FileName) {
    struct stat st {};
    if (::fstat(Fd, &st) != 0) Fail(FileName, "cannot read", errno);
    if (!S_ISREG(st.st_mode)) NotALog(FileName, "it is not a regular file");
    const off_t end = st.st_size;
    if (end == 0) return 0;
    const auto tornStart = LineStart(Fd, end, kMaxTornLine, FileName);
    if (!tornStart) NotALog(FileName, "it ends in more than 1 MiB without a line end");
    if (*tornStart < end && !LooksTorn(ReadRange(Fd, *tornStart, std::min(end, *tornStart + 16), FileName)))
        NotALog(FileName, "its end is no record");
    if (*tornStart == 0) return 0;
    const auto lastStart = LineStart(Fd, *tornStart - 1, kMaxLine, FileName);
    if (!lastStart) NotALog(FileName, "its last line is longer than any record");
    const std::string last = ReadRange(Fd, *lastStart, *tornStart - 1, FileName);
    if (!last.empty() && !nlohmann::ordered_json::parse(last, nullptr, false).is_object())
        NotALog(FileName, "its last line is no JSON object");
    return *tornStart;
}

// Whatever follows the last line end: a record torn by a crash. Cut off,
// it is returned; nothing before it is touched.
std::string CutTornTail(int Fd, const std::string& FileName) {
    const off_t cut = CheckTail(Fd, FileName);
    struct stat st {};
    if (::fstat(Fd, &st) != 0) Fail(FileName, "cannot read", errno);
    if (cut >= st.st_size) return {};
    std::string tail = ReadRange(Fd, cut, st.st_size, FileName);
    if (::ftruncate(Fd, cut) != 0) Fail(FileName, "cannot cut off a torn record", errno);
    return tail;
}

std::string Line(const nlohmann::ordered_json& Record) {
    // Invalid UTF-8 in a text (a fragment, a file name) is replaced, never
    // a reason to lose the record.
    return Record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

} // namespace

TTraceLog::TTraceLog(std::string FileName) : FFileName(std::move(FileName)) {}

void TTraceLog::Append(const nlohmann::ordered_json& Record) const {
    const std::string line = Line(Record);
    struct stat before {};
    const bool existed = ::stat(FFileName.c_str(), &before) == 0;
    // The umask decides who else may append (stations of one line may run
    // as different users of one group).
    TFd fd(::open(FFileName.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666));
    if (fd.Get() < 0) Fail(FFileName, "cannot open", errno);
    LockBounded(fd.Get(), FFileName); // released with the descriptor
    {
        const std::string torn = CutTornTail(fd.Get(), FFileName);
        if (!torn.empty()) {
            const nlohmann::ordered_json note = {{"record", "torn"},
                                                 {"time", Iso8601LocalTime(std::chrono::system_clock::now())},
                                                 {"host", HostName()},
                                                 {"bytes", torn.size()},
                                                 {"text", torn}};
            WriteAll(fd.Get(), Line(note), FFileName);
        }
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) Fail(FFileName, "cannot read", errno);
    try {
        WriteAll(fd.Get(), line, FFileName);
    } catch (...) {
        // A disk full or an I/O error half way: the part of the line that
        // made it is cut off again, so no torn line stays behind.
        if (::ftruncate(fd.Get(), st.st_size) != 0) {
        }
        throw;
    }
    if (::fsync(fd.Get()) != 0) Fail(FFileName, "cannot flush to disk", errno);
    if (!existed) {
        // A new file's name must reach the disk too.
        std::string folder = FFileName;
        const auto slash = folder.rfind('/');
        folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
        TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.Get() >= 0) ::fsync(dir.Get());
    }
}

void TTraceLog::Check() const {
    TFd fd(::open(FFileName.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) {
        if (errno == ENOENT) return; // a new log
        Fail(FFileName, "cannot open", errno);
    }
    CheckTail(fd.Get(), FFileName);
}

std::vector<nlohmann::ordered_json> ReadTraceLog(const std::string& FileName, int* Skipped) {
    std::vector<nlohmann::ordered_json> records;
    if (Skipped) *Skipped = 0;
    std::ifstream in(FileName, std::ios::binary);
    if (!in) throw EISPException("Traceability log: " + FileName + ": cannot open");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto nl = text.find('\n', pos);
        if (nl == std::string::npos) { // a line without its end
            if (Skipped) ++*Skipped;
            break;
        }
        auto j =
            nlohmann::ordered_json::parse(text.begin() + static_cast<std::ptrdiff_t>(pos),
                                          text.begin() + static_cast<std::ptrdiff_t>(nl), nullptr, false);
        if (j.is_object())
            records.push_back(std::move(j));
        else if (Skipped)
            ++*Skipped;
        pos = nl + 1;
    }
    return records;
}
