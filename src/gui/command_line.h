// The program's command line: /A runs Auto Program once after start-up,
// /L:<file> loads a data file (and every later reload uses it), /M=<name>
// picks the programmer hardware. The switch character and the separator are
// not examined: the second character of a parameter selects the option and
// its value starts at the fourth.
#pragma once

#include <string>
#include <vector>

struct TCommandLine {
    bool AutoProg = false;
    bool LoadHex = false;
    bool ModeSel = false;
    // The data file of /L, in the letter case it was given (file names on
    // this system are case-sensitive).
    std::string HexFile;
    // The hardware name of /M, upper-cased (hardware names are compared
    // regardless of case).
    std::string Mode;
    // Parameters that selected no option, each logged as a warning.
    int InvalidCount = 0;
};

// Examines the parameters (without the program name) first to last; a later
// /L or /M replaces an earlier value.
TCommandLine ParseCommandLine(const std::vector<std::string>& Params);
