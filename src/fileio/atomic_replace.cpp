#include "fileio/atomic_replace.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// Follows symbolic links to the file that is really written; stops after a
// bounded number of links (a loop is left for the rename to report).
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

bool WriteAll(int Fd, std::string_view Data) {
    while (!Data.empty()) {
        const ssize_t n = write(Fd, Data.data(), Data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        Data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

std::optional<TReplaceFailure> ReplaceFileAtomic(const std::string& FileName, std::string_view Data) {
    if (FileName.empty()) return TReplaceFailure{TReplaceFailure::rs_create, ENOENT};
    const std::string target = ResolveLinks(FileName);
    const std::string folder = DirectoryOf(target);

    // Permissions of the file being replaced, if any.
    struct stat old {};
    const bool hadOld = stat(target.c_str(), &old) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) return TReplaceFailure{TReplaceFailure::rs_create, EISDIR};

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "/." + BaseNameOf(target) + ".tmp-" + std::to_string(getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST && errno != EINTR) break;
    }
    if (fd < 0) return TReplaceFailure{TReplaceFailure::rs_create, errno};

    const auto failed = [&](int err) {
        if (fd >= 0) close(fd);
        unlink(temp.c_str());
        return TReplaceFailure{TReplaceFailure::rs_write, err};
    };
    if (hadOld && fchmod(fd, old.st_mode & 07777) != 0) return failed(errno);
    if (!WriteAll(fd, Data)) return failed(errno);
    if (fsync(fd) != 0) return failed(errno);
    const int closed = close(fd);
    fd = -1;
    if (closed != 0) return failed(errno);
    if (rename(temp.c_str(), target.c_str()) != 0) return failed(errno);

    // Make the rename itself durable. Some file systems cannot sync a
    // folder; the file is already complete on the disk then.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return std::nullopt;
}
