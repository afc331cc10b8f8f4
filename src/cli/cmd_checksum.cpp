// norvoisp-cli checksum: the checksums of a data file as it would be
// programmed into a device (the device range, unfilled bytes FFh, with the
// serial number when one is given).
#include "buffer/serial_number.h"
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"
#include "cli/production_options.h"
#include "production/trace_record.h"

namespace {

int RunChecksum(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs a(args, DeviceValueOptions({"serial-at", "serial-bytes", "serial"}), DeviceFlags());
    if (a.Positional().size() != 1) throw CliUsageError("expected one data file");
    TCliSession session(a, out, err);
    const TProductionOptions options = ReadProductionOptions(a, session.Device());
    THexList buffer;
    if (!session.LoadFile(a.Positional().front(), buffer)) return session.Finish("checksum", EXIT_USAGE);
    if (options.Serial) {
        const auto& s = *options.Serial;
        StoreSerialNumber(buffer, s.Address, static_cast<std::int32_t>(static_cast<std::uint32_t>(s.Start)),
                          s.Bytes - 2);
    }
    const TChecksums sums = BufferChecksums(buffer);
    if (!session.Output().Json()) {
        out << "CRC-32:  " << sums.Crc32Text() << "\n"
            << "SHA-256: " << sums.Sha256Text() << "\n"
            << "Sum:     " << sums.Sum16Text() << "\n"
            << "Bytes:   " << sums.Length << "\n";
    }
    session.AddResult("checksums", ChecksumsJson(sums));
    return session.Finish("checksum", EXIT_OK);
}

const CliRegistrar
    kChecksum({"checksum", "FILE --device NAME [--serial-at ADDR --serial-bytes 2|3|4 --serial N] [--json]",
               "Print the CRC-32, SHA-256 and 16-bit byte sum of FILE as it would be programmed into the "
               "device: its whole range, bytes the file leaves out as FFh, with serial number N written "
               "in when given.",
               RunChecksum});

} // namespace
