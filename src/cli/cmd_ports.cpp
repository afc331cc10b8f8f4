// norvoisp-cli ports: the serial ports by their "COM<n>" names, with the
// device each stands for and what that device is (a USB adapter's product,
// ids, serial number and place on the bus), so that two adapters can be
// told apart; and the printer ports the system lists.
#include "cli/cli_args.h"
#include "cli/cli_command.h"
#include "ports/serial_device.h"
#include "ports/serial_port_list.h"
#include "ports/system_lpt_io.h"
#include "programmer/unit/com_port_settings.h"
#include "settings/isp_reg_key.h"
#include "settings/registry_hive.h"
#include "settings/settings_error.h"
#include "settings/settings_store.h"

#include <filesystem>
#include <ostream>
#include <sys/stat.h>

namespace {

std::string Hex(unsigned Value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), digits[Value & 15]);
        Value >>= 4;
    } while (Value);
    return "0x" + s;
}

// What the entry's device is: the system's description, or why there is none.
std::string What(const std::vector<TSerialPortInfo>& Ports, const std::string& Path) {
    if (const TSerialPortInfo* p = FindSerialPort(Ports, Path)) return DescribeSerialPort(*p);
    std::error_code ec;
    if (!std::filesystem::exists(Path, ec)) return "not present";
    return "not listed by the system (a pseudo-terminal or a link to one)";
}

int RunPorts(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, {}, {});
    a.NoPositional();
    // The user's port table as the serial driver reads it; nothing is written.
    TISPSettings settings;
    try {
        std::error_code ec;
        if (std::filesystem::exists(TRegistryHive::DefaultFileName(), ec))
            settings.LoadSettings(std::string(ISPRegKey) + "\\GLOBAL", sl_registry, ss_global);
    } catch (const ESettingsError& e) {
        err << "Warning: settings not read (" << e.Message() << "); using defaults\n";
    }
    const std::vector<TSerialPortInfo> ports = ListSerialPorts();
    TComPortTable table = LoadComPortTable(&settings);
    for (const auto& p : ports)
        table.Add(p.Name());

    out << "Serial ports (--port COMn or the device path):\n";
    if (table.Empty()) out << "  none\n";
    for (const auto& [number, path] : table.Entries())
        out << "  COM" << number << "  " << path << "  " << What(ports, path) << "\n";

    out << "Printer ports (--hardware \"Norvo ISP (LPT)\" --port LPTn):\n";
    const TSystemLptPaths paths = TSystemLptPaths::FromEnvironment();
    const auto lpts = DiscoveredPpdevPorts(paths.DiscoveryRoot, paths.PpdevPrefix);
    if (lpts.empty()) out << "  none listed by the system\n";
    for (const auto& p : lpts) {
        struct stat st {};
        out << "  LPT" << p.Number + 1 << "  " << Hex(p.Base) << "  " << p.Path
            << (::stat(p.Path.c_str(), &st) == 0 ? "" : " (missing: load the ppdev module)") << "\n";
    }
    return EXIT_OK;
}

const CliRegistrar
    kPorts({"ports", "",
            "List the serial ports by their COM names with the device each stands for and what "
            "it is (USB product, vendor:product ids, serial number, bus), and the printer ports.",
            RunPorts});

} // namespace
