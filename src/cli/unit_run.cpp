#include "cli/unit_run.h"

#include "buffer/hex_text.h"
#include "buffer/serial_number.h"
#include "cli/cli_command.h"
#include "cli/cmd_device_session.h"
#include "cli/data_file_load.h"
#include "errors/errors.h"
#include "linedb/line_station.h"
#include "production/local_time.h"
#include "production/trace_log.h"
#include "production/trace_record.h"

#include <chrono>
#include <cmath>
#include <exception>

namespace {

// The part's record once its run is over, appended to the log when there is
// one. False after a warning line when it could not be written.
// With a line database the record then goes up to it (a warning when it
// cannot be reached: the log keeps it for later).
bool LogRecord(TCliSession& Session, const TProductionOptions& Options, TTraceRecord& Record,
               TLineStation* Line) {
    Record.Failure = Record.Passed ? std::string() : Session.LastFailure();
    Record.DurationSeconds = Session.Seconds();
    if (!Options.LogFile) return true;
    try {
        TTraceLog(*Options.LogFile).Append(TraceRecordJson(Record));
        if (Line)
            if (const auto warning = Line->AfterPart(*Options.LogFile)) Session.Output().Warning(*warning);
        return true;
    } catch (...) {
        Session.Fail(std::current_exception());
        return false;
    }
}

} // namespace

bool StartLineDb(TCliSession& Session, const TProductionOptions& Options, std::optional<TLineStation>& Line) {
    if (!Options.LineDb) return true;
    try {
        Line.emplace(*Options.LineDb);
        const auto lease = Options.Serial ? Options.Serial->StateFile : std::nullopt;
        if (const auto warning = Line->Start(lease, *Options.LogFile)) Session.Output().Warning(*warning);
        return true;
    } catch (...) {
        Session.Fail(std::current_exception());
        return false;
    }
}

int RunProgramUnit(const CliArgs& a, const TUnitRun& Run, std::ostream& out, std::ostream& err) {
    const std::string file = a.Required("file");
    // "-" reads the data from standard input; the status lines go to standard error then.
    TCliSession session(a, IsStandardStream(file) ? err : out, err, Run.Port);
    const TProductionOptions options = ReadProductionOptions(a, session.Device());
    if (Run.Unit > 0) session.Output().SetTag({{"unit", Run.Unit}, {"port", session.Port()}});
    if (Run.ResultSink) session.SetResultSink(Run.ResultSink);

    TTraceRecord record;
    record.Time = Iso8601LocalTime(std::chrono::system_clock::now());
    record.Host = HostName();
    record.Program = "norvoisp-cli";
    record.Hardware = session.HardwareKind();
    record.Port = session.Port();
    record.Unit = Run.Unit;
    record.Device = session.Device().DeviceName();
    record.DataFile = AbsolutePath(file);

    THexList buffer;
    if (!session.LoadFile(file, buffer, &record.DataFileSha256)) return session.Finish("program", EXIT_USAGE);
    // A log that cannot take the record stops the run before a part is
    // programmed or a serial number taken.
    if (options.LogFile) {
        try {
            TTraceLog(*options.LogFile).Check();
        } catch (...) {
            session.Fail(std::current_exception());
            return session.Finish("program", EXIT_FAILED);
        }
    }
    std::optional<TLineStation> line;
    if (!StartLineDb(session, options, line)) return session.Finish("program", EXIT_FAILED);
    // The record as it stands, for the parent of a run over several units.
    const auto pending = [&] {
        if (!Run.PendingSink) return;
        TTraceRecord now = record;
        now.DurationSeconds = session.Seconds();
        Run.PendingSink({{"log", options.LogFile ? nlohmann::ordered_json(*options.LogFile) : nullptr},
                         {"record", TraceRecordJson(now)}});
    };
    const auto end = [&](int Code) {
        record.Passed = Code == EXIT_OK;
        if (!LogRecord(session, options, record, line ? &*line : nullptr)) Code = EXIT_FAILED;
        if (Run.PendingSink) Run.PendingSink(nullptr);
        session.AddResult("counts", {{"bytes", buffer.Size()}, {"failed_bytes", record.FailedBytes}});
        return session.Finish("program", Code);
    };

    record.Steps.push_back("open");
    pending();
    if (!session.Open()) return end(EXIT_FAILED);

    if (options.Serial) {
        const TSerialOptions& s = *options.Serial;
        try {
            std::uint64_t value = 0;
            TTraceSerial serial{0, s.Address, {}};
            if (line) {
                const TLeasedNumber n = line->NextSerial(*s.StateFile, s.Range());
                value = n.Value;
                record.SerialSeries = line->Options().Series;
                record.SerialLease = n.Lease;
            } else {
                value = s.Allocator(Run.Unit).Next();
            }
            serial.Value = static_cast<std::uint32_t>(value);
            StoreSerialNumber(buffer, s.Address, static_cast<std::int32_t>(static_cast<std::uint32_t>(value)),
                              s.Bytes - 2);
            for (int k = 0; k < s.Bytes; ++k)
                serial.Bytes.push_back(buffer.HexData[s.Address + static_cast<std::uint32_t>(k)]);
            record.Serial = serial;
            pending();
            session.Output().Info("Serial Number: " + std::to_string(value) + " at " +
                                  IntToHex(s.Address, 4) + "h");
            session.AddResult("serial", TraceRecordJson(record)["serial"]);
        } catch (...) {
            session.Fail(std::current_exception());
            session.Close();
            return end(EXIT_FAILED);
        }
    }
    record.Image = BufferChecksums(buffer);

    session.HandOverOrganisation();
    record.Steps.push_back("program");
    pending();
    bool ok = session.Operation("EEPROM: Programming", "EEPROM: Programming Complete",
                                [&] { session.Driver().ProgramFlash(buffer); });
    if (ok && !a.Has("no-verify")) {
        record.Steps.push_back("verify");
        pending();
        ok = session.Verify(buffer);
        CountFailedBytes(buffer, record);
    }
    ok = session.Close() && ok;
    session.ShowChecksums(buffer);
    return end(ok ? EXIT_OK : EXIT_FAILED);
}

nlohmann::ordered_json UnitLost(const nlohmann::ordered_json& Pending, const std::string& Ended,
                                double Seconds) {
    std::string failure = "the unit's process " + Ended + " before it logged its part";
    nlohmann::ordered_json result = {{"result", "failed"}, {"exit_code", EXIT_FAILED}, {"failure", failure}};
    if (!Pending.is_object() || !Pending.contains("record")) {
        result["failure"] = "the unit's process " + Ended + " without a result";
        return result;
    }
    nlohmann::ordered_json record = Pending["record"];
    record["result"] = "failed";
    record["failure"] = failure;
    record["duration_s"] = std::round(Seconds * 1000) / 1000;
    result["serial"] = record.value("serial", nlohmann::ordered_json());
    if (Pending.contains("log") && Pending["log"].is_string()) {
        try {
            TTraceLog(Pending["log"].get<std::string>()).Append(record);
        } catch (const Exception& e) {
            result["failure"] = failure + "; its record could not be written either (" + e.Message() + ")";
        }
    }
    return result;
}
