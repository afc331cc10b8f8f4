#include "linedb/line_station.h"

#include "linedb/line_schema.h"
#include "production/local_time.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using json = nlohmann::ordered_json;

std::optional<std::string> Field(const json& Object, const char* Key) {
    const auto it = Object.find(Key);
    if (it == Object.end() || it->is_null()) return std::nullopt;
    return it->is_string() ? it->get<std::string>() : it->dump();
}

// Where the upload of a log stopped: the byte offset of the first line not
// known to be in the database and that line's number, for the station
// named. Only a short cut: the database says what it holds.
struct TUploadMark {
    std::uint64_t Offset = 0;
    long long Seq = 1;
};

std::string MarkFile(const std::string& LogFile) {
    return LogFile + ".uploaded";
}

TUploadMark ReadMark(const std::string& LogFile, const std::string& Station) {
    std::ifstream in(MarkFile(LogFile));
    std::string station;
    TUploadMark mark;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("station=", 0) == 0) station = line.substr(8);
        if (line.rfind("offset=", 0) == 0) mark.Offset = std::strtoull(line.c_str() + 7, nullptr, 10);
        if (line.rfind("seq=", 0) == 0) mark.Seq = std::strtoll(line.c_str() + 4, nullptr, 10);
    }
    if (station != Station || mark.Seq < 1) return {};
    return mark;
}

// Written without fsync: a mark lost in a crash only costs a longer read.
void WriteMark(const std::string& LogFile, const std::string& Station, const TUploadMark& Mark) {
    const std::string file = MarkFile(LogFile), temp = file + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << "# norvoisp: how far this log is uploaded to the line database\nstation=" << Station
            << "\noffset=" << Mark.Offset << "\nseq=" << Mark.Seq << "\n";
        if (!out.flush()) return;
    }
    std::error_code ec;
    std::filesystem::rename(temp, file, ec);
}

void CloseLease(TPgConnection& Db, const std::string& Station, const TSerialLease& Lease, const char* How) {
    const TPgResult closed = Db.Exec("UPDATE serial_leases SET closed_at = now(), closed_as = $3 "
                                     "WHERE id = $1 AND station = $2 AND closed_at IS NULL "
                                     "RETURNING series, first_number, last_number, step",
                                     {std::to_string(Lease.Id), Station, How});
    if (closed.Rows() == 0) return;
    Db.Exec("INSERT INTO serial_gaps (series, number, lease_id) "
            "SELECT $1, n, $2 FROM generate_series($3::bigint, $4::bigint, $5::bigint) AS n "
            "WHERE NOT EXISTS (SELECT 1 FROM serials s WHERE s.series = $1 AND s.number = n) "
            "ON CONFLICT DO NOTHING",
            {closed.Text(0, 0), std::to_string(Lease.Id), closed.Text(0, 1), closed.Text(0, 2),
             closed.Text(0, 3)});
}

} // namespace

std::optional<std::string> LineDbFromEnvironment() {
    const char* v = std::getenv("NORVOISP_LINE_DB");
    if (!v || !*v) return std::nullopt;
    return std::string(v);
}

std::string DefaultStationName() {
    std::string host = HostName();
    return host.empty() ? std::string("station") : host;
}

void CheckLineName(const std::string& What, const std::string& Name) {
    const bool ok = !Name.empty() && Name.size() <= 64 && std::all_of(Name.begin(), Name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-' || c == '.';
    });
    if (!ok)
        throw EISPException(What + " \"" + Name +
                            "\" is no name: 1 to 64 letters, digits, \"_\", \"-\" or \".\"");
}

TLineStation::TLineStation(TLineDbOptions Options) : FOptions(std::move(Options)) {
    CheckLineName("The station", FOptions.Station);
    CheckLineName("The serial series", FOptions.Series);
    if (FOptions.LeaseSize == 0) FOptions.LeaseSize = 1;
}

TLineStation::~TLineStation() = default;

void TLineStation::Open() {
    Db();
}

TPgConnection& TLineStation::Db() {
    if (FDb && FDb->Usable()) return *FDb;
    FDb.reset();
    auto db = std::make_unique<TPgConnection>(FOptions.Connection);
    MigrateLineSchema(*db);
    FDb = std::move(db);
    return *FDb;
}

