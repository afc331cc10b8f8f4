#include "tools/avrsim_options.h"

#include "errors/errors.h"
#include "tools/chip_options.h"

#include <sys/stat.h>

TAvrSimOptions ParseAvrSimOptions(const std::vector<std::string>& Args) {
    TAvrSimOptions o;
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& opt = Args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= Args.size()) throw Exception("Option " + opt + " needs a value");
            return Args[++i];
        };
        if (ParseChipOption(opt, value, o.ChipOptions)) {
            // --org, --bus, --write-time, --status
        } else if (opt == "--help" || opt == "-h") {
            o.Help = true;
        } else if (opt == "--chip") {
            o.Chip = value();
        } else if (opt == "--firmware") {
            o.Firmware = value();
        } else if (opt == "--image") {
            o.Image = value();
        } else if (opt == "--link") {
            o.Link = value();
        } else {
            throw Exception("Unknown option \"" + opt + "\"");
        }
    }
    return o;
}

std::string AvrSimUsage() {
    return "Usage: norvoisp-avrsim [options]\n"
           "Runs the programmer unit's firmware on a simulated ATmega328P (an Arduino\n"
           "Uno or Nano at 16 MHz) with a chip on its pins, behind a pseudo-terminal\n"
           "(115200 8N1), until killed. Prints the terminal's path on the first line\n"
           "of standard output.\n"
           "\n"
           "  --chip NAME         catalogue device in the socket, or \"none\" (default 24C256)\n"
           "  --firmware FILE     firmware ELF file (default: the installed or built norvoisp.elf)\n"
           "  --image FILE        initial memory (raw binary), written back on exit\n"
           "  --org 8|16          93C organisation (the ORG jumper, default 16)\n"
           "  --bus N             24C chip-address pins A2 A1 A0 (0..7, default 0)\n"
           "  --link PATH         symbolic link to the terminal, removed on exit\n"
           "  --status HH         25C status register WPEN/BP bits at start (hex)\n"
           "  --write-time MS     chip write cycle (default from the catalogue)\n";
}

std::string FindFirmware(const std::string& Given, const std::vector<std::string>& Candidates) {
    if (!Given.empty()) return Given;
    for (const auto& c : Candidates) {
        struct stat st {};
        if (!c.empty() && ::stat(c.c_str(), &st) == 0) return c;
    }
    throw Exception("No firmware found (norvoisp.elf); give one with --firmware");
}
