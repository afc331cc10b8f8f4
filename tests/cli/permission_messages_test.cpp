// What norvoisp-cli reports when the operator may not open the serial device
// or the port device behind the printer port: the usual failure of the
// operation, with the device and the way to get access.
#include "../ports/unprivileged.h"
#include "cli_run.h"
#include "ports/dev_port_io.h"
#include "ports/tty_fd.h"
#include "programmer/unit/parallel_port.h"

#include <gtest/gtest.h>

namespace {

constexpr char kNotEnforced[] = "a file with mode 000 opens here (privileges cannot be dropped)";

// Runs the command line in-process in an unprivileged child, with settings
// of its own and the printer port object made anew from the environment,
// there with the port device PortDevice.
std::optional<TChildRun> CliWithout(const TOpenFolder& Dir, const std::string& Denied,
                                    const std::vector<std::string>& Args,
                                    const std::string& PortDevice = "/nonexistent/norvoisp-test/port") {
    return RunUnprivileged(Denied, [&] {
        setenv("NORVOISP_REGISTRY", Dir.File("registry.reg").c_str(), 1);
        setenv("NORVOISP_PORT_DEVICE", PortDevice.c_str(), 1);
        ISPClose();
        ISPStartUp();
        const Result r = Cli(Args);
        std::cout << r.out;
        std::cerr << r.err;
        return r.code;
    });
}

TEST(CliPermissions, SerialDeviceWithoutAccess) {
    TOpenFolder dir;
    const std::string tty = dir.Inaccessible("ttyUSB9");
    const auto run = CliWithout(dir, tty, {"erase", "--device", "24C02", "--port", tty});
    if (!run) GTEST_SKIP() << kNotEnforced;
    EXPECT_EQ(run->exitCode, 1);
    EXPECT_EQ(run->err, "NORVO ISP (COM):Communications Error (" + tty +
                            ": permission denied: add your user to the 'dialout' group (sudo usermod -aG "
                            "dialout $USER, then log in again; see Permissions in README.md))\n");
}

// The failure keeps its exact message; the advice is a status line of its own.
TEST(CliPermissions, PortDeviceWithoutAccess) {
    TOpenFolder dir;
    const std::string port = dir.Inaccessible("port");
    const auto run =
        CliWithout(dir, port, {"erase", "--device", "24C02", "--hardware", "Norvo ISP (LPT)"}, port);
    if (!run) GTEST_SKIP() << kNotEnforced;
    EXPECT_EQ(run->exitCode, 1);
    EXPECT_EQ(run->err, "NORVO ISP (LPT): LPT port not found or in use by another program\n");
    EXPECT_EQ(run->out, PortDeviceAdvice(port, EACCES) + "\n");
    EXPECT_NE(run->out.find(port + ": permission denied: the printer port needs root"), std::string::npos);
}

} // namespace
