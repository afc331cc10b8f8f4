#include "cli/stop_signals.h"

#include <atomic>
#include <cstddef>
#include <signal.h>

namespace {

std::atomic<bool> gReceived{false};
// The processes a forwarded signal goes to (set before the handlers are).
std::atomic<const pid_t*> gChildren{nullptr};
std::atomic<std::size_t> gChildCount{0};

extern "C" void OnStop(int) {
    gReceived = true;
}

extern "C" void OnForward(int Signal) {
    const pid_t* children = gChildren;
    const std::size_t count = gChildCount;
    for (std::size_t i = 0; children && i < count; ++i)
        ::kill(children[i], Signal);
}

void Install(void (*Handler)(int), struct sigaction (&Old)[std::size(kStopSignals)]) {
    struct sigaction sa {};
    sa.sa_handler = Handler;
    sigemptyset(&sa.sa_mask);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &sa, &Old[i]);
}

void Restore(const struct sigaction (&Old)[std::size(kStopSignals)]) {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &Old[i], nullptr);
}

} // namespace

TStopSignals::TStopSignals() {
    gReceived = false;
    Install(OnStop, FOld);
}

TStopSignals::~TStopSignals() {
    Restore(FOld);
}

bool TStopSignals::Received() {
    return gReceived;
}

TForwardedSignals::TForwardedSignals(std::span<const pid_t> Children) {
    gChildren = Children.data();
    gChildCount = Children.size();
    Install(OnForward, FOld);
}

TForwardedSignals::~TForwardedSignals() {
    Restore(FOld);
    gChildCount = 0;
    gChildren = nullptr;
}
