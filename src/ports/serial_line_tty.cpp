#include "ports/serial_line_tty.h"

#include "errors/errors.h"
#include "ports/port_holders.h"
#include "ports/tty_fd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

speed_t BaudRateConstant(int Baud) {
    struct TRate {
        int Baud;
        speed_t Speed;
    };
    static constexpr TRate kRates[] = {
        {1200, B1200},     {2400, B2400},     {4800, B4800},       {9600, B9600},       {19200, B19200},
        {38400, B38400},   {57600, B57600},   {115200, B115200},   {230400, B230400},   {460800, B460800},
        {500000, B500000}, {921600, B921600}, {1000000, B1000000}, {2000000, B2000000},
    };
    for (const auto& r : kRates)
        if (r.Baud == Baud) return r.Speed;
    throw EComError("Baud rate " + std::to_string(Baud) + " is not supported");
}

namespace {

// The line as the unit needs it, whatever the previous program left: raw
// eight-bit bytes, no flow control (a fresh USB adapter starts with IXON,
// which swallows 0x11 and 0x13), no translation of CR or NL either way, no
// echo, no signals, no hang-up on close; reads return at once. Built from
// nothing rather than edited, so no flag survives; only the speed is kept
// until the port sets its own.
termios RawLine(const termios& Previous) {
    termios t{};
    t.c_cflag = CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, ::cfgetispeed(&Previous));
    ::cfsetospeed(&t, ::cfgetospeed(&Previous));
    return t;
}

// Whether the device took the flags that matter for carrying every byte.
bool IsRaw(const termios& t) {
    constexpr tcflag_t input =
        IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | BRKINT | INPCK;
    constexpr tcflag_t local = ICANON | ECHO | ECHONL | ISIG | IEXTEN;
    return (t.c_iflag & input) == 0 && (t.c_oflag & OPOST) == 0 && (t.c_lflag & local) == 0 &&
           (t.c_cflag & (CRTSCTS | HUPCL)) == 0 && (t.c_cflag & CSIZE) == CS8;
}

} // namespace

TTtySerialLine::TTtySerialLine(const std::string& Path) : FPath(Path) {
    FFd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FFd < 0) {
        const int error = errno;
        // EBUSY: another program has made the terminal exclusive.
        if (error == EBUSY) throw EComError(PortInUseText(Path, FindPortHolders(Path)));
        throw EComError(tty_fd::OpenErrorText(Path, error));
    }
    ++FStats.Controls;
    bool exclusive = false;
    auto fail = [this, &exclusive](const std::string& Message) {
        // The exclusive mode outlives this descriptor while another one is
        // open (the pty tool keeps its slave open): end it.
        if (exclusive) tty_fd::SetExclusive(FFd, false);
        ::close(FFd);
        FFd = -1;
        throw EComError(Message);
    };
    if (!::isatty(FFd) || ::tcgetattr(FFd, &FSettings) != 0) fail(Path + ": not a serial device");
    // One program at a time: a lock that every well-behaved serial program
    // takes, and the terminal's own exclusive mode for those that do not.
    if (::flock(FFd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        fail(PortInUseText(Path, FindPortHolders(Path)));
    tty_fd::SetExclusive(FFd, true);
    exclusive = true;
    try {
        Apply(RawLine(FSettings));
    } catch (const EComError& e) {
        fail(e.Message());
    }
    termios applied{};
    if (::tcgetattr(FFd, &applied) != 0 || !IsRaw(applied))
        fail(Path + ": the device does not take raw line settings (flow control or translation stays on)");
    ::tcflush(FFd, TCIOFLUSH);
    FLowLatency = tty_fd::TryLowLatency(FFd);
    FStats.Controls += 4;
}

TTtySerialLine::~TTtySerialLine() {
    if (FFd >= 0) {
        tty_fd::SetExclusive(FFd, false);
        ::close(FFd);
    }
}

void TTtySerialLine::Apply(const termios& Settings) {
    ++FStats.Controls;
    if (::tcsetattr(FFd, TCSANOW, &Settings) != 0) throw EComError(tty_fd::ErrorText(FPath));
    FSettings = Settings;
}

void TTtySerialLine::SetBaudRate(int Baud) {
    termios t = FSettings;
    const speed_t speed = BaudRateConstant(Baud);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    Apply(t);
}

void TTtySerialLine::SetDataBits(int Bits) {
    termios t = FSettings;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    switch (Bits) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    case 8:
        t.c_cflag |= CS8;
        break;
    default:
        throw EComError(std::to_string(Bits) + " data bits are not supported");
    }
    Apply(t);
}

