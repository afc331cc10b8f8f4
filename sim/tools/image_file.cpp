#include "tools/image_file.h"

#include "errors/errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string SystemError(const std::string& What, const std::string& FileName) {
    return What + " \"" + FileName + "\": " + std::strerror(errno);
}

} // namespace

bool LoadImageFile(const std::string& FileName, std::vector<std::uint8_t>& Memory) {
    std::error_code ec;
    if (!std::filesystem::exists(FileName, ec)) return false;
    if (!std::filesystem::is_regular_file(FileName, ec))
        throw Exception("Image \"" + FileName + "\" is not a file");
    const auto size = std::filesystem::file_size(FileName, ec);
    if (ec) throw Exception("Cannot read image \"" + FileName + "\": " + ec.message());
    if (size > Memory.size())
        throw Exception("Image \"" + FileName + "\" has " + std::to_string(size) + " bytes, the chip holds " +
                        std::to_string(Memory.size()));
    std::ifstream in(FileName, std::ios::binary);
    if (!in) throw Exception(SystemError("Cannot open image", FileName));
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || data.size() != size) throw Exception("Cannot read image \"" + FileName + "\"");
    std::copy(data.begin(), data.end(), Memory.begin());
    return true;
}

void SaveImageFile(const std::string& FileName, const std::vector<std::uint8_t>& Memory) {
    const std::filesystem::path target(FileName);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) throw Exception(SystemError("Cannot write image", FileName));
    std::string failure;
    const auto fail = [&](const char* What) {
        if (failure.empty()) failure = std::string(What) + ": " + std::strerror(errno);
    };
    // An existing image keeps its permissions; a new one gets rw-r--r--.
    struct stat old {};
    ::fchmod(fd, ::stat(FileName.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    const auto* p = Memory.data();
    std::size_t left = Memory.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fail("write");
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (failure.empty() && ::fsync(fd) != 0) fail("fsync");
    if (::close(fd) != 0) fail("close");
    if (failure.empty() && std::rename(temp.c_str(), FileName.c_str()) != 0) fail("rename");
    if (!failure.empty()) {
        ::unlink(temp.c_str());
        throw Exception("Cannot write image \"" + FileName + "\": " + failure);
    }
}
