// norvoisp-cli detect: the format of a data file as the loader sees it.
#include "cli/cli_args.h"
#include "cli/cli_command.h"
#include "formats/file_loader.h"

#include <ostream>

namespace {

int RunDetect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, {}, {});
    if (a.Positional().size() != 1) throw CliUsageError("expected one file name");
    const std::string& file = a.Positional().front();
    int code;
    try {
        code = TFileLoader::GetFileType(file);
    } catch (const std::exception& e) {
        err << "norvoisp-cli detect: " << e.what() << "\n";
        return EXIT_FAILED;
    }
    out << code << " " << TFileLoader::WhatIs(code) << "\n";
    return code == ft_NotFound ? EXIT_FAILED : EXIT_OK;
}

const CliRegistrar kDetect({"detect", "FILE",
                            "Print the file-type code and name of a data file, detected from its content "
                            "(1-10 text formats; 0, -2: loaded as binary; -1: not found).",
                            RunDetect});

} // namespace
