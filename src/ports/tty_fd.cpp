#include "ports/tty_fd.h"

#include <cerrno>
#include <cstring>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace tty_fd {

std::string ErrorText(const std::string& Path) {
    return Path + ": " + std::strerror(errno);
}

std::string OpenErrorText(const std::string& Path, int Error) {
    if (Error == EACCES || Error == EPERM)
        return Path +
               ": permission denied: add your user to the 'dialout' group (sudo usermod -aG dialout $USER, "
               "then log in again; see Permissions in README.md)";
    return Path + ": " + std::strerror(Error);
}

bool TryLowLatency(int Fd) {
    serial_struct info{};
    if (::ioctl(Fd, TIOCGSERIAL, &info) != 0) return false;
    if (info.flags & ASYNC_LOW_LATENCY) return true;
    info.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(Fd, TIOCSSERIAL, &info) == 0;
}

void SetExclusive(int Fd, bool Exclusive) {
    // Advisory: root may still open the device; failures change nothing.
    [[maybe_unused]] const int r = ::ioctl(Fd, Exclusive ? TIOCEXCL : TIOCNXCL);
}

bool NoModemLines(int Error) {
    return Error == ENOTTY || Error == EINVAL || Error == ENOSYS || Error == EOPNOTSUPP;
}

} // namespace tty_fd