void TTtySerialLine::SetParity(TParity Parity) {
    if (Parity == paDefault) return;
    termios t = FSettings;
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    switch (Parity) {
    case paOdd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case paEven:
        t.c_cflag |= PARENB;
        break;
    case paMark:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case paSpace:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    Apply(t);
}

bool TTtySerialLine::ModemLine(int Line, bool Active) {
    if (!FModemLines) return false;
    ++FStats.Controls;
    if (::ioctl(FFd, Active ? TIOCMBIS : TIOCMBIC, &Line) == 0) return true;
    if (tty_fd::NoModemLines(errno)) {
        FModemLines = false;
        return false;
    }
    throw EComError(tty_fd::ErrorText(FPath));
}

bool TTtySerialLine::SetDTR(bool Active) {
    return ModemLine(TIOCM_DTR, Active);
}

bool TTtySerialLine::SetRTS(bool Active) {
    return ModemLine(TIOCM_RTS, Active);
}

std::size_t TTtySerialLine::ReadAvailable(std::uint8_t* Buffer, std::size_t Max) {
    if (Max == 0) return 0;
    for (;;) {
        ++FStats.Reads;
        const ssize_t n = ::read(FFd, Buffer, Max);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        throw EComError(tty_fd::ErrorText(FPath));
    }
}

bool TTtySerialLine::Poll(short Events, TLinkTime Deadline) {
    for (;;) {
        const TLinkDuration left = Deadline - Clock().Now();
        // Round up so that a wait never ends before its deadline.
        const auto ms = std::max<std::int64_t>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(left + std::chrono::microseconds(999))
                   .count());
        pollfd p{FFd, Events, 0};
        ++FStats.Waits;
        const int r = ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(ms, 1 << 30)));
        if (r > 0) {
            // A hang-up wakes every wait at once and reads give nothing (a
            // write fails by itself): reported now rather than waited out.
            if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) && (Events & POLLIN) && !InputWaiting())
                throw EComError(FPath + ": the device hung up (unplugged, or the program at its other end "
                                        "ended)");
            return true;
        }
        if (r == 0) {
            if (Clock().Now() >= Deadline) return false;
            continue;
        }
        if (errno != EINTR) throw EComError(tty_fd::ErrorText(FPath));
    }
}

bool TTtySerialLine::InputWaiting() {
    int n = 0;
    return ::ioctl(FFd, FIONREAD, &n) == 0 && n > 0;
}

bool TTtySerialLine::WaitInput(TLinkDuration Timeout) {
    return Poll(POLLIN, Clock().Now() + Timeout);
}

std::size_t TTtySerialLine::Write(const std::uint8_t* Bytes, std::size_t Count, TLinkDuration Timeout) {
    const TLinkTime deadline = Clock().Now() + Timeout;
    std::size_t done = 0;
    while (done < Count) {
        ++FStats.Writes;
        const ssize_t n = ::write(FFd, Bytes + done, Count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) throw EComError(tty_fd::ErrorText(FPath));
        if (!Poll(POLLOUT, deadline)) break;
    }
    return done;
}

std::size_t TTtySerialLine::OutputCount() {
    int n = 0;
    ++FStats.Controls;
    if (::ioctl(FFd, TIOCOUTQ, &n) != 0) throw EComError(tty_fd::ErrorText(FPath));
    return static_cast<std::size_t>(std::max(n, 0));
}

void TTtySerialLine::Discard() {
    ++FStats.Controls;
    if (::tcflush(FFd, TCIOFLUSH) != 0) throw EComError(tty_fd::ErrorText(FPath));
}
