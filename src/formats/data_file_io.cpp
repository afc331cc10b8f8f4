#include "formats/data_file_io.h"

#include <atomic>
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
    int Release() {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }

  private:
    int FFd;
};

int OpenForReading(const std::string& FileName) {
    int fd;
    do {
        fd = open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) Fail("Cannot open file", FileName, errno);
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        const int err = errno;
        close(fd);
        Fail("Cannot open file", FileName, err);
    }
    if (S_ISDIR(st.st_mode)) {
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

std::string DirectoryOf(const std::string& Path) {
    const auto slash = Path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return Path.substr(0, slash);
}

std::string BaseNameOf(const std::string& Path) {
    const auto slash = Path.find_last_of('/');
    return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

// Follows symbolic links to the file really written (a bounded number; a loop
// is left for the rename to report).
std::string ResolveLinks(std::string Path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(Path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return Path;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(Path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return Path;
        target.resize(static_cast<std::size_t>(n));
        Path = (!target.empty() && target.front() == '/') ? target : DirectoryOf(Path) + "/" + target;
    }
    return Path;
}

} // namespace

bool DataFileExists(const std::string& FileName) {
    struct stat st {};
    return !FileName.empty() && stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::optional<std::string> ReadDataText(const std::string& FileName, std::size_t Limit) {
    TFd fd(OpenForReading(FileName));
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
    TFd fd(OpenForReading(FileName));
    struct stat st {};
    if (fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > Limit)
        return std::nullopt;
    std::string bytes(Limit + 1, '\0');
    const std::size_t n = ReadSome(fd.Get(), bytes.data(), bytes.size(), FileName);
    if (n > Limit) return std::nullopt;
    bytes.resize(n);
    return bytes;
}

void WriteDataFileAtomic(const std::string& FileName, std::string_view Data) {
    if (FileName.empty()) Fail("Cannot create file", FileName, ENOENT);
    const std::string target = ResolveLinks(FileName);
    const std::string folder = DirectoryOf(target);

    struct stat old {};
    const bool hadOld = stat(target.c_str(), &old) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) Fail("Cannot create file", FileName, EISDIR);

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int raw = -1;
    for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        temp = folder + "/." + BaseNameOf(target) + ".tmp-" + std::to_string(getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
        raw = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST && errno != EINTR) break;
    }
    if (raw < 0) Fail("Cannot create file", FileName, errno);
    TFd fd(raw);

    const auto fail = [&](int err) {
        close(fd.Release());
        unlink(temp.c_str());
        Fail("Cannot write file", FileName, err);
    };
    if (hadOld && fchmod(fd.Get(), old.st_mode & 07777) != 0) fail(errno);
    while (!Data.empty()) {
        const ssize_t n = write(fd.Get(), Data.data(), Data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        Data.remove_prefix(static_cast<std::size_t>(n));
    }
    if (fsync(fd.Get()) != 0) fail(errno);
    if (close(fd.Release()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        Fail("Cannot write file", FileName, err);
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        Fail("Cannot write file", FileName, err);
    }
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}
