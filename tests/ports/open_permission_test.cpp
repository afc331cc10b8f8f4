// A serial device or the port device the operator may not open: the message
// names the device and says how to get access; other failures keep the
// system's own reason.
#include "errors/errors.h"
#include "ports/dev_port_io.h"
#include "ports/serial_device.h"
#include "ports/tty_fd.h"
#include "ports/vic_lpt.h"
#include "unprivileged.h"

#include <gtest/gtest.h>

namespace {

constexpr auto npos = std::string::npos;
constexpr char kNotEnforced[] = "a file with mode 000 opens here (privileges cannot be dropped)";

TEST(OpenPermission, MessagesNameTheDeviceAndTheWayToAccess) {
    const std::string tty = "/dev/ttyUSB0";
    for (int error : {EACCES, EPERM}) {
        const std::string text = tty_fd::OpenErrorText(tty, error);
        EXPECT_EQ(text.rfind(tty + ": permission denied: ", 0), 0u) << text;
        for (const char* part : {"'dialout' group", "sudo usermod -aG dialout $USER", "log in again",
                                 "Permissions in README.md"})
            EXPECT_NE(text.find(part), npos) << part << " missing from: " << text;
    }
    EXPECT_EQ(tty_fd::OpenErrorText(tty, ENOENT), tty + ": No such file or directory");
    EXPECT_EQ(tty_fd::OpenErrorText(tty, EBUSY), tty + ": Device or resource busy");

    const std::string port = "/dev/port";
    const std::string denied = PortDeviceAdvice(port, EACCES);
    EXPECT_EQ(denied.rfind(port + ": permission denied: ", 0), 0u) << denied;
    EXPECT_NE(denied.find("needs root"), npos) << denied;
    const std::string refused = PortDeviceAdvice(port, EPERM);
    EXPECT_EQ(refused.rfind(port + ": operation not permitted: ", 0), 0u) << refused;
    EXPECT_NE(refused.find("CAP_SYS_RAWIO"), npos) << refused;
    EXPECT_NE(refused.find("locked down"), npos) << refused;
    // A port device that is missing or busy is no matter of permission.
    EXPECT_EQ(PortDeviceAdvice(port, ENOENT), "");
    EXPECT_EQ(PortDeviceAdvice(port, EBUSY), "");
}

TEST(OpenPermission, SerialDeviceWithoutAccess) {
    TOpenFolder dir;
    const std::string tty = dir.Inaccessible("ttyUSB9");
    const auto run = RunUnprivileged(tty, [&] {
        try {
            OpenSerialDevice(tty);
            std::cout << "opened";
        } catch (const EComError& e) {
            std::cout << e.Message();
        }
        return 0;
    });
    if (!run) GTEST_SKIP() << kNotEnforced;
    EXPECT_EQ(run->err, "");
    EXPECT_EQ(run->out, tty_fd::OpenErrorText(tty, EACCES));
}

TEST(OpenPermission, PortDeviceWithoutAccess) {
    TOpenFolder dir;
    const std::string port = dir.Inaccessible("port");
    const auto run = RunUnprivileged(port, [&] {
        auto io = std::make_unique<TDevPortIo>(TDevPortPaths{port, dir.File("mem"), dir.File("lp")});
        TDevPortIo* raw = io.get();
        TVicLPT lpt(std::move(io), "");
        lpt.SetActive(1);
        std::cout << int{lpt.Active()} << "\n" << raw->LastError() << "\n" << lpt.OpenAdvice();
        return 0;
    });
    if (!run) GTEST_SKIP() << kNotEnforced;
    EXPECT_EQ(run->out, "0\n" + port + ": Permission denied\n" + PortDeviceAdvice(port, EACCES));
}

} // namespace
