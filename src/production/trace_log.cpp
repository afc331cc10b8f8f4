#include "production/trace_log.h"

#include "errors/errors.h"
#include "production/local_time.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
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

// Whatever follows the last line end: a record torn by a crash. Cut off,
// it is returned; nothing before it is touched.
std::string CutTornTail(int Fd, const std::string& FileName) {
    struct stat st {};
    if (::fstat(Fd, &st) != 0) Fail(FileName, "cannot read", errno);
    off_t end = st.st_size;
    if (end == 0) return {};
    char last = 0;
    if (::pread(Fd, &last, 1, end - 1) != 1) Fail(FileName, "cannot read", errno);
    if (last == '\n') return {};
    // Walk back to the previous line end in blocks.
    std::string tail;
    off_t pos = end;
    off_t cut = 0;
    while (pos > 0) {
        const off_t from = pos > 4096 ? pos - 4096 : 0;
        std::string block(static_cast<std::size_t>(pos - from), '\0');
        if (::pread(Fd, block.data(), block.size(), from) != static_cast<ssize_t>(block.size()))
            Fail(FileName, "cannot read", errno);
        const auto nl = block.rfind('\n');
        if (nl != std::string::npos) {
            cut = from + static_cast<off_t>(nl) + 1;
            tail = block.substr(nl + 1) + tail;
            break;
        }
        tail = block + tail;
        pos = from;
    }
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
    TFd fd(::open(FFileName.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
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
