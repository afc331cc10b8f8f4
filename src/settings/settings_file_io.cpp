#include "settings/settings_file_io.h"

#include "settings/settings_error.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ErrorText(int err) {
    return std::strerror(err);
}

[[noreturn]] void RaiseRead(const std::string& FileName, const std::string& why) {
    throw ESettingsError("Cannot read settings file \"" + FileName + "\": " + why, FileName);
}

[[noreturn]] void RaiseWrite(const std::string& FileName, const std::string& why) {
    throw ESettingsError("Cannot write settings file \"" + FileName + "\": " + why, FileName);
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links to the file that is really written; stops after a
// bounded number of links (a loop is left for the rename to report).
std::string ResolveLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return path;
        target.resize(static_cast<std::size_t>(n));
        path = (!target.empty() && target.front() == '/') ? target : DirectoryOf(path) + "/" + target;
    }
    return path;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

std::optional<std::string> ReadSettingsFile(const std::string& FileName) {
    if (FileName.empty()) RaiseRead(FileName, "no file name");
    int fd;
    do {
        fd = open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        RaiseRead(FileName, ErrorText(errno));
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        const int err = errno;
        close(fd);
        RaiseRead(FileName, ErrorText(err));
    }
    if (S_ISDIR(st.st_mode)) {
        close(fd);
        RaiseRead(FileName, ErrorText(EISDIR));
    }
    std::string data;
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            close(fd);
            RaiseRead(FileName, ErrorText(err));
        }
        if (n == 0) break;
        if (data.size() + static_cast<std::size_t>(n) > MaxSettingsFileSize) {
            close(fd);
            RaiseRead(FileName, "the file is larger than " + std::to_string(MaxSettingsFileSize) + " bytes");
        }
        data.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    return data;
}

void WriteSettingsFileAtomic(const std::string& FileName, std::string_view Data) {
    if (FileName.empty()) RaiseWrite(FileName, "no file name");
    const std::string target = ResolveLinks(FileName);
    const std::string folder = DirectoryOf(target);

    // Permissions of the file being replaced, if any.
    struct stat old {};
    const bool hadOld = stat(target.c_str(), &old) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) RaiseWrite(FileName, ErrorText(EISDIR));

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "/." + BaseNameOf(target) + ".tmp-" + std::to_string(getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST && errno != EINTR) break;
    }
    if (fd < 0) RaiseWrite(FileName, ErrorText(errno));

    const auto fail = [&](int err) {
        if (fd >= 0) close(fd);
        unlink(temp.c_str());
        RaiseWrite(FileName, ErrorText(err));
    };
    if (hadOld && fchmod(fd, old.st_mode & 07777) != 0) fail(errno);
    if (!WriteAll(fd, Data)) fail(errno);
    if (fsync(fd) != 0) fail(errno);
    const int closed = close(fd);
    fd = -1;
    if (closed != 0) fail(errno);
    if (rename(temp.c_str(), target.c_str()) != 0) fail(errno);

    // Make the rename itself durable. Some file systems cannot sync a
    // folder; the file is already complete on the disk then.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}
