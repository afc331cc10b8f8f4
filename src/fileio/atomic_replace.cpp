#include "fileio/atomic_replace.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
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

TReplaceFailure Refusal(int Error, std::string Reason) {
    return TReplaceFailure{TReplaceFailure::rs_refused, Error, std::move(Reason)};
}

// The kernel's rule for links in sticky folders (fs.protected_symlinks): a
// link there is followed only for its owner or the folder's owner, so that
// nobody can plant a link in /tmp that sends another user's save elsewhere.
bool MayFollow(const std::string& Link, const struct stat& LinkStat) {
    struct stat folder {};
    if (stat(DirectoryOf(Link).c_str(), &folder) != 0) return true; // the rename will report it
    if (!(folder.st_mode & S_ISVTX)) return true;
    const uid_t me = geteuid();
    return LinkStat.st_uid == me || LinkStat.st_uid == folder.st_uid;
}

// ".<name>.tmp-<pid>-<n>": the temporary file of a replacement of <name>.
std::string TempPrefix(const std::string& Target) {
    return "." + BaseNameOf(Target) + ".tmp-";
}

// The process id in a temporary file's name after its prefix; 0 when the
// rest of the name is not "<pid>-<n>".
pid_t TempOwner(std::string_view Rest) {
    const auto dash = Rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == Rest.size()) return 0;
    long pid = 0;
    for (std::size_t i = 0; i < Rest.size(); ++i) {
        const char c = Rest[i];
        if (i == dash) continue;
        if (c < '0' || c > '9') return 0;
        if (i < dash) {
            pid = pid * 10 + (c - '0');
            if (pid > 0x3FFFFFFF) return 0;
        }
    }
    return static_cast<pid_t>(pid);
}

// Removes the temporary files of Target that processes which no longer run
// left behind (a save killed before its rename).
void RemoveAbandonedTemps(const std::string& Folder, const std::string& Target) {
    DIR* dir = opendir(Folder.c_str());
    if (!dir) return;
    const std::string prefix = TempPrefix(Target);
    while (const dirent* e = readdir(dir)) {
        const std::string_view name(e->d_name);
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const pid_t pid = TempOwner(name.substr(prefix.size()));
        if (pid <= 0 || pid == getpid()) continue;
        if (kill(pid, 0) == 0 || errno != ESRCH) continue; // still running (or not ours to ask)
        const std::string path = Folder + "/" + std::string(name);
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(path.c_str());
    }
    closedir(dir);
}

// A character device or a FIFO gets the data written into it, as a shell
// redirection would; it is never replaced by a regular file.
std::optional<TReplaceFailure> WriteInPlace(const std::string& FileName, const struct stat& St,
                                            std::string_view Data) {
    // Non-blocking open: a FIFO nobody reads fails at once instead of
    // waiting for a reader without end.
    int fd;
    do {
        fd = open(FileName.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int err = errno;
        if (err == ENXIO && S_ISFIFO(St.st_mode))
            return TReplaceFailure{TReplaceFailure::rs_create, err, "a pipe no program reads from"};
        return TReplaceFailure{TReplaceFailure::rs_create, err, {}};
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    const bool written = WriteAll(fd, Data);
    const int err = errno;
    close(fd);
    if (!written) return TReplaceFailure{TReplaceFailure::rs_write, err, {}};
    return std::nullopt;
}

} // namespace

std::string TReplaceFailure::Text() const {
    return Reason.empty() ? std::string(std::strerror(Error)) : Reason;
}

TResolvedFile ResolveWrittenFile(const std::string& FileName) {
    std::string path = FileName;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {path, std::nullopt};
        if (!MayFollow(path, st))
            return {path, Refusal(EACCES, path + " is a symbolic link of another user in a shared folder; "
                                                 "it is not followed")};
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return {path, std::nullopt};
        target.resize(static_cast<std::size_t>(n));
        path = (!target.empty() && target.front() == '/') ? target : DirectoryOf(path) + "/" + target;
    }
    return {path, std::nullopt};
}

std::optional<TReplaceFailure> ReplaceFileAtomic(const std::string& FileName, std::string_view Data) {
    if (FileName.empty()) return TReplaceFailure{TReplaceFailure::rs_create, ENOENT, {}};

    // What the name reaches, as the kernel resolves it (this also covers
    // the links of /dev/fd and /proc, which name pipes and terminals).
    struct stat reached {};
    if (stat(FileName.c_str(), &reached) == 0 && !S_ISREG(reached.st_mode)) {
        if (S_ISDIR(reached.st_mode)) return TReplaceFailure{TReplaceFailure::rs_create, EISDIR, {}};
        if (S_ISCHR(reached.st_mode) || S_ISFIFO(reached.st_mode))
            return WriteInPlace(FileName, reached, Data);
        return Refusal(EINVAL, S_ISBLK(reached.st_mode) ? "a block device (a disk), not a file"
                                                        : "neither a file nor a device");
    }

    const TResolvedFile resolved = ResolveWrittenFile(FileName);
    if (resolved.Refused) return resolved.Refused;
    const std::string& target = resolved.Path;
    const std::string folder = DirectoryOf(target);

    // Permissions and group of the file being replaced, if any.
    struct stat old {};
    const bool hadOld = stat(target.c_str(), &old) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) return TReplaceFailure{TReplaceFailure::rs_create, EISDIR, {}};

    RemoveAbandonedTemps(folder, target);
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "/" + TempPrefix(target) + std::to_string(getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST && errno != EINTR) break;
    }
    if (fd < 0) return TReplaceFailure{TReplaceFailure::rs_create, errno, {}};

    const auto failed = [&](int err) {
        if (fd >= 0) close(fd);
        unlink(temp.c_str());
        return TReplaceFailure{TReplaceFailure::rs_write, err, {}};
    };
    if (hadOld) {
        // The group first: changing it may clear the set-id bits the mode
        // then puts back. A group this user is not in stays as it is.
        if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Not a member of that group: the new file has this user's.
        }
        if (fchmod(fd, old.st_mode & 07777) != 0) return failed(errno);
    }
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
