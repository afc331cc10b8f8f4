#include "settings/settings_file_io.h"

#include "fileio/atomic_replace.h"
#include "settings/settings_error.h"

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
    if (const auto failure = ReplaceFileAtomic(FileName, Data)) RaiseWrite(FileName, failure->Text());
}
