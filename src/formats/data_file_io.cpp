#include "formats/data_file_io.h"

#include "fileio/atomic_replace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const char* What, const std::string& FileName, int Err) {
    throw EDataFileError(std::string(What) + " \"" + FileName + "\": " + std::strerror(Err), FileName);
}

// An open descriptor closed on every path.
class TFd {
  public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd() {
        if (FFd >= 0) close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }

  private:
    int FFd;
};

// Opens the file and gives what fstat says of it in St.
int OpenForReading(const std::string& FileName, struct stat& St) {
    int fd;
    do {
        fd = open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) Fail("Cannot open file", FileName, errno);
    if (fstat(fd, &St) != 0) {
        const int err = errno;
        close(fd);
        Fail("Cannot open file", FileName, err);
    }
    if (S_ISDIR(St.st_mode)) {
        close(fd);
        Fail("Cannot open file", FileName, EISDIR);
    }
    return fd;
}

// Reads up to Count bytes; fewer only at the end of the file.
std::size_t ReadSome(int fd, char* Buffer, std::size_t Count, const std::string& FileName) {
    std::size_t got = 0;
    while (got < Count) {
        const ssize_t n = read(fd, Buffer + got, Count - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail("Cannot read file", FileName, errno);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

} // namespace

bool DataFileExists(const std::string& FileName) {
    struct stat st {};
    return !FileName.empty() && stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

namespace {

// The file's bytes up to Limit + 1 of them: a regular file in one read of
// the size it has, anything else in chunks.
std::string ReadUpTo(int fd, const struct stat& St, std::size_t Limit, const std::string& FileName) {
    std::size_t expected = 65536;
    if (S_ISREG(St.st_mode))
        expected = std::min<std::size_t>(static_cast<std::size_t>(St.st_size), Limit) + 1;
    std::string bytes;
    for (;;) {
        const std::size_t have = bytes.size();
        const std::size_t want = std::min(std::max(expected, have), Limit + 1 - have);
        bytes.resize(have + want);
        const std::size_t n = ReadSome(fd, bytes.data() + have, want, FileName);
        bytes.resize(have + n);
        if (n < want || bytes.size() > Limit) return bytes;
    }
}

} // namespace

std::optional<std::string> ReadDataText(const std::string& FileName, std::size_t Limit) {
    struct stat st {};
    TFd fd(OpenForReading(FileName, st));
    if (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) <= Limit) {
        std::string text = ReadUpTo(fd.Get(), st, Limit, FileName);
        const auto nul = text.find('\0');
        if (nul != std::string::npos) text.resize(nul);
        if (text.size() > Limit) return std::nullopt;
        return text;
    }
    // Longer than the limit, or no regular file: only up to the first zero
    // byte is read, and no more than Limit bytes.
    std::string text;
    char chunk[65536];
    for (;;) {
        const std::size_t n = ReadSome(fd.Get(), chunk, sizeof chunk, FileName);
        const void* nul = std::memchr(chunk, 0, n);
        const std::size_t keep = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - chunk) : n;
        if (text.size() + keep > Limit) return std::nullopt;
        text.append(chunk, keep);
        if (nul || n < sizeof chunk) return text;
    }
}

std::optional<std::string> ReadDataBytes(const std::string& FileName, std::size_t Limit) {
    struct stat st {};
    TFd fd(OpenForReading(FileName, st));
    if (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > Limit) return std::nullopt;
    std::string bytes = ReadUpTo(fd.Get(), st, Limit, FileName);
    if (bytes.size() > Limit) return std::nullopt;
    return bytes;
}

void WriteDataFileAtomic(const std::string& FileName, std::string_view Data) {
    if (const auto failure = ReplaceFileAtomic(FileName, Data))
        throw EDataFileError(std::string(failure->Step == TReplaceFailure::rs_write ? "Cannot write file"
                                                                                    : "Cannot create file") +
                                 " \"" + FileName + "\": " + failure->Text(),
                             FileName);
}