std::optional<std::string> TLineStation::Start(const std::optional<std::string>& LeaseFile,
                                               const std::string& LogFile) {
    try {
        Open();
    } catch (const ELineDbError& e) {
        if (e.Kind() != ELineDbError::ld_unreachable) throw;
        if (LeaseFile) {
            const auto lease = ReadSerialLease(*LeaseFile);
            if (!lease || lease->Exhausted() || lease->Series != FOptions.Series)
                throw EISPException(e.Message() + " (and the station has no serial numbers of series \"" +
                                    FOptions.Series + "\" left to go on with)");
        }
        return "Warning: " + e.Message() + "; going on, the records are uploaded when it is back";
    }
    return AfterPart(LogFile);
}

std::optional<std::string> TLineStation::AfterPart(const std::string& LogFile) {
    try {
        Upload(LogFile);
        return std::nullopt;
    } catch (const ELineDbError& e) {
        if (e.Kind() != ELineDbError::ld_unreachable) throw;
        FDb.reset();
        return "Warning: " + e.Message() + "; the records stay in the log and are uploaded when it is back";
    }
}

TSerialLease TLineStation::Lease(const TSerialRange& Range, const std::optional<TSerialLease>& Old) {
    TPgConnection& db = Db();
    const std::string& series = FOptions.Series;
    TPgTransaction t(db);
    db.Exec("INSERT INTO serial_series (name, next_number, step) VALUES ($1, $2, $3) ON CONFLICT (name) DO "
            "NOTHING",
            {series, std::to_string(Range.Start), std::to_string(Range.Step)});
    const TPgResult row =
        db.Exec("SELECT next_number, step FROM serial_series WHERE name = $1 FOR UPDATE", {series});
    const auto stored = static_cast<std::uint64_t>(row.Int(0, 0));
    const auto step = static_cast<std::uint64_t>(row.Int(0, 1));
    if (step != Range.Step)
        throw EISPException("Serial series \"" + series + "\" of the " + db.Name() + " counts in steps of " +
                            std::to_string(step) + ", not " + std::to_string(Range.Step));
    const std::uint64_t first = std::max(stored, Range.Start);
    if (first > Range.Max)
        throw EISPException("Serial numbers of series \"" + series + "\" used up: the next one, " +
                            std::to_string(first) + ", does not fit");
    const std::uint64_t count = std::min<std::uint64_t>(FOptions.LeaseSize, (Range.Max - first) / step + 1);
    const std::uint64_t last = first + (count - 1) * step;
    db.Exec("UPDATE serial_series SET next_number = $2 WHERE name = $1",
            {series, std::to_string(last + step)});
    const TPgResult id = db.Exec(
        "INSERT INTO serial_leases (series, station, first_number, last_number, step) "
        "VALUES ($1, $2, $3, $4, $5) RETURNING id",
        {series, FOptions.Station, std::to_string(first), std::to_string(last), std::to_string(step)});
    if (Old && Old->Series == series) CloseLease(db, FOptions.Station, *Old, "expired");
    t.Commit();
    return TSerialLease{series, id.Int(0, 0), first, last, step};
}

TLeasedNumber TLineStation::NextSerial(const std::string& StateFile, const TSerialRange& Range) {
    return TakeLeasedNumber(StateFile, FOptions.Series, [&](const std::optional<TSerialLease>& Old) {
        try {
            return Lease(Range, Old);
        } catch (const ELineDbError& e) {
            if (e.Kind() == ELineDbError::ld_statement) throw;
            throw EISPException("Serial numbers: the station's lease of series \"" + FOptions.Series +
                                "\" is used up and no new one can be had: " + e.Message());
        }
    });
}

