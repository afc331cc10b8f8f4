// The serial port object on a real pseudo-terminal: opening by path, name
// and link, line changes without modem lines, gathered writes, bounded
// reads and flushes, and the errors of a closed or missing port.
#include "errors/errors.h"
#include "ports/com_port.h"
#include "ports/port_holders.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// The flags a fresh USB adapter or an earlier program may leave on a line:
// software and hardware flow control, CR/NL translation both ways, line
// editing, echo, signals, hang-up on close.
void DirtyTheLine(const std::string& Slave) {
    const int fd = open(Slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    t.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP;
    t.c_oflag |= OPOST | ONLCR | OCRNL;
    t.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag |= CRTSCTS | HUPCL;
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
    close(fd);
}

termios LineSettings(const std::string& Slave) {
    termios t{};
    const int fd = open(Slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(tcgetattr(fd, &t), 0);
    close(fd);
    return t;
}

// A pseudo-terminal whose master end the test plays.
class TPty {
  public:
    TPty() {
        FMaster = posix_openpt(O_RDWR | O_NOCTTY);
        if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[256];
        ptsname_r(FMaster, name, sizeof name);
        FPath = name;
        fcntl(FMaster, F_SETFL, fcntl(FMaster, F_GETFL) | O_NONBLOCK);
    }
    ~TPty() { Hangup(); }
    // The far end goes away (the unit's program ended, the adapter pulled).
    void Hangup() {
        if (FMaster >= 0) close(FMaster);
        FMaster = -1;
    }
    int Master() const { return FMaster; }
    const std::string& Path() const { return FPath; }
    void Send(const std::string& s) {
        ASSERT_EQ(write(FMaster, s.data(), s.size()), static_cast<ssize_t>(s.size()));
    }
    // What the port has sent, waiting up to Wait for Count bytes.
    std::string Take(std::size_t Count, std::chrono::milliseconds Wait = 1s) {
        std::string out;
        const auto end = std::chrono::steady_clock::now() + Wait;
        while (out.size() < Count && std::chrono::steady_clock::now() < end) {
            pollfd p{FMaster, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char b[256];
            const ssize_t n = read(FMaster, b, sizeof b);
            if (n > 0) out.append(b, static_cast<std::size_t>(n));
        }
        return out;
    }

  private:
    int FMaster = -1;
    std::string FPath;
};

std::string ComErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EComError& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

TEST(ComPortPty, OpensADevicePathAndMovesBytes) {
    TPty pty;
    TComPort port;
    port.SetDeviceName(pty.Path());
    port.Open();
    EXPECT_TRUE(port.Active());
    EXPECT_EQ(port.Line()->Kind(), "termios");
    port.SetBaudRate(br115200);
    port.SetDataBits(db8);
    port.SetParity(paNone);
    // No modem lines on a pseudo-terminal: the sequence goes through.
    EXPECT_NO_THROW({
        port.SetDTR();
        port.SetRTS();
        port.ClearDTR();
        port.ClearRTS();
    });
    EXPECT_FALSE(port.Line()->ModemLines());

    // Writes are gathered into one call when the port next reads.
    const auto before = port.Stats().Writes;
    port.WriteChar('W');
    port.WriteByte(0x04);
    port.WriteString(std::string("\x11\x22\x33\x44", 4));
    EXPECT_EQ(port.InputCount(), 0u);
    EXPECT_EQ(port.Stats().Writes - before, 1u);
    EXPECT_EQ(pty.Take(6), std::string("W\x04\x11\x22\x33\x44", 6));

    pty.Send("\rABC");
    EXPECT_TRUE(port.WaitForInput(1s));
    EXPECT_EQ(port.ReadByte(), '\r');
    char three[3];
    EXPECT_EQ(port.Read(three, 3, true), 3u);
    EXPECT_EQ(std::string(three, 3), "ABC");
    EXPECT_EQ(port.InputCount(), 0u);
    EXPECT_FALSE(port.WaitForInput(20ms));
}

TEST(ComPortPty, WaitsAreBounded) {
    TPty pty;
    TComPort port;
    port.SetDeviceName(pty.Path());
    port.Open();
    port.SetReadTimeout(30ms);
    pty.Send("xy");
    char buffer[4];
    // Two bytes of four: the read gives up with "Timeout".
    EXPECT_EQ(ComErrorOf([&] { port.Read(buffer, 4, true); }), "Timeout");
    EXPECT_EQ(ComErrorOf([&] { port.ReadByte(); }), "Timeout");
    // Without waiting, what is there.
    pty.Send("z");
    EXPECT_TRUE(port.WaitForInput(1s));
    EXPECT_EQ(port.Read(buffer, 4, false), 1u);

    // A flush hands the gathered bytes over and returns once they have left.
    port.WriteString("hello");
    EXPECT_NO_THROW(port.Flush());
    EXPECT_EQ(port.OutputCount(), 0u);
    EXPECT_EQ(pty.Take(5), "hello");
}

TEST(ComPortPty, PortNamesThroughTheTableAndLinks) {
    TPty pty;
    const std::string link =
        (std::filesystem::temp_directory_path() / ("norvoisp-pty-" + std::to_string(getpid()))).string();
    std::filesystem::remove(link);
    std::filesystem::create_symlink(pty.Path(), link);
    TComPortTable table;
    table.Assign(3, link);
    TComPort port;
    port.SetPortTable(table);
    port.SetDeviceName("\\\\.\\COM3");
    port.Open();
    EXPECT_EQ(port.DevicePath(), link);
    std::vector<std::string> names;
    port.EnumComDevicesFromRegistry(names);
    EXPECT_EQ(names, (std::vector<std::string>{"COM3"}));
    // Another name closes the port.
    port.SetDeviceName("COM4");
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(ComErrorOf([&] { port.Open(); }), "COM4: no device is assigned to this port");
    std::filesystem::remove(link);
}

TEST(ComPortPty, ErrorsOfMissingDevicesAndClosedPorts) {
    TComPort port;
    for (auto op : std::vector<std::function<void()>>{
             [&] { port.SetDTR(); }, [&] { port.ReadByte(); }, [&] { port.WriteByte(1); },
             [&] { port.Flush(); }, [&] { port.InputCount(); }, [&] { port.OutputCount(); }})
        EXPECT_EQ(ComErrorOf(op), "Can't perform this operation on a closed port");
    EXPECT_NO_THROW(port.SetBaudRate(br115200)); // stored for the next open

    port.SetDeviceName("/dev/norvoisp-missing");
    EXPECT_EQ(ComErrorOf([&] { port.Open(); }), "/dev/norvoisp-missing: No such file or directory");
    const std::string file = (std::filesystem::temp_directory_path() / "norvoisp-not-a-tty").string();
    {
        std::FILE* f = std::fopen(file.c_str(), "w");
        std::fclose(f);
    }
    port.SetDeviceName(file);
    EXPECT_EQ(ComErrorOf([&] { port.Open(); }), file + ": not a serial device");
    std::filesystem::remove(file);
}

// Whatever the line was left with, the port carries every byte value
// unchanged both ways: nothing swallowed as flow control (0x11, 0x13),
// nothing translated (0x0D, 0x0A), nothing echoed.
TEST(ComPortPty, EveryByteValueWhateverThePreviousProgramLeft) {
    TPty pty;
    DirtyTheLine(pty.Path());
    TComPort port;
    port.SetDeviceName(pty.Path());
    port.Open();
    const termios t = LineSettings(pty.Path());
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & (CRTSCTS | HUPCL), 0u);

    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    all += "\x13\x11\r\n\x13"; // the dangerous ones once more, after each other
    port.WriteString(all);
    port.Flush();
    EXPECT_EQ(pty.Take(all.size()), all);

    pty.Send(all);
    std::string back(all.size(), '\0');
    EXPECT_EQ(port.Read(back.data(), back.size(), true), all.size());
    EXPECT_EQ(back, all);
    EXPECT_EQ(pty.Take(1, 50ms), ""); // no echo
}

// Another process holding the port (a terminal program, here a child that
// took the lock) makes the open fail with a message naming the device and
// the holder, instead of two programs reading the same replies.
TEST(ComPortPty, APortHeldByAnotherProcessIsRefused) {
    TPty pty;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
        [[maybe_unused]] const ssize_t n = write(ready[1], &ok, 1);
        pause(); // until the test ends it
        _exit(0);
    }
    close(ready[1]);
    char ok = '0';
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    close(ready[0]);
    ASSERT_EQ(ok, '1');

    TComPort port;
    port.SetDeviceName(pty.Path());
    const std::string message = ComErrorOf([&] { port.Open(); });
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(message.rfind(pty.Path() + ": in use by another program (", 0), 0u) << message;
    EXPECT_NE(message.find("process " + std::to_string(child) + ")"), std::string::npos) << message;
    EXPECT_NE(message.find("close it and try again"), std::string::npos) << message;

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    // Once the holder is gone the port opens.
    EXPECT_NO_THROW(port.Open());
    // ... and now a second port object of this program is the one refused.
    TComPort second;
    second.SetDeviceName(pty.Path());
    EXPECT_EQ(ComErrorOf([&] { second.Open(); }),
              pty.Path() + ": already in use by this program (process " + std::to_string(getpid()) + ")");
}

// When the far end vanishes, the wait that notices it reports it at once:
// bytes that came before are still read first.
TEST(ComPortPty, AHangUpIsReportedByTheNextWaitNotWaitedOut) {
    TPty pty;
    TComPort port;
    port.SetDeviceName(pty.Path());
    port.Open();
    port.SetReadTimeout(2s);
    pty.Send("ok");
    EXPECT_TRUE(port.WaitForInput(1s));
    pty.Hangup();
    EXPECT_EQ(port.ReadByte(), 'o');
    EXPECT_EQ(port.ReadByte(), 'k');
    const std::string expected = pty.Path() + ": the device hung up";
    EXPECT_EQ(ComErrorOf([&] { port.WaitForInput(1s); }).rfind(expected, 0), 0u);
    EXPECT_EQ(ComErrorOf([&] { port.ReadByte(); }).rfind(expected, 0), 0u);
}

TEST(ComPortPty, DiscardsWhatWasPendingAtOpen) {
    TPty pty;
    pty.Send("stale");
    TComPort port;
    port.SetDeviceName(pty.Path());
    port.Open();
    EXPECT_EQ(port.InputCount(), 0u);
}

} // namespace
