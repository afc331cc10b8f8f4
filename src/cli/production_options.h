// The production options of norvoisp-cli program: the traceability log and
// the serial number written into every part.
//   --log FILE                 append one record per part (JSON lines)
//   --serial-at ADDR           where the serial number goes
//   --serial-bytes 2|3|4       its width, most significant byte first
//   --serial START             the first number
//   --serial-step N            added per part (default 1)
//   --serial-file FILE         keeps the next number across runs and
//                              processes (never hands one out twice); with
//                              --line-db the station's lease
//   --line-db URL              the line database shared by the stations
//                              (default: $NORVOISP_LINE_DB); the log is
//                              the spool its parts table is filled from
//   --station NAME             this station's name (default: host name)
//   --serial-series NAME       the series the numbers come from (default
//                              "default")
//   --serial-lease N           numbers leased at a time (default 100)
// Numbers are decimal or, with 0x, hexadecimal.
#pragma once

#include "catalogue/device.h"
#include "cli/cli_args.h"
#include "linedb/line_station.h"
#include "production/serial_allocator.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#define NORVOISP_PRODUCTION_OPTIONS                                                                          \
    "[--log FILE] [--serial-at ADDR --serial-bytes 2|3|4 --serial START [--serial-step N] "                  \
    "[--serial-file FILE]] [--line-db URL [--station NAME] [--serial-series NAME] [--serial-lease N]]"

std::set<std::string> ProductionValueOptions(std::set<std::string> Extra = {});

struct TSerialOptions {
    std::uint32_t Address = 0;
    int Bytes = 2;
    std::uint64_t Start = 0;
    std::uint64_t Step = 1;
    std::optional<std::string> StateFile; // absolute path
    // The widest number the bytes hold.
    std::uint64_t Max() const { return (std::uint64_t(1) << (8 * Bytes)) - 1; }
    // The series' numbers as the line database counts them.
    TSerialRange Range() const { return {Start, Step, Max()}; }
    // Unit's allocator: with a state file the shared one; without, unit k
    // (1, 2, ...) of a run over several units starts k - 1 steps on.
    TSerialAllocator Allocator(int Unit) const;
};

struct TProductionOptions {
    std::optional<std::string> LogFile; // absolute path
    std::optional<TSerialOptions> Serial;
    // Serial numbers leased from it (Serial->StateFile the lease), every
    // record uploaded to it from LogFile.
    std::optional<TLineDbOptions> LineDb;
};

// Reads the options; a bad or incomplete set raises CliUsageError. Device
// gives the range the serial number must fit in.
TProductionOptions ReadProductionOptions(const CliArgs& Args, const TDevice& Device);

// A number in decimal or, after "0x", hexadecimal; CliUsageError naming
// the option otherwise or past Max.
std::uint64_t CliNumber(const CliArgs& Args, const std::string& Name, std::uint64_t Max);
// An absolute form of a path given on the command line.
std::string AbsolutePath(const std::string& Path);
