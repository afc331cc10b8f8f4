// A station of a production line that shares one PostgreSQL database with
// the others: it leases blocks of serial numbers from a series, so no
// number is ever used by two stations, and uploads every record of its
// traceability log (the local spool) to the parts table, exactly once,
// whenever the database can be reached.
#pragma once

#include "linedb/pg_connection.h"
#include "production/serial_lease.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct TLineDbOptions {
    std::string Connection; // libpq connection string or postgresql:// URL
    std::string Station;    // the station's name, unique on the line
    std::string Series = "default";
    std::uint64_t LeaseSize = 100; // numbers per lease
};

// Where a station's options come from when not given: the environment
// variable NORVOISP_LINE_DB for the database, the host name for the station.
std::optional<std::string> LineDbFromEnvironment();
std::string DefaultStationName();

// A station's or series' name: 1 to 64 letters, digits, "_", "-", "." (the
// names land in the state files and the report). Raises EISPException
// naming What otherwise.
void CheckLineName(const std::string& What, const std::string& Name);

// The numbers a series counts.
struct TSerialRange {
    std::uint64_t Start = 0; // the first number (a series already further on stays there)
    std::uint64_t Step = 1;
    std::uint64_t Max = 0; // the widest number the part's bytes hold
};

struct TUploadResult {
    int Uploaded = 0; // part records new in the database
};

class TLineStation {
  public:
    explicit TLineStation(TLineDbOptions Options);
    ~TLineStation();

    const TLineDbOptions& Options() const { return FOptions; }

    // Connects and creates or migrates the tables. Raises ELineDbError:
    // ld_refused (password, role, database) and ld_unreachable (server or
    // network away) name the database and the reason.
    void Open();

    // The next serial number of the series from the station's lease kept in
    // StateFile; a used-up lease is renewed from the database (LeaseSize
    // numbers in one transaction) and the old one closed, its unspent
    // numbers recorded as gaps. Raises EISPException when the lease is used
    // up and no new one can be had ("...: the station's lease of series S is
    // used up and no new one can be had: <why>"), when the series is used
    // up or counts in other steps.
    TLeasedNumber NextSerial(const std::string& StateFile, const TSerialRange& Range);

    // At the start of a run: connects (Open). Returns a warning when the
    // database cannot be reached but the station can go on: it needs no
    // serial numbers (LeaseFile empty) or its lease in LeaseFile has numbers
    // left. Raises when the database refused the station, or cannot be
    // reached and the lease is used up. Then uploads what the log holds
    // from before (its failure only a warning).
    std::optional<std::string> Start(const std::optional<std::string>& LeaseFile, const std::string& LogFile);
    // After a part's record is in the log: uploads it. Returns a warning
    // when the database cannot be reached (the record goes up later);
    // raises when a serial number is spent twice or a record is refused.
    std::optional<std::string> AfterPart(const std::string& LogFile);

    // Leases a block of the series directly (the state file's renewal;
    // also for the benchmark). Old, when given, is closed as expired.
    TSerialLease Lease(const TSerialRange& Range, const std::optional<TSerialLease>& Old);

    // Uploads the part records of the log not yet in the database, in one
    // transaction, with the serial numbers they spent. Raises ELineDbError;
    // a serial number another part already spent raises ld_statement with
    // both parts named (never retried with the same number: every later
    // upload stops there too until it is resolved).
    TUploadResult Upload(const std::string& LogFile);

  private:
    TPgConnection& Db(); // connects when not connected

    TLineDbOptions FOptions;
    std::unique_ptr<TPgConnection> FDb;
};
