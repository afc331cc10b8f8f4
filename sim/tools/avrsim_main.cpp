// norvoisp-avrsim: the programmer unit's real firmware on a simulated
// ATmega328P behind a pseudo-terminal, so that the program's serial path can
// run against it without a board.
#include "avr/avr_unit.h"
#include "errors/errors.h"
#include "tools/avr_pty_server.h"
#include "tools/avrsim_options.h"
#include "tools/image_file.h"
#include "tools/stop_signal.h"

#include <filesystem>
#include <iostream>

namespace {

// The installed firmware (share/norvoisp/firmware beside bin), then the one
// of the build tree this program came from.
std::vector<std::string> FirmwareCandidates() {
    std::vector<std::string> out;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        out.push_back(
            (self.parent_path() / NORVOISP_DATA_FROM_BIN / "firmware" / "norvoisp.elf").lexically_normal());
    out.push_back(NORVOISP_BUILT_FIRMWARE);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    TAvrSimOptions options;
    try {
        options = ParseAvrSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const Exception& e) {
        std::cerr << "norvoisp-avrsim: " << e.Message() << "\n" << AvrSimUsage();
        return 2;
    }
    if (options.Help) {
        std::cout << AvrSimUsage();
        return 0;
    }
    try {
        TAvrUnitConfig board;
        board.Firmware = FindFirmware(options.Firmware, FirmwareCandidates());
        TAvrUnit unit(board);
        if (options.Chip != "none") {
            auto chip = MakeChip(options.Chip, options.ChipOptions);
            if (!options.Image.empty() && !LoadImageFile(options.Image, chip->Memory()))
                std::cerr << "norvoisp-avrsim: \"" << options.Image
                          << "\" does not exist; the chip starts erased\n";
            unit.InsertChip(std::move(chip));
        }

        const int stop = StopSignalFd();

        {
            TAvrPtyServer server(unit, options.Link);
            std::cout << server.Path() << std::endl;
            std::cerr << "norvoisp-avrsim: " << board.Firmware << " with "
                      << (unit.Chip() ? unit.Chip()->Name() : std::string("no chip")) << " on "
                      << server.Path() << (options.Link.empty() ? "" : " (" + options.Link + ")")
                      << "; stop with Ctrl+C\n";
            server.Run(stop);
        }
        if (unit.Chip() && !options.Image.empty()) SaveImageFile(options.Image, unit.Chip()->Memory());
        for (const auto& b : unit.Breaches())
            std::cerr << "norvoisp-avrsim: " << b << "\n";
        return 0;
    } catch (const Exception& e) {
        std::cerr << "norvoisp-avrsim: " << e.Message() << "\n";
        return 1;
    }
}
