// norvoisp-unitsim: the simulated programmer unit on a pseudo-terminal, for
// trying the program without hardware and for tests over a real tty.
#include "chips/chip_factory.h"
#include "errors/errors.h"
#include "tools/image_file.h"
#include "tools/pty_server.h"
#include "tools/unitsim_options.h"
#include "unit.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace {

int gStopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(gStopPipe[1], &c, 1);
}

} // namespace

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

        if (::pipe2(gStopPipe, O_CLOEXEC) != 0) throw Exception("Cannot create a pipe");
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGINT, &sa, nullptr);
        ::sigaction(SIGTERM, &sa, nullptr);
        ::sigaction(SIGHUP, &sa, nullptr);

        {
            TPtyServer server(unit, options.Link);
            std::cout << server.Path() << std::endl;
            std::cerr << "norvoisp-unitsim: " << (unit.Chip() ? unit.Chip()->Name() : std::string("no chip"))
                      << " on " << server.Path() << (options.Link.empty() ? "" : " (" + options.Link + ")")
                      << "; stop with Ctrl+C\n";
            server.Run(gStopPipe[0]);
        }
        unit.Transcript().EndCommand();
        if (unit.Chip() && !options.Image.empty()) SaveImageFile(options.Image, unit.Chip()->Memory());
        return 0;
    } catch (const Exception& e) {
        std::cerr << "norvoisp-unitsim: " << e.Message() << "\n";
        return 1;
    }
}