TUploadResult TLineStation::Upload(const std::string& LogFile) {
    const std::string& station = FOptions.Station;
    TPgConnection& db = Db();
    TUploadResult result;
    std::optional<std::string> conflict; // the serial number spent twice, with both parts
    TUploadMark mark;
    {
        TPgTransaction t(db);
        // The log is the spool: should the server lose this commit in a
        // crash, the records are still in the log and go up again (the
        // database, not the mark, says what it holds). A lease, by contrast,
        // is committed durably: the numbers are handed out on the strength
        // of it.
        db.Exec("SET LOCAL synchronous_commit = off");
        db.Exec("SELECT pg_advisory_xact_lock(1, hashtext($1))", {station});
        const long long stored =
            db.Exec("SELECT coalesce(max(seq), 0) FROM parts WHERE station = $1", {station}).Int(0, 0);
        mark = ReadMark(LogFile, station);
        if (mark.Seq - 1 > stored) mark = {}; // the database holds less than the mark says: read it all
        std::ifstream in(LogFile, std::ios::binary);
        if (!in) return result; // no log yet: nothing to upload
        in.seekg(static_cast<std::streamoff>(mark.Offset));
        std::string line;
        while (!conflict && std::getline(in, line)) {
            if (in.eof()) break; // a line without its end is no record (yet)
            const long long seq = mark.Seq;
            const json record = json::parse(line, nullptr, false);
            if (seq <= stored) {
                if (seq == stored) {
                    const TPgResult same = db.Exec(
                        "SELECT record = $3::jsonb FROM parts WHERE station = $1 AND seq = $2",
                        {station, std::to_string(seq), record.is_object() ? line : std::string("null")});
                    if (same.Rows() == 1 && same.Text(0, 0) != "t")
                        throw ELineDbError(ELineDbError::ld_statement,
                                           "The " + db.Name() + " holds another record as part " +
                                               std::to_string(seq) + " of station " + station +
                                               " than the log " + LogFile +
                                               ": is the name used by another station, or the log "
                                               "replaced? Give the station a new name");
                }
            } else if (record.is_object() && record.value("record", "") == "part") {
                const json serial = record.contains("serial") ? record["serial"] : json();
                const bool spent = serial.is_object() && serial.contains("series");
                db.Exec("SAVEPOINT part");
                db.Exec(
                    "INSERT INTO parts (station, seq, unit, part_time, host, program, hardware, port, "
                    "device, "
                    "data_file, file_sha256, crc32, sha256, sum16, serial_series, serial, result, failure, "
                    "record) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, "
                    "$17, $18, $19::jsonb)",
                    {station, std::to_string(seq), Field(record, "unit").value_or("0"), Field(record, "time"),
                     Field(record, "host"), Field(record, "program"), Field(record, "hardware"),
                     Field(record, "port"), Field(record, "device").value_or(""), Field(record, "file"),
                     Field(record, "file_sha256"), Field(record, "crc32"), Field(record, "sha256"),
                     Field(record, "sum16"), spent ? Field(serial, "series") : std::nullopt,
                     serial.is_object() ? Field(serial, "value") : std::nullopt,
                     Field(record, "result").value_or("failed"), Field(record, "failure"), line});
                if (spent) {
                    try {
                        db.Exec(
                            "INSERT INTO serials (series, number, lease_id, station, part_seq, result) "
                            "VALUES ($1, $2, (SELECT id FROM serial_leases WHERE id = $3 AND series = $1), "
                            "$4, $5, $6)",
                            {Field(serial, "series"), Field(serial, "value"),
                             Field(serial, "lease").value_or("0"), station, std::to_string(seq),
                             Field(record, "result").value_or("failed")});
                    } catch (const ELineDbError& e) {
                        if (!e.UniqueViolation()) throw;
                        db.Exec("ROLLBACK TO SAVEPOINT part");
                        const std::string number = *Field(serial, "value"), series = *Field(serial, "series");
                        const TPgResult other =
                            db.Exec("SELECT station, part_seq FROM serials WHERE series = $1 AND number = $2",
                                    {series, number});
                        conflict =
                            "Serial number " + number + " of series \"" + series + "\" is spent twice: by " +
                            (other.Rows() ? "station " + other.Text(0, 0) + " (part " + other.Text(0, 1) + ")"
                                          : std::string("another part")) +
                            " and by station " + station + " (part " + std::to_string(seq) + " of " +
                            LogFile +
                            "). The record stays in the log; no more records are uploaded until it is "
                            "cleared up";
                        break;
                    }
                    db.Exec("DELETE FROM serial_gaps WHERE series = $1 AND number = $2",
                            {Field(serial, "series"), Field(serial, "value")});
                }
                db.Exec("RELEASE SAVEPOINT part");
                ++result.Uploaded;
            }
            mark.Offset += line.size() + 1;
            ++mark.Seq;
        }
        t.Commit();
    }
    if (result.Uploaded > 0 || conflict) WriteMark(LogFile, station, mark);
    if (conflict)
        throw ELineDbError(ELineDbError::ld_statement, "The " + db.Name() + ": " + *conflict, "23505");
    return result;
}
