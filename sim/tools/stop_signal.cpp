#include "tools/stop_signal.h"

#include "errors/errors.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int gStopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(gStopPipe[1], &c, 1);
}

} // namespace

int StopSignalFd() {
    if (gStopPipe[0] < 0 && ::pipe2(gStopPipe, O_CLOEXEC) != 0) throw Exception("Cannot create a pipe");
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
    return gStopPipe[0];
}
