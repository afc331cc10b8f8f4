#include "gui/command_line.h"

#include "catalogue/device_list.h"

TCommandLine ParseCommandLine(const std::vector<std::string>& Params) {
    TCommandLine cl;
    for (const std::string& param : Params) {
        const std::string upper = AsciiUpper(param);
        // A parameter shorter than four characters sets its option with an
        // empty value.
        auto value = [](const std::string& s) { return s.size() > 3 ? s.substr(3) : std::string(); };
        const char option = upper.size() >= 2 ? upper[1] : '\0';
        switch (option) {
        case 'A':
            cl.AutoProg = true;
            break;
        case 'L':
            cl.LoadHex = true;
            cl.HexFile = value(param);
            break;
        case 'M':
            cl.ModeSel = true;
            cl.Mode = value(upper);
            break;
        default:
            ++cl.InvalidCount;
            break;
        }
    }
    return cl;
}
