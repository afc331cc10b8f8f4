#include "programmer/thread_priority.h"

#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Two steps below normal, as the lowest normal priority of other systems.
constexpr int kLower = 2;

pid_t ThisThread() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

// The thread may set its nice value back to Nice.
bool MayRaiseTo(int Nice) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NICE, &limit) != 0) return false;
    // RLIMIT_NICE allows nice values down to 20 - limit.
    const bool byLimit = limit.rlim_cur == RLIM_INFINITY || static_cast<long>(20 - limit.rlim_cur) <= Nice;
    return byLimit || ::geteuid() == 0;
}

} // namespace

TLowPriority::TLowPriority() {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(ThisThread()));
    if (errno != 0 || nice + kLower > 19 || !MayRaiseTo(nice)) return;
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(ThisThread()), nice + kLower) == 0) {
        FOldNice = nice;
        FLowered = true;
    }
}

TLowPriority::~TLowPriority() {
    if (FLowered) ::setpriority(PRIO_PROCESS, static_cast<id_t>(ThisThread()), FOldNice);
}
