// The line database's tables, created and migrated by the stations: the
// table norvoisp_schema holds the version; each migration runs in one
// transaction under an advisory lock, so stations starting together migrate
// once and a failed migration leaves the previous version whole.
//
//   serial_series  one counter row per series: the next number not leased
//   serial_leases  a block of numbers leased by a station; closed_as
//                  'expired' (used up, renewed) or 'returned'
//   parts          one row per part record of a station's log, keyed by
//                  (station, seq): seq is the record's line in the log
//   serials        every serial number spent, UNIQUE (series, number)
//   serial_gaps    numbers of a closed lease that no part recorded
#pragma once

#include "linedb/pg_connection.h"

// The version this program writes.
int LineSchemaVersion();

// Creates or migrates the schema to LineSchemaVersion(). Raises
// ELineDbError; EISPException when the database is newer than the program.
void MigrateLineSchema(TPgConnection& Db);

// Raises EISPException unless the schema is there at LineSchemaVersion()
// (for readers, who migrate nothing).
void CheckLineSchema(TPgConnection& Db);
