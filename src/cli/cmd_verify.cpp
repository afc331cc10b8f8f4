// norvoisp-cli verify: compare the device with a data file.
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"
#include "cli/data_file_load.h"
#include "production/trace_record.h"

namespace {

int RunVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions({"file"}), DeviceFlags());
    a.NoPositional();
    const std::string file = a.Required("file");
    // "-" reads the data from standard input; the status lines go to standard error then.
    TCliSession session(a, IsStandardStream(file) ? err : out, err);
    THexList buffer;
    if (!session.LoadFile(file, buffer)) return session.Finish("verify", EXIT_USAGE);
    if (!session.Open()) return session.Finish("verify", EXIT_FAILED);
    bool ok = session.Verify(buffer);
    ok = session.Close() && ok;
    session.ShowChecksums(buffer);
    TTraceRecord counted;
    CountFailedBytes(buffer, counted);
    session.AddResult("counts", {{"bytes", buffer.Size()}, {"failed_bytes", counted.FailedBytes}});
    return session.Finish("verify", ok ? EXIT_OK : EXIT_FAILED);
}

const CliRegistrar
    kVerify({"verify", "--file FILE " NORVOISP_DEVICE_OPTIONS,
             "Compare the whole device with FILE (\"-\" is standard input); every differing byte is "
             "listed.",
             RunVerify});

} // namespace
