#include "tools/unitsim_options.h"

#include "errors/errors.h"
#include "tools/chip_options.h"
#include "tools/option_number.h"

#include <chrono>

namespace {

// A byte given as one character or as two hexadecimal digits.
std::uint8_t ByteValue(const std::string& Option, const std::string& Text) {
    if (Text.size() == 1) return static_cast<std::uint8_t>(Text[0]);
    if (Text.size() == 2) return static_cast<std::uint8_t>(OptionNumber(Option, Text, 255, 16));
    throw Exception("Invalid value \"" + Text + "\" for " + Option + " (one character or two hex digits)");
}

// WHICH=BYTE with WHICH = N (the Nth command), L (every L command) or LN
// (the Nth L command).
TCommandFault CommandFault(const std::string& Option, const std::string& Text, TCommandFault::TKind Kind) {
    const auto eq = Text.find('=');
    if (eq == std::string::npos || eq == 0)
        throw Exception("Invalid value \"" + Text + "\" for " + Option + " (expected WHICH=CODE)");
    const std::string which = Text.substr(0, eq);
    TCommandFault fault;
    fault.Kind = Kind;
    fault.Byte = ByteValue(Option, Text.substr(eq + 1));
    if (which[0] >= '0' && which[0] <= '9') {
        fault.Nth = OptionNumber(Option, which, ~0ULL);
        if (fault.Nth == 0)
            throw Exception("Invalid value \"" + Text + "\" for " + Option + " (commands count from 1)");
    } else {
        fault.Letter = which[0];
        fault.Nth = which.size() > 1 ? OptionNumber(Option, which.substr(1), ~0ULL) : 0;
        if (which.size() > 1 && fault.Nth == 0)
            throw Exception("Invalid value \"" + Text + "\" for " + Option + " (commands count from 1)");
    }
    return fault;
}

} // namespace

TUnitSimOptions ParseUnitSimOptions(const std::vector<std::string>& Args) {
    TUnitSimOptions o;
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
        } else if (opt == "--image") {
            o.Image = value();
        } else if (opt == "--link") {
            o.Link = value();
        } else if (opt == "--transcript") {
            o.Transcript = value();
        } else if (opt == "--page-size") {
            o.ChipOptions.PageSize = OptionNumber(opt, value(), 65536);
        } else if (opt == "--id") {
            o.Unit.Identification = value();
        } else if (opt == "--firmware") {
            o.Unit.FirmwareVersion = value();
        } else if (opt == "--hardware") {
            o.Unit.HardwareVersion = value();
        } else if (opt == "--delay") {
            o.Unit.DefaultWriteDelayMs = static_cast<std::uint8_t>(OptionNumber(opt, value(), 255));
        } else if (opt == "--hang-after") {
            o.Unit.Faults.HangAfterBytes = OptionNumber(opt, value(), ~0ULL);
        } else if (opt == "--error") {
            o.Unit.Faults.CommandFaults.push_back(CommandFault(opt, value(), TCommandFault::TKind::Error));
        } else if (opt == "--ack") {
            o.Unit.Faults.CommandFaults.push_back(
                CommandFault(opt, value(), TCommandFault::TKind::Acknowledge));
        } else if (opt == "--noisy-read") {
            o.Unit.Faults.NoisyReadEvery = OptionNumber(opt, value(), ~0ULL);
            if (*o.Unit.Faults.NoisyReadEvery == 0)
                throw Exception("Invalid value \"0\" for --noisy-read (every Nth byte, N from 1)");
        } else if (opt == "--cut-page") {
            const std::string& v = value();
            const auto colon = v.find(':');
            if (colon == std::string::npos)
                throw Exception("Invalid value \"" + v + "\" for --cut-page (PAGE:BYTES)");
            TPageCut cut;
            cut.Page = OptionNumber(opt, v.substr(0, colon), ~0ULL);
            cut.AfterBytes = static_cast<std::uint32_t>(OptionNumber(opt, v.substr(colon + 1), 65535));
            if (cut.Page == 0)
                throw Exception("Invalid value \"" + v + "\" for --cut-page (pages count from 1)");
            o.Unit.Faults.CutInPage = cut;
        } else {
            throw Exception("Unknown option \"" + opt + "\"");
        }
    }
    return o;
}

std::string UnitSimUsage() {
    return "Usage: norvoisp-unitsim [options]\n"
           "Simulates the programmer unit on a pseudo-terminal (115200 8N1) until killed.\n"
           "Prints the terminal's path on the first line of standard output.\n"
           "\n"
           "  --chip NAME         catalogue device in the socket, or \"none\" (default 24C256)\n"
           "  --image FILE        initial memory (raw binary), written back on exit\n"
           "  --org 8|16          93C organisation (ORG pin, default 16)\n"
           "  --bus N             24C chip-address pins A2 A1 A0 (0..7, default 0)\n"
           "  --link PATH         symbolic link to the terminal, removed on exit\n"
           "  --transcript FILE   record every exchange in FILE\n"
           "  --page-size N       chip page size (default from the catalogue)\n"
           "  --status HH         25C status register WPEN/BP bits at start (hex)\n"
           "  --delay MS          write delay until the PC sends \"D\" (default 10)\n"
           "Faults:\n"
           "  --id TEXT           identification to report (default VORIZORUV)\n"
           "  --firmware TEXT     firmware version to report (default 000A)\n"
           "  --hardware TEXT     hardware version to report (default 0102)\n"
           "  --write-time MS     chip write cycle (busy longer than the unit's delay)\n"
           "  --hang-after N      answer nothing after the first N bytes\n"
           "  --error WHICH=C     answer \"?\" and C; WHICH: N (Nth command), L (every L\n"
           "                      command) or LN (Nth L command), e.g. --error M1=!\n"
           "  --ack WHICH=B       send B (a character or two hex digits) instead of CR\n"
           "  --cut-page P:N      cut the link after N data bytes of the P-th \"W\"\n"
           "  --noisy-read N      invert the lowest bit of every Nth byte read (\"R\" replies)\n";
}
