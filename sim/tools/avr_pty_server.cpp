#include "tools/avr_pty_server.h"

#include "errors/errors.h"
#include "serial_character.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// How often the loop lets the MCU catch up with real time while something
// is going on, and while nothing is.
constexpr auto kBusyPoll = 100us;
constexpr auto kIdlePoll = 20ms;
// Quiet for this long: the loop polls less often.
constexpr TSimDuration kBusyFor = 1s;

} // namespace

TAvrPtyServer::TAvrPtyServer(TAvrUnit& Unit, std::string LinkPath)
    : FUnit(Unit), FPty(std::move(LinkPath)), FOrigin(Unit.Mcu().Now()),
      FStart(std::chrono::steady_clock::now()) {}

std::uint32_t TAvrPtyServer::ProgramBaud() const {
    termios t{};
    if (::tcgetattr(FPty.Master(), &t) != 0) return 115200;
    struct TRate {
        speed_t Speed;
        std::uint32_t Baud;
    };
    static constexpr TRate kRates[] = {{B9600, 9600},       {B19200, 19200},    {B38400, 38400},
                                       {B57600, 57600},     {B115200, 115200},  {B230400, 230400},
                                       {B460800, 460800},   {B500000, 500000},  {B921600, 921600},
                                       {B1000000, 1000000}, {B2000000, 2000000}};
    const speed_t speed = ::cfgetospeed(&t);
    for (const auto& r : kRates)
        if (r.Speed == speed) return r.Baud;
    return 115200;
}

TSimTime TAvrPtyServer::Elapsed() const {
    return FOrigin + std::chrono::duration_cast<TSimDuration>(std::chrono::steady_clock::now() - FStart);
}

void TAvrPtyServer::Run(int StopFd) {
    TAvrMcu& mcu = FUnit.Mcu();
    TSimTime lastActivity{0};
    unsigned char buffer[4096];
    for (;;) {
        mcu.RunUntil(Elapsed());
        const std::uint32_t baud = ProgramBaud();
        while (mcu.HasOutput()) {
            const TMcuOutput out = mcu.TakeOutput();
            if (RatesAgree(out.Baud, baud)) {
                FPending.push_back(static_cast<char>(out.Byte));
            } else {
                // What the program's end reads of it (a framing error as 0).
                for (const TReceivedCharacter& c : ReceiveCharacter(out.Byte, out.Baud, baud))
                    FPending.push_back(static_cast<char>(c.Framing ? 0 : c.Byte));
            }
            lastActivity = mcu.Now();
        }
        const bool busy = mcu.InputsPending() > 0 || mcu.Now() - lastActivity < kBusyFor;
        pollfd fds[2] = {{FPty.Master(), static_cast<short>(POLLIN | (FPending.empty() ? 0 : POLLOUT)), 0},
                         {StopFd, POLLIN, 0}};
        const auto wait = busy ? std::chrono::nanoseconds(kBusyPoll) : std::chrono::nanoseconds(kIdlePoll);
        const timespec timeout{0, static_cast<long>(wait.count())};
        const int n = ::ppoll(fds, 2, &timeout, nullptr);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Exception(std::string("poll: ") + std::strerror(errno));
        }
        if (fds[1].revents) return;
        if (fds[0].revents & POLLIN) {
            const ssize_t got = ::read(FPty.Master(), buffer, sizeof buffer);
            const TSimTime now = std::max(Elapsed(), mcu.Now());
            for (ssize_t i = 0; i < got; ++i) {
                // The PC's UART sends the bytes one after the other.
                FTxFree = std::max(FTxFree, now) + SerialByteTime(baud);
                mcu.ScheduleInput(buffer[i], FTxFree, baud);
            }
            if (got > 0) lastActivity = now;
        }
        if (!FPending.empty() && (fds[0].revents & POLLOUT)) {
            const ssize_t put = ::write(FPty.Master(), FPending.data(), FPending.size());
            if (put > 0) FPending.erase(0, static_cast<std::size_t>(put));
        }
    }
}
