#include "linedb/line_schema.h"

#include <string>
#include <vector>

namespace {

// The advisory lock every migration takes ("NORVOISP" in ASCII).
const char* const kMigrationLock = "SELECT pg_advisory_xact_lock(5642591004440826704)";

const std::vector<std::string>& Migrations() {
    static const std::vector<std::string> steps = {
        // 1: serial series, leases, parts, spent numbers, gaps.
        R"sql(
CREATE TABLE serial_series (
    name text PRIMARY KEY,
    next_number bigint NOT NULL CHECK (next_number >= 0),
    step bigint NOT NULL CHECK (step > 0),
    created_at timestamptz NOT NULL DEFAULT now()
);
CREATE TABLE serial_leases (
    id bigserial PRIMARY KEY,
    series text NOT NULL REFERENCES serial_series (name),
    station text NOT NULL,
    first_number bigint NOT NULL,
    last_number bigint NOT NULL CHECK (last_number >= first_number),
    step bigint NOT NULL CHECK (step > 0),
    leased_at timestamptz NOT NULL DEFAULT now(),
    closed_at timestamptz,
    closed_as text CHECK (closed_as IN ('expired', 'returned'))
);
CREATE TABLE parts (
    station text NOT NULL,
    seq bigint NOT NULL,
    unit integer NOT NULL,
    part_time timestamptz NOT NULL,
    host text,
    program text,
    hardware text,
    port text,
    device text NOT NULL,
    data_file text,
    file_sha256 text,
    crc32 text,
    sha256 text,
    sum16 text,
    serial_series text,
    serial bigint,
    result text NOT NULL CHECK (result IN ('passed', 'failed')),
    failure text,
    record jsonb NOT NULL,
    uploaded_at timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (station, seq)
);
CREATE INDEX parts_by_time ON parts (part_time);
CREATE TABLE serials (
    series text NOT NULL REFERENCES serial_series (name),
    number bigint NOT NULL,
    lease_id bigint REFERENCES serial_leases (id),
    station text NOT NULL,
    part_seq bigint NOT NULL,
    result text NOT NULL CHECK (result IN ('passed', 'failed')),
    recorded_at timestamptz NOT NULL DEFAULT now(),
    CONSTRAINT serials_used_once UNIQUE (series, number),
    FOREIGN KEY (station, part_seq) REFERENCES parts (station, seq)
);
CREATE TABLE serial_gaps (
    series text NOT NULL,
    number bigint NOT NULL,
    lease_id bigint NOT NULL REFERENCES serial_leases (id),
    recorded_at timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (series, number)
);
)sql",
    };
    return steps;
}

// The schema's version; 0 when there is none yet.
int StoredVersion(TPgConnection& Db) {
    const TPgResult exists = Db.Exec("SELECT to_regclass('norvoisp_schema') IS NOT NULL");
    if (exists.Text(0, 0) != "t") return 0;
    const TPgResult v = Db.Exec("SELECT coalesce(max(version), 0) FROM norvoisp_schema");
    return static_cast<int>(v.Int(0, 0));
}

void RefuseNewer(TPgConnection& Db, int Stored) {
    if (Stored > LineSchemaVersion())
        throw EISPException("The " + Db.Name() + " has schema version " + std::to_string(Stored) +
                            ", newer than this program's " + std::to_string(LineSchemaVersion()) +
                            ": update the program");
}

} // namespace

int LineSchemaVersion() {
    return static_cast<int>(Migrations().size());
}

void MigrateLineSchema(TPgConnection& Db) {
    int stored = StoredVersion(Db);
    RefuseNewer(Db, stored);
    while (stored < LineSchemaVersion()) {
        TPgTransaction t(Db);
        Db.Exec(kMigrationLock);
        Db.Exec("CREATE TABLE IF NOT EXISTS norvoisp_schema (version integer PRIMARY KEY, "
                "migrated_at timestamptz NOT NULL DEFAULT now())");
        stored = StoredVersion(Db); // another station may have migrated meanwhile
        RefuseNewer(Db, stored);
        if (stored >= LineSchemaVersion()) break;
        Db.ExecScript(Migrations()[static_cast<std::size_t>(stored)]);
        Db.Exec("INSERT INTO norvoisp_schema (version) VALUES ($1)", {std::to_string(stored + 1)});
        t.Commit();
        ++stored;
    }
}

void CheckLineSchema(TPgConnection& Db) {
    const int stored = StoredVersion(Db);
    RefuseNewer(Db, stored);
    if (stored < LineSchemaVersion())
        throw EISPException(
            "The " + Db.Name() + " has " +
            (stored == 0 ? std::string("no line tables yet") : "schema version " + std::to_string(stored)) +
            ": a station creates them when it first programs a part with --line-db");
}
