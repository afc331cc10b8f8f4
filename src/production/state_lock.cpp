#include "production/state_lock.h"

#include "errors/errors.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

void FailSerialState(const std::string& FileName, const std::string& What) {
    throw EISPException("Serial number state " + FileName + ": " + What);
}

TStateLock::TStateLock(const std::string& StateFile, const std::string& Resolved)
    : FName(Resolved + ".lock") {
    FFd = ::open(FName.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (FFd < 0) {
        const int e = errno;
        FailSerialState(StateFile,
                        "cannot open its lock file " + FName + " (" +
                            (e == ELOOP ? std::string("it is a symbolic link") : std::strerror(e)) + ")");
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::flock(FFd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int e = errno;
            ::close(FFd);
            FailSerialState(StateFile, std::string("cannot lock (") + std::strerror(e) + ")");
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::close(FFd);
            FailSerialState(StateFile, "still locked by another process after 10 s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TStateLock::~TStateLock() {
    ::close(FFd);
}
