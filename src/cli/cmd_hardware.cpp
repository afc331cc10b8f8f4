// norvoisp-cli hardware: the hardware kinds the program knows, as the kind
// table lists them (name, how its port is named, what it needs).
#include "cli/cli_args.h"
#include "cli/cli_command.h"
#include "kinds/kind_table.h"

#include <ostream>

namespace {

int RunHardware(const std::vector<std::string>& args, std::ostream& out, std::ostream&) {
    CliArgs a(args, {}, {});
    a.NoPositional();
    for (const THardwareKind* kind : KindTable()) {
        if (!kind->Visible) continue;
        out << kind->Name;
        if (kind == &CommandLineDefaultKind()) out << " (default)";
        out << "\n  port:  " << (*kind->PortSyntax ? kind->PortSyntax : "none")
            << "\n  needs: " << kind->Needs << "\n";
    }
    return EXIT_OK;
}

const CliRegistrar kHardware({"hardware", "",
                              "List the hardware kinds for --hardware: name, how --port names its port, "
                              "what it needs.",
                              RunHardware});

} // namespace
