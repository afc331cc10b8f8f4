#include "tools/pty_server.h"

#include "errors/errors.h"
#include "ports/port_holders.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// How often an idle server looks for an exclusive mode left behind.
constexpr std::chrono::milliseconds kIdleCheck{100};

std::string SystemError(const std::string& What) {
    return What + ": " + std::strerror(errno);
}

} // namespace

TPty::TPty(std::string LinkPath) {
    FMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (FMaster < 0) throw Exception(SystemError("Cannot create a pseudo-terminal"));
    if (::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0) {
        const std::string message = SystemError("Cannot unlock the pseudo-terminal");
        ::close(FMaster);
        throw Exception(message);
    }
    char name[256];
    if (::ptsname_r(FMaster, name, sizeof name) != 0) {
        const std::string message = SystemError("Cannot name the pseudo-terminal");
        ::close(FMaster);
        throw Exception(message);
    }
    FPath = name;
    FSlave = ::open(FPath.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    if (FSlave < 0 || ::tcgetattr(FSlave, &tio) != 0) {
        const std::string message = SystemError("Cannot open " + FPath);
        if (FSlave >= 0) ::close(FSlave);
        ::close(FMaster);
        throw Exception(message);
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    ::tcsetattr(FSlave, TCSANOW, &tio);
    ::fcntl(FMaster, F_SETFL, ::fcntl(FMaster, F_GETFL) | O_NONBLOCK);

    if (!LinkPath.empty()) {
        struct stat st {};
        if (::lstat(LinkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                ::close(FSlave);
                ::close(FMaster);
                throw Exception("\"" + LinkPath + "\" exists and is not a symbolic link");
            }
            ::unlink(LinkPath.c_str()); // a link left behind by an earlier run
        }
        if (::symlink(FPath.c_str(), LinkPath.c_str()) != 0) {
            const std::string message = SystemError("Cannot create the link \"" + LinkPath + "\"");
            ::close(FSlave);
            ::close(FMaster);
            throw Exception(message);
        }
        FLink = LinkPath;
    }
}

TPty::~TPty() {
    if (!FLink.empty()) {
        char target[512];
        const ssize_t n = ::readlink(FLink.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == FPath) ::unlink(FLink.c_str());
    }
    if (FSlave >= 0) ::close(FSlave);
    if (FMaster >= 0) ::close(FMaster);
}

bool TPty::EndAbandonedExclusiveMode() {
    int exclusive = 0;
    if (::ioctl(FSlave, TIOCGEXCL, &exclusive) != 0 || !exclusive) return false;
    if (!LockHolders(FPath).empty()) return false; // a client has the line
    return ::ioctl(FSlave, TIOCNXCL) == 0;
}

TPtyServer::TPtyServer(TProgrammerUnit& Unit, std::string LinkPath)
    : FUnit(Unit), FPty(std::move(LinkPath)), FStart(std::chrono::steady_clock::now()) {}

void TPtyServer::Feed(const unsigned char* Data, std::size_t Size) {
    const auto elapsed = std::chrono::duration_cast<TSimDuration>(std::chrono::steady_clock::now() - FStart);
    for (std::size_t i = 0; i < Size; ++i) {
        FUnit.Clock().AdvanceTo(elapsed);
        FUnit.Receive(Data[i]);
    }
    while (FUnit.HasOutput())
        FPending.push_back(static_cast<char>(FUnit.TakeOutput().Byte));
}

void TPtyServer::Run(int StopFd) {
    unsigned char buffer[4096];
    for (;;) {
        // Output queued by a reset or an earlier read.
        while (FUnit.HasOutput())
            FPending.push_back(static_cast<char>(FUnit.TakeOutput().Byte));
        pollfd fds[2] = {{FPty.Master(), static_cast<short>(POLLIN | (FPending.empty() ? 0 : POLLOUT)), 0},
                         {StopFd, POLLIN, 0}};
        const int n = ::poll(fds, 2, static_cast<int>(kIdleCheck.count()));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Exception(SystemError("poll"));
        }
        if (n == 0) {
            FPty.EndAbandonedExclusiveMode();
            continue;
        }
        if (fds[1].revents) return;
        if (fds[0].revents & POLLIN) {
            const ssize_t got = ::read(FPty.Master(), buffer, sizeof buffer);
            if (got > 0) Feed(buffer, static_cast<std::size_t>(got));
        }
        if (!FPending.empty() && (fds[0].revents & POLLOUT)) {
            const ssize_t put = ::write(FPty.Master(), FPending.data(), FPending.size());
            if (put > 0) FPending.erase(0, static_cast<std::size_t>(put));
        }
    }
}
