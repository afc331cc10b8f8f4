// norvoisp-unitsim: the simulated programmer unit on a pseudo-terminal, for
// trying the program without hardware and for tests over a real tty.
#include "chips/chip_factory.h"
#include "errors/errors.h"
#include "tools/image_file.h"
#include "tools/pty_server.h"
#include "tools/stop_signal.h"
#include "tools/unitsim_options.h"
#include "unit.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    TUnitSimOptions options;
    try {
        options = ParseUnitSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const Exception& e) {
        std::cerr << "norvoisp-unitsim: " << e.Message() << "\n" << UnitSimUsage();
        return 2;
    }
    if (options.Help) {
        std::cout << UnitSimUsage();
        return 0;
    }
    try {
        TProgrammerUnit unit(options.Unit);
        if (options.Chip != "none") {
            auto chip = MakeChip(options.Chip, options.ChipOptions);
            if (!options.Image.empty() && !LoadImageFile(options.Image, chip->Memory()))
                std::cerr << "norvoisp-unitsim: \"" << options.Image
                          << "\" does not exist; the chip starts erased\n";
            unit.InsertChip(std::move(chip));
        }

        std::ofstream transcript;
        if (!options.Transcript.empty()) {
            transcript.open(options.Transcript, std::ios::trunc);
            if (!transcript) throw Exception("Cannot write the transcript \"" + options.Transcript + "\"");
            unit.Transcript().SetKeep(false);
            unit.Transcript().SetSink([&transcript](const TExchange& e) {
                transcript << TTranscript::Format(e);
                transcript.flush();
            });
        }

        const int stop = StopSignalFd();

        {
            TPtyServer server(unit, options.Link);
            std::cout << server.Path() << std::endl;
            std::cerr << "norvoisp-unitsim: " << (unit.Chip() ? unit.Chip()->Name() : std::string("no chip"))
                      << " on " << server.Path() << (options.Link.empty() ? "" : " (" + options.Link + ")")
                      << "; stop with Ctrl+C\n";
            server.Run(stop);
        }
        unit.Transcript().EndCommand();
        if (unit.Chip() && !options.Image.empty()) SaveImageFile(options.Image, unit.Chip()->Memory());
        return 0;
    } catch (const Exception& e) {
        std::cerr << "norvoisp-unitsim: " << e.Message() << "\n";
        return 1;
    }
}
