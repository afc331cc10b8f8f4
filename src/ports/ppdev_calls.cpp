#include "ports/ppdev_calls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

class TSystemPpdevCalls : public TPpdevCalls {
  public:
    int Open(const std::string& Path) override {
        const int fd = ::open(Path.c_str(), O_RDWR | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    }
    int Ioctl(int Fd, unsigned long Request, void* Arg) override {
        for (;;) {
            if (::ioctl(Fd, Request, Arg) == 0) return 0;
            if (errno != EINTR) return -errno;
        }
    }
    void Close(int Fd) override { ::close(Fd); }
};

} // namespace

TPpdevCalls& SystemPpdevCalls() {
    static TSystemPpdevCalls calls;
    return calls;
}
